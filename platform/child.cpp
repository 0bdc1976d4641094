#include "platform/child.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace ledrana::platform {

namespace {

[[noreturn]] void Child(int answerFd, pid_t parent, const std::function<std::string()>& body) {
    // A child left behind by a parent that died would go on with work nobody waits for.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    // A crash is an answer, not a core file in the current folder.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::string answer;
    try {
        answer = body();
    } catch (...) {
        ::_exit(1);
    }
    for (std::size_t done = 0; done < answer.size();) {
        const ssize_t n = ::write(answerFd, answer.data() + done, answer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(1);
        done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
}

} // namespace

ChildOutcome RunInChild(const std::function<std::string()>& body, std::chrono::milliseconds limit) {
    ChildOutcome out;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return out;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        Child(fds[1], parent, body);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return out;
    }

    // The answer, until the child closes its end (it has ended) or the time is up.
    bool timedOut = false;
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1 << 30)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        char buf[16384];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.answer.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        out.end = ChildOutcome::End::TimedOut;
    } else if (WIFSIGNALED(status)) {
        out.end = ChildOutcome::End::Signalled;
        out.signal = WTERMSIG(status);
    } else {
        out.end = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildOutcome::End::Answered
                                                                : ChildOutcome::End::Failed;
    }
    if (out.end != ChildOutcome::End::Answered) out.answer.clear();
    return out;
}

} // namespace ledrana::platform
