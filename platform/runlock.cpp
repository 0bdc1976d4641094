#include "platform/runlock.h"

#include "platform/newfile.h"
#include "platform/notices.h"
#include "platform/paths.h"
#include "platform/vb_errors.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ledrana::platform {

namespace {

std::string userName() {
    const struct passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? pw->pw_name : std::to_string(::geteuid());
}

std::string now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%d/%m/%Y %H.%M.%S", &local);
    return buf;
}

// "key=value" lines; what the holder wrote, read without following a link.
LockHolder readHolder(const std::string& host) {
    LockHolder h;
    const int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return h;
    std::string text(4096, '\0');
    const ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd); // the lock belongs to the other descriptor's open file description: closing this keeps it
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        const std::string key = line.substr(0, eq),
                          value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (key == "computer") h.computer = value;
        if (key == "user") h.user = value;
        if (key == "since") h.since = value;
        start = end + 1;
    }
    return h;
}

// The file's descriptor, for writing where the process may (a write lock needs it), else for reading.
int openLockFile(const std::string& host) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(host.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno == EACCES || errno == EPERM || errno == EROFS) {
            fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) return fd;
        }
        if (errno == ELOOP) {
            if (RemoveLinkAt(host) != 0) return -1;
            continue;
        }
        if (errno != ENOENT) return -1;
        struct stat folder {};
        const mode_t mode = ::stat(std::filesystem::path(host).parent_path().c_str(), &folder) == 0
                                ? (folder.st_mode & 0666)
                                : 0644;
        fd = OpenNewFile(host, NewName::Exclusive, 0600);
        if (fd >= 0) {
            ::fchmod(fd, mode); // whoever may update the folder may take its lock
            ::close(fd);
            continue;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

} // namespace

std::string ComputerName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

RunLock::~RunLock() {
    if (fd_ >= 0) ::close(fd_);
}

RunLock::RunLock(RunLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, State::Free)),
      holder_(std::move(other.holder_)) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Free);
        holder_ = std::move(other.holder_);
    }
    return *this;
}

RunLock RunLock::Take(const std::string& path) {
    const std::string host = HostPath(path);
    RunLock lock;
    lock.fd_ = openLockFile(host);
    if (lock.fd_ < 0) {
        const int err = errno;
        throw VbError(err == ENOENT || err == ENOTDIR ? kErrPathNotFound : kErrPermissionDenied);
    }
    const int access = ::fcntl(lock.fd_, F_GETFL) & O_ACCMODE;
    struct flock fl {};
    fl.l_type = access == O_RDONLY ? F_RDLCK : F_WRLCK; // a reader still keeps a writer out
    fl.l_whence = SEEK_SET;
    int rc = ::fcntl(lock.fd_, F_OFD_SETLK, &fl);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        // A file system without open-file-description locks: a whole-file flock, as the archives' holds do.
        rc = ::flock(lock.fd_, (fl.l_type == F_WRLCK ? LOCK_EX : LOCK_SH) | LOCK_NB);
        if (rc != 0 && errno == EWOULDBLOCK) errno = EAGAIN;
    }
    if (rc != 0) {
        const int err = errno;
        ::close(std::exchange(lock.fd_, -1));
        if (err == EAGAIN || err == EACCES) {
            lock.state_ = State::Held;
            lock.holder_ = readHolder(host);
        } else {
            NoteLockFailure(host, err);
            lock.state_ = State::Unavailable;
        }
        return lock;
    }
    lock.state_ = State::Taken;
    if (access != O_RDONLY) {
        const std::string text =
            "computer=" + ComputerName() + "\r\nuser=" + userName() + "\r\nsince=" + now() + "\r\n";
        if (::ftruncate(lock.fd_, 0) == 0 && ::pwrite(lock.fd_, text.data(), text.size(), 0) > 0)
            ::fsync(lock.fd_);
    }
    return lock;
}

} // namespace ledrana::platform
