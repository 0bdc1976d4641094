#include "platform/shell.h"

#include "platform/files.h"
#include "platform/host_state.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/vb_errors.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ledrana::platform {

namespace {

// Runs `argv` detached: a shell starts it in the background with no terminal streams and exits at once,
// so nothing is left for us to wait for. False when the shell cannot be started.
bool spawnDetached(const std::vector<std::string>& argv) {
    std::vector<std::string> args = {"/bin/sh", "-c", "exec \"$0\" \"$@\" </dev/null >/dev/null 2>&1 &"};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargs;
    for (std::string& a : args)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, cargs.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A file the host can execute itself: an ELF binary or a script with "#!".
bool hostExecutable(const std::string& host) {
    if (::access(host.c_str(), X_OK) != 0) return false;
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[4] = {};
    ssize_t n = ::read(fd, magic, sizeof magic);
    ::close(fd);
    if (n >= 4 && magic[0] == '\x7f' && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') return true;
    return n >= 2 && magic[0] == '#' && magic[1] == '!';
}

bool commandAvailable(const std::string& command) {
    if (command.find('/') != std::string::npos) return ::access(command.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t i = 0;
    while (i <= dirs.size()) {
        std::size_t j = dirs.find(':', i);
        if (j == std::string::npos) j = dirs.size();
        std::string dir = dirs.substr(i, j - i);
        if (!dir.empty() && ::access((dir + "/" + command).c_str(), X_OK) == 0) return true;
        i = j + 1;
    }
    return false;
}

} // namespace

bool ShellOpen(const std::string& windowsPath) {
    const std::string& opener = detail::State().opener;
    if (opener.empty() || !FileExists(windowsPath) || !commandAvailable(opener)) return false;
    return spawnDetached({opener, HostPath(windowsPath)});
}

void SetShellOpener(const std::string& hostCommand) {
    detail::State().opener = hostCommand;
}

std::string ShellOpener() {
    return detail::State().opener;
}

StartResult StartProgram(const std::string& windowsPath, const std::vector<std::string>& arguments) {
    if (!detail::State().programsStart) return StartResult::Disabled;
    if (!FileExists(windowsPath)) return StartResult::NotFound;
    std::string host = HostPath(windowsPath);
    if (!hostExecutable(host)) return StartResult::NotExecutable;
    std::vector<std::string> argv = {host};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnDetached(argv) ? StartResult::Started : StartResult::Failed;
}

void SetProgramStarting(bool enabled) {
    detail::State().programsStart = enabled;
}

bool RemoveShellLink(const std::string& folder, const std::string& linkName) {
    bool absolute = (folder.size() >= 2 && folder[1] == ':') ||
                    (!folder.empty() && (folder[0] == '\\' || folder[0] == '/'));
    std::string dir = absolute ? folder : SpecialFolderPath(CSIDL_PROGRAMS) + "\\" + folder;
    std::string link = dir + "\\" + linkName + ".lnk";
    if (!FileExists(link)) return false;
    try {
        Kill(link);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace ledrana::platform
