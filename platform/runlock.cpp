#include "platform/runlock.h"

#include "platform/host_state.h"
#include "platform/newfile.h"
#include "platform/notices.h"
#include "platform/paths.h"
#include "platform/vb_errors.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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
    const int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
        if (key == "what") h.what = value;
        start = end + 1;
    }
    return h;
}

std::string folderOf(const std::string& host) {
    const auto slash = host.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
}

// Read and write for every class of user that may read and write in the folder: whoever may update the
// folder may take its lock.
mode_t lockMode(const struct stat& folder) {
    return folder.st_mode & 0666;
}

// Whether a whole-file flock is a lock of its own on the file's file system. A share's client (NFS, SMB)
// turns it into a byte-range lock, which the open-file-description lock already sees and would conflict
// with.
bool flockOfItsOwn(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE
    case V9FS_MAGIC:
        return false;
    default:
        return true;
    }
}

// A lock file open as `fd` may stay when it is a plain file of one name; for the superuser, also when the
// folder's users can use it: their folder's owner and group, writable by every class that may write in it.
bool usable(int fd, const struct stat& folder) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) return false;
    if (::geteuid() != 0) return true;
    const mode_t writers = lockMode(folder) & 0222;
    return st.st_uid == folder.st_uid && st.st_gid == folder.st_gid && (st.st_mode & writers) == writers;
}

// Makes a new lock file at `host` (kind Exclusive) or beginning with it (Unique): the folder's owner and
// group where this process may give them, the folder's users' mode. The descriptor, or -1 with errno.
int makeLockFile(const std::string& host, const struct stat& folder, NewName kind, std::string* made) {
    const int fd = OpenNewFile(host, kind, 0600, made);
    if (fd < 0) return -1;
    if (::fchown(fd, folder.st_uid, folder.st_gid) != 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), folder.st_gid); // a group the process belongs to
    ::fchmod(fd, lockMode(folder));
    return fd;
}

enum class Locked { Yes, HeldElsewhere, NoLocks };

// The write lock on the file open as `fd`: the open-file-description lock, and the flock where it is a lock
// of its own. Whoever holds either elsewhere keeps it (closing `fd` gives back what was taken).
Locked lockFile(int fd, const std::string& host) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    bool ofd = true;
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EAGAIN || errno == EACCES) return Locked::HeldElsewhere;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            NoteLockFailure(host, errno);
            return Locked::NoLocks;
        }
        ofd = false; // a file system without them: the flock alone
    }
    if (ofd && !flockOfItsOwn(fd)) return Locked::Yes;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Locked::Yes;
    if (errno == EWOULDBLOCK) return Locked::HeldElsewhere;
    if (ofd) return Locked::Yes;
    NoteLockFailure(host, errno);
    return Locked::NoLocks;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

[[noreturn]] void refused(int err) {
    throw VbError(err == ENOENT || err == ENOTDIR ? kErrPathNotFound : kErrPermissionDenied);
}

enum class Replaced { Done, HeldElsewhere };

// Puts a usable lock file in place of the unusable one at `host` (`found` is what stands there): a new file
// made beside it and renamed over it, while the old file is held (shared, which keeps every taker of it
// away, and refused when anyone holds it at all) so that nobody takes it in between. A taker that opened
// the old file before the rename finds the name holding another file once it has locked it, and tries again.
Replaced replaceLockFile(const std::string& host, const struct stat& found, const struct stat& folder) {
    int old = -1;
    if (S_ISREG(found.st_mode)) {
        old = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (old < 0) refused(errno); // not even readable: nobody could tell whether it is held
        struct stat st {};
        if (::fstat(old, &st) != 0 || !sameFile(st, found)) {
            ::close(old);
            return Replaced::Done; // replaced meanwhile: look again
        }
        struct flock fl {};
        fl.l_type = F_RDLCK;
        fl.l_whence = SEEK_SET;
        bool held = ::fcntl(old, F_OFD_SETLK, &fl) != 0 && (errno == EAGAIN || errno == EACCES);
        fl.l_type = F_WRLCK;
        held = held || (::fcntl(old, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK);
        held = held || (flockOfItsOwn(old) && ::flock(old, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK);
        if (held) {
            ::close(old);
            return Replaced::HeldElsewhere;
        }
    }
    std::string made;
    const std::string name = host.substr(host.find_last_of('/') + 1);
    const int fd = makeLockFile(folderOf(host) + "/." + name, folder, NewName::Unique, &made);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
        detail::BeforeChange("rename", host);
        if (::rename(made.c_str(), host.c_str()) != 0) {
            err = errno;
            ::unlink(made.c_str());
        }
    }
    if (old >= 0) ::close(old);
    if (err != 0) refused(err);
    return Replaced::Done;
}

} // namespace

std::string ComputerName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

std::string HeldSentence(const std::string& folder, const LockHolder& h) {
    const std::string work = h.what == "aggiornamento" ? "Un altro aggiornamento della"
                             : h.what == "anteprima"   ? "Un'anteprima dell'aggiornamento della"
                             : h.what == "ripristino"  ? "Un ripristino della"
                                                       : "Un altro aggiornamento o un'anteprima della";
    std::string chi = work + std::string(" cartella dati ") + folder + " è in corso";
    if (!h.computer.empty())
        chi += " dal computer " + h.computer + (h.user.empty() ? "" : " (utente " + h.user + ")");
    else if (!h.user.empty())
        chi += " dall'utente " + h.user;
    if (h.since.size() >= 19) // "dd/mm/yyyy hh.nn.ss"
        chi += ", iniziato il " + h.since.substr(0, 10) + " alle " + h.since.substr(11, 8);
    return chi;
}

RunLock::~RunLock() {
    if (fd_ < 0) return;
    // Who held it is no longer true: whoever holds the file next without saying who must not be named so.
    if (state_ == State::Taken) (void)!::ftruncate(fd_, 0);
    if (!removeAtEnd_.empty()) {
        // Still held, and only when the name still holds the file this lock made.
        struct stat mine {
        }, named{};
        if (::fstat(fd_, &mine) == 0 && ::lstat(removeAtEnd_.c_str(), &named) == 0 && sameFile(mine, named)) {
            try {
                detail::BeforeChange("unlink", removeAtEnd_);
                ::unlink(removeAtEnd_.c_str());
            } catch (const Error&) {
            }
        }
    }
    ::close(fd_);
}

RunLock::RunLock(RunLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, State::Free)),
      holder_(std::move(other.holder_)), removeAtEnd_(std::exchange(other.removeAtEnd_, {})) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        RunLock gone(std::move(*this));
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Free);
        holder_ = std::move(other.holder_);
        removeAtEnd_ = std::exchange(other.removeAtEnd_, {});
    }
    return *this;
}

RunLock RunLock::Take(const std::string& path, const std::string& what, bool leaveNoFile) {
    const std::string host = HostPath(path);
    struct stat folder {};
    if (::stat(folderOf(host).c_str(), &folder) != 0) refused(errno);
    RunLock lock;
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool made = false;
        int fd = -1;
        struct stat found {};
        if (::lstat(host.c_str(), &found) != 0) {
            if (errno != ENOENT) refused(errno);
            fd = makeLockFile(host, folder, NewName::Exclusive, nullptr);
            if (fd < 0 && errno == EEXIST) continue; // made by another taker meanwhile
            if (fd < 0) refused(errno);
            made = true;
        } else if (S_ISLNK(found.st_mode)) {
            if (const int err = RemoveLinkAt(host)) refused(err); // never followed
            continue;
        } else {
            if (S_ISREG(found.st_mode))
                fd = ::open(host.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0 && !usable(fd, folder)) {
                ::close(fd);
                fd = -1;
            }
            if (fd < 0) {
                if (replaceLockFile(host, found, folder) == Replaced::HeldElsewhere) {
                    lock.state_ = State::Held;
                    lock.holder_ = readHolder(host);
                    return lock;
                }
                continue;
            }
        }
        const Locked locked = lockFile(fd, host);
        if (locked != Locked::Yes) {
            ::close(fd);
            lock.state_ = locked == Locked::NoLocks ? State::Unavailable : State::Held;
            if (locked == Locked::HeldElsewhere) lock.holder_ = readHolder(host);
            return lock;
        }
        // The name must still hold the file now locked: one replaced or removed meanwhile is no lock.
        struct stat mine {
        }, named{};
        if (::fstat(fd, &mine) != 0 || ::lstat(host.c_str(), &named) != 0 || !sameFile(mine, named)) {
            ::close(fd);
            continue;
        }
        lock.fd_ = fd;
        lock.state_ = State::Taken;
        if (made && leaveNoFile) lock.removeAtEnd_ = host;
        const std::string text = "computer=" + ComputerName() + "\r\nuser=" + userName() +
                                 "\r\nwhat=" + what + "\r\nsince=" + now() + "\r\n";
        if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.data(), text.size(), 0) > 0) ::fsync(fd);
        return lock;
    }
    throw VbError(kErrPermissionDenied);
}

} // namespace ledrana::platform
