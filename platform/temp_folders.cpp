// The program's temporary folders: a preview's scratch machine, the converted copies of Jet files read
// only, the work of a recovery. Each is named after its process and held by it (a whole-folder lock on
// a descriptor of the folder), so that a folder left by a killed process is known for one: its process is
// gone and nobody holds it. The next program that looks removes it.

#include "platform/files.h"

#include "platform/host_state.h"
#include "platform/vb_errors.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace ledrana::platform {

namespace {

constexpr const char* kStem = "ledrana-";

// Removes everything in the folder open as `folder`, never following a link; false when something stayed.
bool RemoveContents(int folder) {
    const int listing = ::dup(folder);
    DIR* d = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!d) {
        if (listing >= 0) ::close(listing);
        return false;
    }
    bool all = true;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                all = false;
                continue;
            }
            ::fchmod(sub, 0700); // a folder copied read-only is still ours to empty
            all = RemoveContents(sub) && all;
            ::close(sub);
            if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) all = false;
        } else if (::unlinkat(folder, name.c_str(), 0) != 0) {
            all = false;
        }
    }
    return all;
}

// Removes the folder at `host` and what it holds; `opened` is a descriptor of it.
bool RemoveFolder(const std::string& host, int opened) {
    const bool emptied = RemoveContents(opened);
    return emptied && ::rmdir(host.c_str()) == 0;
}

// The process a folder's name gives ("ledrana-<pid>-XXXXXX"); 0 when the name is not one of ours.
pid_t ProcessOf(const std::string& name) {
    if (name.rfind(kStem, 0) != 0) return 0;
    const std::string rest = name.substr(std::string(kStem).size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.size() - dash - 1 != 6) return 0;
    if (rest.find_first_not_of("0123456789") != dash) return 0;
    return static_cast<pid_t>(std::atol(rest.substr(0, dash).c_str()));
}

} // namespace

std::string MakeTempFolder() {
    std::string pattern =
        (fs::temp_directory_path() / (kStem + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw VbError(kErrPermissionDenied);
    const int hold = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (hold < 0 || ::flock(hold, LOCK_EX | LOCK_NB) != 0) {
        if (hold >= 0) ::close(hold);
        ::rmdir(pattern.c_str());
        throw VbError(kErrPermissionDenied);
    }
    std::error_code ec;
    const fs::path real = fs::canonical(pattern, ec);
    detail::State().tempFolders.push_back({ec ? pattern : real.string(), hold});
    return pattern;
}

std::string MakeKeptTempFolder(const std::string& stem) {
    std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw VbError(kErrPermissionDenied);
    return pattern;
}

bool RemoveTempFolder(const std::string& hostFolder) {
    auto& folders = detail::State().tempFolders;
    std::error_code ec;
    const fs::path real = fs::canonical(hostFolder, ec);
    for (auto it = folders.begin(); it != folders.end(); ++it) {
        if (ec || it->host != real.string()) continue;
        const bool removed = RemoveFolder(it->host, it->hold);
        ::close(it->hold);
        folders.erase(it);
        return removed;
    }
    return false;
}

int RemoveAbandonedTempFolders() {
    const fs::path temp = fs::temp_directory_path();
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const pid_t pid = ProcessOf(name);
        if (pid <= 0 || pid == ::getpid()) continue;
        // A process that still exists (or one that this user may not even ask about) keeps its folders.
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        const std::string host = it->path().string();
        const int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only this user's own folders, and only when nobody holds them (another namespace's process).
        if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            RemoveFolder(host, fd))
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace ledrana::platform
