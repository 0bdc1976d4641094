#include "platform/child.h"

#include "platform/host_state.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <new>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace ledrana::platform {

namespace {

constexpr int kAnswerFd = 3;
constexpr int kOutOfMemoryStatus = 3;

// The address space the process has now, in bytes (what a fork inherits: the whole of this program).
std::uint64_t AddressSpace() {
    std::FILE* f = std::fopen("/proc/self/statm", "re");
    unsigned long long pages = 0;
    if (f) {
        if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Keeps only the answer's end (as descriptor 3) and standard streams that lead nowhere.
void KeepOwnDescriptors(int answerFd) {
    if (answerFd != kAnswerFd && ::dup2(answerFd, kAnswerFd) != kAnswerFd) ::_exit(1);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) ::_exit(1);
    for (int fd = 0; fd <= 2; ++fd)
        if (null != fd && ::dup2(null, fd) != fd) ::_exit(1);
    if (::close_range(kAnswerFd + 1, ~0U, 0) != 0) {
        rlimit open{};
        ::getrlimit(RLIMIT_NOFILE, &open);
        for (int fd = kAnswerFd + 1; fd < static_cast<int>(std::min<rlim_t>(open.rlim_cur, 1 << 20)); ++fd)
            ::close(fd);
    }
}

// The parent's death ends the child: a child left behind would go on with work nobody waits for.
void DieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
}

[[noreturn]] void Child(int answerFd, pid_t parent, const ChildLimits& limits,
                        const std::function<std::string()>& body) {
    DieWithParent(parent);
    // A crash is an answer, not a core file in the current folder.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (limits.memory > 0) {
        const rlim_t ceiling = static_cast<rlim_t>(AddressSpace() + limits.memory);
        const rlimit memory{ceiling, ceiling};
        if (::setrlimit(RLIMIT_AS, &memory) != 0) ::_exit(1);
    }
    KeepOwnDescriptors(answerFd);
    auto& child = detail::State().child;
    child.inChild = true;
    child.parent = parent;
    child.uid = limits.uid;
    child.gid = limits.gid;
    child.lowered = ::geteuid() != 0 || limits.uid == static_cast<uid_t>(-1);
    std::string answer;
    try {
        answer = body();
    } catch (const std::bad_alloc&) {
        ::_exit(kOutOfMemoryStatus);
    } catch (...) {
        ::_exit(1);
    }
    if (!child.lowered) ::_exit(1); // the work ran with rights it was to give up
    for (std::size_t done = 0; done < answer.size();) {
        const ssize_t n = ::write(kAnswerFd, answer.data() + done, answer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(1);
        done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
}

} // namespace

ChildLimits ReaderOf(const std::string& hostPath) {
    ChildLimits limits;
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) == 0 && st.st_uid != 0) {
        limits.uid = st.st_uid;
        limits.gid = st.st_gid;
        return limits;
    }
    const struct passwd* nobody = ::getpwnam("nobody");
    limits.uid = nobody ? nobody->pw_uid : 65534;
    limits.gid = nobody ? nobody->pw_gid : 65534;
    return limits;
}

void LowerChildRights() {
    auto& state = detail::State();
    auto& child = state.child;
    if (!child.inChild || child.lowered) return;
    const gid_t gid = child.gid == static_cast<gid_t>(-1) ? ::getegid() : child.gid;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
        ::setresuid(child.uid, child.uid, child.uid) != 0 || ::geteuid() != child.uid)
        ::_exit(1);
    DieWithParent(child.parent); // a change of user clears the parent-death signal
    child.lowered = true;
    if (state.childObserver) state.childObserver();
}

void SetChildObserver(std::function<void()> observer) {
    detail::State().childObserver = std::move(observer);
}

ChildOutcome RunInChild(const std::function<std::string()>& body, std::chrono::milliseconds limit,
                        const ChildLimits& limits) {
    ChildOutcome out;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return out;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        Child(fds[1], parent, limits, body);
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
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus) {
        out.end = ChildOutcome::End::OutOfMemory;
    } else {
        out.end = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildOutcome::End::Answered
                                                                : ChildOutcome::End::Failed;
    }
    if (out.end != ChildOutcome::End::Answered) out.answer.clear();
    return out;
}

} // namespace ledrana::platform
