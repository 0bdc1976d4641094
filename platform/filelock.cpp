#include "platform/filelock.h"

#include "platform/notices.h"
#include "platform/vb_errors.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ledrana::platform {

struct FileHold::Entry {
    int fd = -1;
    pid_t pid = 0; // the process that opened it: a forked child shares the parent's descriptor and its lock
    dev_t dev = 0;
    ino_t ino = 0;
    int shared = 0;
    int exclusive = 0;
    short level = F_UNLCK;  // the lock the descriptor holds now
    bool flockOnly = false; // the file system has no open-file-description locks: whole-file flock instead
    std::string host;       // the path it was opened by, for a notice about its folder
};

namespace {

std::mutex tableMutex;
std::vector<std::unique_ptr<FileHold::Entry>>& Table() {
    static std::vector<std::unique_ptr<FileHold::Entry>> table;
    return table;
}

bool Deleted(const FileHold::Entry& e) {
    struct stat st {};
    return ::fstat(e.fd, &st) != 0 || st.st_nlink == 0;
}

// Closes the descriptors of files that were deleted and have no hold left (a compacted archive replaced by
// its copy): they would keep the old file's space.
void Sweep() {
    auto& table = Table();
    for (auto it = table.begin(); it != table.end();) {
        if ((*it)->pid == ::getpid() && (*it)->shared == 0 && (*it)->exclusive == 0 && Deleted(**it)) {
            ::close((*it)->fd);
            it = table.erase(it);
        } else {
            ++it;
        }
    }
}

// The entry of the file, opening its descriptor when the process has none. Throws 53 / 70.
FileHold::Entry& EntryFor(const std::string& hostPath) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0)
        throw VbError(errno == ENOENT || errno == ENOTDIR ? kErrFileNotFound : kErrPermissionDenied);
    Sweep();
    const pid_t self = ::getpid();
    for (auto& e : Table())
        if (e->pid == self && e->dev == st.st_dev && e->ino == st.st_ino) return *e;
    int fd = ::open(hostPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw VbError(errno == ENOENT ? kErrFileNotFound : kErrPermissionDenied);
    auto e = std::make_unique<FileHold::Entry>();
    e->fd = fd;
    e->pid = self;
    e->dev = st.st_dev;
    e->ino = st.st_ino;
    e->host = hostPath;
    Table().push_back(std::move(e));
    return *Table().back();
}

// Sets the descriptor's lock to `type`; false when another process holds a conflicting one.
bool SetLevel(FileHold::Entry& e, short type) {
    if (type == e.level) return true;
    if (!e.flockOnly) {
        struct flock fl {};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = kHoldOffset;
        fl.l_len = 1;
        int rc = ::fcntl(e.fd, F_OFD_SETLK, &fl);
        if (rc != 0 && errno == EBADF && type == F_WRLCK) {
            // A file opened for reading only (a read-only archive) cannot carry a write lock: it is held
            // shared, and refused when someone else holds it at all.
            fl.l_type = F_WRLCK;
            if (::fcntl(e.fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) return false;
            fl.l_type = F_RDLCK;
            rc = ::fcntl(e.fd, F_OFD_SETLK, &fl);
        }
        if (rc == 0) {
            e.level = type;
            return true;
        }
        if (errno == EAGAIN || errno == EACCES) return false;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            NoteLockFailure(e.host, errno); // no lock to be had: go on
            return true;
        }
        e.flockOnly = true;
    }
    const int op = type == F_WRLCK ? LOCK_EX : type == F_RDLCK ? LOCK_SH : LOCK_UN;
    if (::flock(e.fd, op | LOCK_NB) == 0) {
        e.level = type;
        return true;
    }
    if (errno == EWOULDBLOCK) return false;
    NoteLockFailure(e.host, errno);
    return true;
}

short Wanted(const FileHold::Entry& e) {
    return e.exclusive > 0 ? F_WRLCK : e.shared > 0 ? F_RDLCK : F_UNLCK;
}

} // namespace

FileHold::FileHold(FileHold&& other) noexcept
    : entry_(std::exchange(other.entry_, nullptr)), mode_(other.mode_) {}

FileHold& FileHold::operator=(FileHold&& other) noexcept {
    if (this != &other) {
        Release();
        entry_ = std::exchange(other.entry_, nullptr);
        mode_ = other.mode_;
    }
    return *this;
}

void FileHold::Release() {
    if (!entry_) return;
    std::lock_guard<std::mutex> guard(tableMutex);
    Entry& e = *std::exchange(entry_, nullptr);
    (mode_ == HoldMode::Exclusive ? e.exclusive : e.shared) -= 1;
    SetLevel(e, Wanted(e)); // giving a lock back or lowering it never conflicts
    Sweep();
}

FileHold FileHold::Take(const std::string& hostPath, HoldMode mode) {
    std::lock_guard<std::mutex> guard(tableMutex);
    Entry& e = EntryFor(hostPath);
    (mode == HoldMode::Exclusive ? e.exclusive : e.shared) += 1;
    FileHold hold;
    if (!SetLevel(e, Wanted(e))) {
        (mode == HoldMode::Exclusive ? e.exclusive : e.shared) -= 1;
        return hold;
    }
    hold.entry_ = &e;
    hold.mode_ = mode;
    return hold;
}

bool LockedElsewhere(const std::string& hostPath, std::int64_t offset, std::int64_t length) {
    std::lock_guard<std::mutex> guard(tableMutex);
    try {
        // The descriptor of the table: opening and closing one here would drop SQLite's locks.
        FileHold::Entry& e = EntryFor(hostPath);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = length;
        if (::fcntl(e.fd, F_GETLK, &fl) == 0) return fl.l_type != F_UNLCK;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) NoteLockFailure(hostPath, errno);
        return false;
    } catch (const Error&) {
        return false;
    }
}

} // namespace ledrana::platform
