#pragma once
// Programs of the build run as a user runs them: a shell command line with a prefix as the machine.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ledrana::testing {

// `s` as one word of a POSIX shell command line.
inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CommandResult {
    int status = -1;    // the exit status; -1 when the command did not end normally
    std::string output; // standard output and standard error, together
};

// Runs `command` with TESSARO_PREFIX set to `prefix`.
inline CommandResult RunWithPrefix(const std::string& command, const std::filesystem::path& prefix) {
    CommandResult r;
    const std::string line = "TESSARO_PREFIX=" + ShellQuote(prefix.string()) + " " + command + " 2>&1";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        r.output.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// A program running beside the test (a second user of an archive): started with TESSARO_PREFIX set to
// `prefix`, in a process group of its own, its standard output and error read by the test. Stopped, with
// whatever it started, when the object goes.
class Background {
public:
    Background(const std::vector<std::string>& argv, const std::filesystem::path& prefix) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            close(fds[1]);
            setenv("TESSARO_PREFIX", prefix.c_str(), 1);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Background() {
        Stop();
        if (out_ >= 0) close(out_);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Waits until a line of its output contains `text`; false when it ended first or after `seconds`.
    bool WaitForLine(const std::string& text, int seconds = 30) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || out_ < 0) return false;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[512];
            const ssize_t n = read(out_, buf, sizeof buf);
            if (n <= 0) return output_.find(text) != std::string::npos;
            output_.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& output() const { return output_; }

    // Lets a stopped program go on and waits for its end: its exit status, -1 when it did not end normally.
    int Continue() { return signalAndWait(SIGCONT); }
    // Ends it (and everything it started) and waits for it.
    void Stop() { signalAndWait(SIGTERM); }

private:
    int signalAndWait(int signal) {
        if (pid_ <= 0) return -1;
        kill(-pid_, signal);
        int st = 0;
        waitpid(pid_, &st, 0);
        pid_ = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

// Another process that does something and stays until the object goes (a second user of a file): `body`
// runs in a forked child, and held() is what it returned.
class ChildWhile {
public:
    explicit ChildWhile(const std::function<bool()>& body) {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(up[0]);
            close(down[1]);
            const char ok = body() ? 'y' : 'n';
            (void)!write(up[1], &ok, 1);
            char c;
            (void)!read(down[0], &c, 1);
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        release_ = down[1];
        char c = 0;
        held_ = read(up[0], &c, 1) == 1 && c == 'y';
        close(up[0]);
    }
    ~ChildWhile() {
        close(release_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    ChildWhile(const ChildWhile&) = delete;
    ChildWhile& operator=(const ChildWhile&) = delete;
    bool held() const { return held_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool held_ = false;
};

// A plain POSIX write lock on [offset, offset + length) of a file, as Jet holds its locks on a database and
// on its lock file, kept while the process lives (its descriptor stays open): the body of a ChildWhile.
inline bool LockRange(const std::string& file, long long offset, long long length) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    const int fd = open(file.c_str(), O_RDWR);
    return fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0;
}

} // namespace ledrana::testing
