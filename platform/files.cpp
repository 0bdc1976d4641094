#include "platform/files.h"

#include "platform/host_state.h"
#include "platform/newfile.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace ledrana::platform {

namespace {

bool isDir(const std::string& host) {
    struct stat st {};
    return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& host) {
    return fs::path(host).parent_path().string();
}

// The number VB gives for a host failure. `missing` is the number for a path whose folder exists but
// whose last component does not (53 for files, 76 for folder calls).
int numberFor(int err, const std::string& host, int missing) {
    switch (err) {
    case ENOENT:
        return isDir(parentOf(host)) ? missing : kErrPathNotFound;
    case ENOTDIR:
        return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
        return kErrPermissionDenied;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return kErrPathFileAccess;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kErrDiskFull;
    case ENAMETOOLONG:
        return kErrBadFileName;
    default:
        return kErrPathFileAccess;
    }
}

[[noreturn]] void fail(int err, const std::string& host, int missing) {
    throw VbError(numberFor(err, host, missing));
}

// stat of an existing path, or the VB error for a missing one.
struct stat statOrThrow(const std::string& host) {
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) fail(errno, host, kErrFileNotFound);
    return st;
}

bool readOnly(const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// Checks that `host` may be replaced by a new regular file: its folder exists, it is not a folder and
// not a read-only file.
void checkWritable(const std::string& host) {
    if (!isDir(parentOf(host))) throw VbError(kErrPathNotFound);
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || readOnly(st)) throw VbError(kErrPathFileAccess);
    }
}

// The first `limit` bytes of a host file (all of it by default).
std::string readHost(const std::string& host, std::size_t limit = std::string::npos) {
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno, host, kErrFileNotFound);
    std::string data;
    char buf[65536];
    while (data.size() < limit) {
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, limit - data.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            fail(err, host, kErrFileNotFound);
        }
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

// Every change to the file system goes through these, so a write box and a test's hook see each one before it
// is made.
void before(const char* operation, const std::string& host) {
    detail::BeforeChange(operation, host);
}

int sysOpen(const std::string& host, int flags, mode_t mode = 0666) {
    if (flags & (O_WRONLY | O_RDWR)) before("open", host);
    return ::open(host.c_str(), flags | O_CLOEXEC, mode);
}

// Writes all of `size` bytes to `fd`; 0, or the errno of the failure.
int writeAll(int fd, const char* data, std::size_t size, const std::string& host) {
    std::size_t done = 0;
    while (done < size) {
        before("write", host);
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int sysFsync(int fd, const std::string& host) {
    before("fsync", host);
    return ::fsync(fd);
}

int sysRename(const std::string& from, const std::string& to) {
    before("rename", to);
    return ::rename(from.c_str(), to.c_str());
}

int sysUnlink(const std::string& host) {
    before("unlink", host);
    return ::unlink(host.c_str());
}

// A rename or a new name is on disk once its folder is synced.
void syncFolder(const std::string& host) {
    const std::string folder = parentOf(host);
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    before("fsync", folder);
    ::fsync(fd);
    ::close(fd);
}

// The file that writing `host` changes: the end of its chain of symbolic links, else `host` itself.
std::string writeTarget(const std::string& host) {
    std::string cur = host;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(cur.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return cur;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t n = ::readlink(cur.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) return cur;
        fs::path link(std::string(buf.data(), static_cast<std::size_t>(n)));
        cur = (link.is_absolute() ? link : fs::path(parentOf(cur)) / link).lexically_normal().string();
    }
    return cur;
}

// The sibling a file is written to before it is renamed over `host`.
std::string partPath(const std::string& host) {
    fs::path target(host);
    return (target.parent_path() / ("." + target.filename().string() + ".part")).string();
}

// Writes the new content of a file into `fd`; 0, or the errno of the failure (`failedHost` is then the
// path the failure belongs to, for its error number).
using Filler = std::function<int(int fd, std::string& failedHost)>;

Filler bytesFiller(const std::string& bytes, const std::string& host) {
    return [&bytes, host](int fd, std::string& failedHost) {
        failedHost = host;
        return writeAll(fd, bytes.data(), bytes.size(), host);
    };
}

// Copies the file open as `in` into `out`; 0 or the errno, with `failedHost` set to the side that failed.
int copyFd(int in, int out, const std::string& src, const std::string& dst, std::string& failedHost) {
    // The kernel copies between the files itself where it can; the pieces it leaves go through a buffer.
    for (;;) {
        before("write", dst);
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 24, 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            failedHost = src;
            return errno;
        }
        if (n == 0) return 0;
        if (int err = writeAll(out, buf.data(), static_cast<std::size_t>(n), dst)) {
            failedHost = dst;
            return err;
        }
    }
}

// Whether the file system at `host` may have what a call is about to try ("clone", "link"): a test's probe
// may say it has not.
bool mayHave(const char* feature, const std::string& host) {
    const auto& has = detail::State().fileSystemHas;
    return !has || has(feature, host);
}

// Makes the new, empty file `out` a copy-on-write clone of `in`, sharing its blocks: nothing is written.
// 0, or the errno where the file system has no clones (or the two files lie on different ones).
int cloneInto(int in, int out, const std::string& dst) {
    if (!mayHave("clone", dst)) return EOPNOTSUPP;
    before("clone", dst);
    return ::ioctl(out, FICLONE, in) == 0 ? 0 : errno;
}

// Fills a new, empty file with the content of `src`: a clone where the file system has them, else a copy.
Filler copyFiller(const std::string& src, const std::string& dst) {
    return [src, dst](int out, std::string& failedHost) {
        int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            failedHost = src;
            return errno;
        }
        const int err = cloneInto(in, out, dst) == 0 ? 0 : copyFd(in, out, src, dst, failedHost);
        ::close(in);
        return err;
    };
}

// Creates a new file of the run's own whose name begins with `stem` and writes it whole with `fill`,
// synced; returns its host path. On failure the file is removed and the error thrown for `errorHost`.
std::string writeWhole(const std::string& stem, const Filler& fill, const std::string& errorHost) {
    std::string host;
    int fd = OpenNewFile(stem, NewName::Unique, 0600, &host);
    if (fd < 0) fail(errno, errorHost, kErrPathNotFound);
    std::string failedHost;
    int err = fill(fd, failedHost);
    if (err == 0 && sysFsync(fd, host) != 0) err = errno, failedHost = errorHost;
    if (::close(fd) != 0 && err == 0) err = errno, failedHost = errorHost;
    if (err != 0) {
        sysUnlink(host);
        fail(err, failedHost, failedHost == errorHost ? kErrPathNotFound : kErrFileNotFound);
    }
    return host;
}

// The folder where a file that cannot be replaced by a sibling keeps its copies while it is rewritten in
// place: the stand-in machine's C:\WINDOWS\TEMP. Returns the start of a copy's name; writeWhole makes it
// unique to the run.
std::string scratchFile(const std::string& target, const char* what) {
    const fs::path folder = fs::path(Prefix()) / "drive_c" / "WINDOWS" / "TEMP";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return (folder / (fs::path(target).filename().string() + what)).string();
}

// Rewrites an existing file in place, for a file that may be written but not replaced (its folder is not
// writable, or its owner cannot be given to a new file). The new content is first written whole into the
// machine's temporary folder, and so is the old, so nothing is touched until the new content is known to
// be complete; a rewrite that fails half way puts the old content back. A process killed during the
// rewrite leaves the old content in C:\WINDOWS\TEMP.
void rewriteInPlace(const std::string& target, const Filler& fill) {
    const std::string fresh = writeWhole(scratchFile(target, ".nuovo"), fill, target);
    std::string old;
    try {
        const std::string stem = scratchFile(target, ".vecchio");
        old = writeWhole(stem, copyFiller(target, stem), target);
    } catch (const Error&) {
        sysUnlink(fresh);
        throw;
    }
    auto overwrite = [&](const std::string& from) {
        int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        int out = sysOpen(target, O_WRONLY);
        int err = in < 0 || out < 0 ? errno : 0;
        std::string failedHost = target;
        if (err == 0) err = copyFd(in, out, from, target, failedHost);
        if (err == 0) {
            before("truncate", target);
            if (::ftruncate(out, ::lseek(out, 0, SEEK_CUR)) != 0) err = errno;
        }
        if (err == 0 && sysFsync(out, target) != 0) err = errno;
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
        return err;
    };
    const int err = overwrite(fresh);
    if (err != 0 && overwrite(old) != 0) {
        sysUnlink(fresh); // the old content stays in the temporary folder
        fail(err, target, kErrPathNotFound);
    }
    sysUnlink(fresh);
    sysUnlink(old);
    if (err != 0) fail(err, target, kErrPathNotFound);
}

// Replaces the content of `host` with what `fill` writes, as one step: the new file is written beside the
// old one (at the fixed name .NAME.part, never through a link standing there), synced, given the old file's
// mode, owner and group, and renamed over it. A symbolic link at `host` is followed and its target replaced
// (a user's own file), unless `derivedFrom` is given: the file is then the program's own, made from that
// source, and takes the source's owner, group and mode; a link at its name is replaced, not followed. A
// file that cannot be replaced so (its folder is not writable, or its owner cannot be given to a new file)
// but can be written is rewritten in place (rewriteInPlace). A new file gets `newMode` (less the process's
// umask). On failure `host` is as it was.
void replaceHost(const std::string& host, const Filler& fill, mode_t newMode = 0666,
                 const struct stat* derivedFrom = nullptr) {
    const std::string target = derivedFrom ? host : writeTarget(host);
    if (derivedFrom) {
        struct stat st {};
        if (!isDir(parentOf(target))) throw VbError(kErrPathNotFound);
        if (::lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    } else {
        checkWritable(target);
    }
    struct stat old {};
    const bool existed = derivedFrom == nullptr && ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const std::string temp = partPath(target);
    int fd = OpenNewFile(temp, NewName::Fixed, existed || derivedFrom ? 0600 : newMode);
    if (fd < 0) {
        const int err = errno;
        if (existed && (err == EACCES || err == EPERM || err == EROFS) && ::access(target.c_str(), W_OK) == 0)
            return rewriteInPlace(target, fill);
        fail(err, target, kErrPathNotFound);
    }
    auto giveUp = [&](int err, const std::string& failedHost) {
        ::close(fd);
        sysUnlink(temp);
        fail(err, failedHost, failedHost == target ? kErrPathNotFound : kErrFileNotFound);
    };
    if (derivedFrom) {
        if (int err = TakeOwnershipFrom(*derivedFrom, fd)) giveUp(err, target);
    } else if (existed) {
        bool ownerKept = true;
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            before("chown", temp);
            ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
        }
        if (!ownerKept) {
            ::close(fd);
            sysUnlink(temp);
            return rewriteInPlace(target, fill);
        }
        before("chmod", temp);
        if (::fchmod(fd, old.st_mode & 07777) != 0) giveUp(errno, target);
    } else {
        GiveToFolderOwner(fd, temp);
    }
    std::string failedHost;
    if (int err = fill(fd, failedHost)) giveUp(err, failedHost);
    if (sysFsync(fd, temp) != 0) giveUp(errno, target);
    if (::close(fd) != 0) {
        const int err = errno;
        sysUnlink(temp);
        fail(err, target, kErrPathNotFound);
    }
    if (sysRename(temp, target) != 0) {
        const int err = errno;
        sysUnlink(temp);
        fail(err, target, kErrPathNotFound);
    }
    syncFolder(target);
}

// Writes `bytes` as the new content of `host`.
void writeHost(const std::string& host, const std::string& bytes) {
    replaceHost(host, bytesFiller(bytes, host));
}

// Copies `src` over `dst` (replaceHost): an archive of any size is copied with a small buffer, and a copy
// that fails half way leaves `dst` as it was.
void copyHost(const std::string& src, const std::string& dst) {
    struct stat st = statOrThrow(src);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    int probe = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (probe < 0) fail(errno, src, kErrFileNotFound);
    ::close(probe);
    replaceHost(dst, copyFiller(src, dst));
}

// The folder just made at `host` (mode 0700, the process's) takes the owner, group and permission bits of
// the folder `like`, and its set-group-ID bit, which keeps a shared folder's group on what is made in it;
// made narrower, never wider, where the process may not give them. 0, or the errno of the failure.
int makeLike(const std::string& host, const struct stat& like) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat own {};
    int err = ::fstat(fd, &own) != 0 ? errno : 0;
    if (err == 0 && (own.st_uid != like.st_uid || own.st_gid != like.st_gid)) before("chown", host);
    if (err == 0) err = TakeOwnershipFrom(like, fd);
    if (err == 0 && (like.st_mode & S_ISGID) && ::fstat(fd, &own) == 0 && own.st_gid == like.st_gid)
        err = ::fchmod(fd, (own.st_mode & 07777) | S_ISGID) == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

// Matches UTF-8 text against an upper-cased pattern; '?' takes one whole character.
bool globMatch(const std::string& s, std::size_t si, const std::string& p, std::size_t pi) {
    while (pi < p.size()) {
        char c = p[pi];
        if (c == '*') {
            while (pi < p.size() && p[pi] == '*')
                ++pi;
            if (pi == p.size()) return true;
            for (std::size_t k = si; k <= s.size(); ++k)
                if (globMatch(s, k, p, pi)) return true;
            return false;
        }
        if (si >= s.size()) return false;
        if (c == '?') {
            ++si;
            while (si < s.size() && (static_cast<unsigned char>(s[si]) & 0xC0) == 0x80)
                ++si;
            ++pi;
            continue;
        }
        if (s[si] != c) return false;
        ++si, ++pi;
    }
    return si == s.size();
}

std::vector<std::string> listFolder(const std::string& folder, bool wantDirs, const std::string& pattern) {
    std::string host = HostPath(folder);
    if (!isDir(host)) throw VbError(kErrPathNotFound);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        bool dir = it->is_directory(sec);
        bool regular = it->is_regular_file(sec);
        std::string name = it->path().filename().string();
        if (wantDirs ? dir : (regular && MatchesPattern(name, pattern))) names.push_back(name);
    }
    if (ec) fail(ec.value(), host, kErrPathNotFound);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string ua = UCase(a), ub = UCase(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

} // namespace

void MkDir(const std::string& path) {
    const std::string host = HostPath(path);
    before("mkdir", host);
    if (::mkdir(host.c_str(), 0700) != 0) fail(errno, host, kErrPathNotFound);
    struct stat parent {};
    const int err = ::stat(parentOf(host).c_str(), &parent) != 0 ? errno : makeLike(host, parent);
    if (err != 0) {
        ::rmdir(host.c_str());
        fail(err, host, kErrPathNotFound);
    }
    syncFolder(host);
}

void RmDir(const std::string& path) {
    std::string host = HostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw VbError(kErrPathNotFound);
    before("rmdir", host);
    if (::rmdir(host.c_str()) != 0) fail(errno, host, kErrPathNotFound);
}

void Kill(const std::string& path) {
    std::string host = HostPath(path);
    // A link is removed itself, whatever it leads to: left there (leading nowhere), a new file made at its
    // name would be created wherever it points.
    struct stat link {};
    if (::lstat(host.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (sysUnlink(host) != 0) fail(errno, host, kErrFileNotFound);
        syncFolder(host);
        return;
    }
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrFileNotFound);
    if (readOnly(st)) throw VbError(kErrPathFileAccess);
    if (sysUnlink(host) != 0) fail(errno, host, kErrFileNotFound);
    syncFolder(host);
}

void RenameFile(const std::string& from, const std::string& to) {
    std::string src = HostPath(from);
    std::string dst = HostPath(to);
    struct stat st = statOrThrow(src);
    if (!isDir(parentOf(dst))) throw VbError(kErrPathNotFound);
    struct stat dstSt {};
    // A change of case only ("a.mdb" to "A.MDB") is the same file, not an existing target.
    if (::lstat(dst.c_str(), &dstSt) == 0) {
        if (dstSt.st_ino != st.st_ino || dstSt.st_dev != st.st_dev) throw VbError(kErrFileExists);
        // Resolution found the source itself: the new name is the last component as given.
        std::string given = NormalizeWindowsPath(to);
        dst = (fs::path(dst).parent_path() / given.substr(given.find_last_of("\\:") + 1)).string();
    }
    if (sysRename(src, dst) == 0) {
        syncFolder(dst);
        return;
    }
    if (errno != EXDEV || S_ISDIR(st.st_mode)) fail(errno, src, kErrFileNotFound);
    copyHost(src, dst);
    before("chmod", dst);
    ::chmod(dst.c_str(), st.st_mode & 07777);
    if (sysUnlink(src) != 0) fail(errno, src, kErrFileNotFound);
}

void FileCopy(const std::string& from, const std::string& to) {
    std::string src = HostPath(from);
    std::string dst = HostPath(to);
    struct stat st = statOrThrow(src);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrFileNotFound);
    checkWritable(dst);
    copyHost(src, dst);
}

std::int64_t FreeSpaceBeside(const std::string& path) {
    std::string host = HostPath(path);
    const auto slash = host.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) != 0) throw VbError(errno == ENOENT || errno == ENOTDIR ? 76 : 70);
    return static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize);
}

std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(HostPath(path).c_str(), &st) != 0) return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

int LinkCount(const std::string& path) {
    struct stat st {};
    if (::stat(HostPath(path).c_str(), &st) != 0) return 0;
    return static_cast<int>(st.st_nlink);
}

std::int64_t FileLen(const std::string& path) {
    std::string host = HostPath(path);
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

int GetAttr(const std::string& path) {
    std::string host = HostPath(path);
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) return vbDirectory;
    return vbArchive | (readOnly(st) ? vbReadOnly : 0);
}

void SetAttr(const std::string& path, int attributes) {
    std::string host = HostPath(path);
    struct stat st = statOrThrow(host);
    mode_t mode = st.st_mode & 07777;
    if (attributes & vbReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    before("chmod", host);
    if (::chmod(host.c_str(), mode) != 0) fail(errno, host, kErrFileNotFound);
}

std::string ReadFirstLine(const std::string& path) {
    std::string bytes = readHost(HostPath(path));
    if (bytes.empty()) throw VbError(kErrInputPastEnd);
    std::size_t end = bytes.find_first_of("\r\n");
    return DecodeText(std::string_view(bytes).substr(0, end));
}

void WriteOneLine(const std::string& path, const std::string& line) {
    std::string host = HostPath(path);
    checkWritable(host);
    writeHost(host, line + "\r\n");
}

std::string ReadAllBytes(const std::string& path) {
    return readHost(HostPath(path));
}

void WriteAllBytes(const std::string& path, const std::string& bytes) {
    std::string host = HostPath(path);
    checkWritable(host);
    writeHost(host, bytes);
}

std::string ReadFileStart(const std::string& path, std::size_t count) {
    return readHost(HostPath(path), count);
}

void WriteNewFile(const std::string& path, const std::string& bytes) {
    std::string host = HostPath(path);
    if (!isDir(parentOf(host))) throw VbError(kErrPathNotFound);
    int fd = sysOpen(host, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd < 0) {
        if (errno == EEXIST || errno == ELOOP) throw VbError(kErrFileExists);
        fail(errno, host, kErrFileNotFound);
    }
    GiveToFolderOwner(fd, host);
    int err = writeAll(fd, bytes.data(), bytes.size(), host);
    if (err == 0 && sysFsync(fd, host) != 0) err = errno;
    ::close(fd);
    if (err != 0) {
        sysUnlink(host);
        fail(err, host, kErrFileNotFound);
    }
    syncFolder(host);
}

void ReplaceFile(const std::string& from, const std::string& to) {
    std::string src = HostPath(from);
    std::string dst = HostPath(to);
    statOrThrow(src);
    if (!isDir(parentOf(dst))) throw VbError(kErrPathNotFound);
    struct stat old {};
    if (::stat(dst.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::chmod(src.c_str(), old.st_mode & 07777);
    int fd = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno, src, kErrFileNotFound);
    if (::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        fail(err, src, kErrFileNotFound);
    }
    ::close(fd);
    if (::rename(src.c_str(), dst.c_str()) != 0) fail(errno, src, kErrFileNotFound);
    int dir = ::open(parentOf(dst).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void SyncFile(const std::string& path) {
    const std::string host = HostPath(path);
    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno, host, kErrFileNotFound);
    if (sysFsync(fd, host) != 0) {
        const int err = errno;
        ::close(fd);
        fail(err, host, kErrFileNotFound);
    }
    ::close(fd);
    syncFolder(host);
}

bool FileExists(const std::string& path) {
    try {
        struct stat st {};
        return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    } catch (const Error&) {
        return false;
    }
}

bool FolderExists(const std::string& path) {
    try {
        return isDir(HostPath(path));
    } catch (const Error&) {
        return false;
    }
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    return listFolder(folder, false, pattern);
}

std::vector<std::string> ListFolders(const std::string& folder) {
    return listFolder(folder, true, "");
}

bool NameTaken(const std::string& path) {
    try {
        struct stat st {};
        return ::lstat(HostPath(path).c_str(), &st) == 0;
    } catch (const Error&) {
        return false;
    }
}

void RemoveLink(const std::string& path) {
    const std::string host = HostPath(path);
    if (int err = RemoveLinkAt(host)) fail(err, host, kErrFileNotFound);
}

void TakeOwnershipFrom(const std::string& source, const std::string& derived) {
    const struct stat src = statOrThrow(HostPath(source));
    const std::string host = HostPath(derived);
    int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) throw VbError(kErrPathFileAccess); // a link: not the file the program made
        fail(errno, host, kErrFileNotFound);
    }
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
    if (err == 0) {
        before("chown", host);
        err = TakeOwnershipFrom(src, fd);
    }
    ::close(fd);
    if (err != 0) fail(err, host, kErrFileNotFound);
}

namespace {

// Puts the finished file `temp` at the name `dst` unless something stands there: 0, or EEXIST.
int placeNew(const std::string& temp, const std::string& dst) {
    before("rename", dst);
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: a hard link refuses a taken name too.
    if (::link(temp.c_str(), dst.c_str()) == 0) {
        sysUnlink(temp);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    struct stat st {};
    if (::lstat(dst.c_str(), &st) == 0) return EEXIST;
    return sysRename(temp, dst) == 0 ? 0 : errno;
}

// Copies `src` into a new file at `dst`: written whole under a name of the run's own beside it, synced
// (unless it is `scratch`), given the source's owner, group and mode, then put at `dst` without replacing
// anything, so `dst` is never half-written. Returns EEXIST when the name is taken; throws for any other
// failure, leaving nothing behind.
int copyToNew(const std::string& src, const struct stat& st, const std::string& dst, bool scratch = false) {
    const fs::path d(dst);
    std::string temp;
    int fd =
        OpenNewFile((d.parent_path() / ("." + d.filename().string())).string(), NewName::Unique, 0600, &temp);
    if (fd < 0) fail(errno, dst, kErrPathNotFound);
    std::string failedHost = dst;
    int err = TakeOwnershipFrom(st, fd);
    if (err == 0) err = copyFiller(src, temp)(fd, failedHost);
    if (err == 0 && !scratch && sysFsync(fd, temp) != 0) err = errno, failedHost = dst;
    if (::close(fd) != 0 && err == 0) err = errno, failedHost = dst;
    if (err == 0) err = placeNew(temp, dst);
    if (err != 0) {
        sysUnlink(temp);
        if (err == EEXIST) return err;
        fail(err, failedHost == temp ? dst : failedHost,
             failedHost == src ? kErrFileNotFound : kErrPathNotFound);
    }
    if (!scratch) syncFolder(dst);
    return 0;
}

struct stat copySource(const std::string& src) {
    struct stat st = statOrThrow(src);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrFileNotFound);
    return st;
}

void copyToNewFile(const std::string& from, const std::string& to, bool scratch) {
    const std::string src = HostPath(from);
    const std::string dst = HostPath(to);
    const struct stat st = copySource(src);
    if (!isDir(parentOf(dst))) throw VbError(kErrPathNotFound);
    if (copyToNew(src, st, dst, scratch) != 0) throw VbError(kErrFileExists);
}

} // namespace

void CopyToNewFile(const std::string& from, const std::string& to) {
    copyToNewFile(from, to, false);
}

void CopyToNewScratchFile(const std::string& from, const std::string& to) {
    copyToNewFile(from, to, true);
}

bool LinkOrCopyToNewFile(const std::string& from, const std::string& to) {
    const std::string src = HostPath(from);
    const std::string dst = HostPath(to);
    copySource(src);
    if (!isDir(parentOf(dst))) throw VbError(kErrPathNotFound);
    if (int err = RemoveLinkAt(dst)) fail(err, dst, kErrPathNotFound);
    if (!mayHave("link", dst)) {
        CopyToNewFile(from, to);
        return false;
    }
    before("link", dst);
    if (::linkat(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        syncFolder(dst);
        return true;
    }
    switch (errno) {
    case EEXIST:
        throw VbError(kErrFileExists);
    case EXDEV:
    case EPERM:
    case EMLINK:
    case ENOSYS:
    case EOPNOTSUPP:
        break; // no links here: a copy
    default:
        fail(errno, dst, kErrPathNotFound);
    }
    CopyToNewFile(from, to);
    return false;
}

bool ReplaceWithCopy(const std::string& from, const std::string& to) {
    const std::string src = HostPath(from);
    const std::string target = writeTarget(HostPath(to));
    const struct stat st = copySource(src);
    checkWritable(target);
    // `from` may take the place of the file only where it is that file's sibling, with its owner and mode.
    struct stat self {
    }, old{}, srcFolder{}, dstFolder{};
    const bool renamed =
        ::lstat(src.c_str(), &self) == 0 && S_ISREG(self.st_mode) && ::stat(target.c_str(), &old) == 0 &&
        S_ISREG(old.st_mode) && ::stat(parentOf(src).c_str(), &srcFolder) == 0 &&
        ::stat(parentOf(target).c_str(), &dstFolder) == 0 && srcFolder.st_dev == dstFolder.st_dev &&
        srcFolder.st_ino == dstFolder.st_ino && old.st_uid == st.st_uid && old.st_gid == st.st_gid &&
        (old.st_mode & 07777) == (st.st_mode & 07777);
    if (!renamed) {
        copyHost(src, target);
        return false;
    }
    int fd = ::open(src.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) fail(errno, src, kErrFileNotFound);
    const int synced = sysFsync(fd, src) == 0 ? 0 : errno;
    ::close(fd);
    if (synced != 0) fail(synced, src, kErrFileNotFound);
    if (sysRename(src, target) != 0) fail(errno, target, kErrPathNotFound);
    syncFolder(target);
    // `from` again, as a file of its own made from the archive: written beside it at a fixed name of ours
    // (one left by a run cut short is cleared), then renamed into place.
    replaceHost(src, copyFiller(target, src), 0600, &st);
    return true;
}

void ReplaceWithNewCopy(const std::string& from, const std::string& to, const std::string& scratch) {
    const std::string dst = HostPath(to);
    if (!isDir(parentOf(dst))) throw VbError(kErrPathNotFound);
    RemoveOwnFile(scratch);
    CopyToNewFile(from, scratch);
    const std::string copy = HostPath(scratch);
    if (sysRename(copy, dst) != 0) {
        const int err = errno;
        sysUnlink(copy);
        fail(err, dst, kErrPathNotFound);
    }
    syncFolder(dst);
}

std::string CopyToFreeName(const std::string& from, const std::string& to) {
    const std::string src = HostPath(from);
    const struct stat st = copySource(src);
    if (!isDir(parentOf(HostPath(to)))) throw VbError(kErrPathNotFound);
    for (int n = 1; n <= 10000; ++n) {
        // Each name as the folder holds it, in whatever case.
        const std::string name = HostPath(n == 1 ? to : to + std::to_string(n));
        if (int err = RemoveLinkAt(name)) fail(err, name, kErrPathNotFound);
        struct stat taken {};
        if (::lstat(name.c_str(), &taken) == 0) continue; // not copied for nothing: the copy is large
        if (copyToNew(src, st, name) == 0) return WindowsPath(name);
    }
    throw VbError(kErrFileExists);
}

void WriteDerivedFile(const std::string& source, const std::string& path, const std::string& bytes) {
    const struct stat st = statOrThrow(HostPath(source));
    const std::string host = HostPath(path);
    replaceHost(host, bytesFiller(bytes, host), 0600, &st);
}

FileState StateOf(const std::string& path) {
    FileState f;
    try {
        struct stat st {};
        if (::stat(HostPath(path).c_str(), &st) != 0) return f;
        f.exists = true;
        f.folder = S_ISDIR(st.st_mode);
        f.size = f.folder ? 0 : static_cast<std::int64_t>(st.st_size);
        f.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        f.device = st.st_dev;
        f.inode = st.st_ino;
    } catch (const Error&) {
    }
    return f;
}

void MkDirLike(const std::string& path, const std::string& source) {
    const struct stat src = statOrThrow(HostPath(source));
    const std::string host = HostPath(path);
    before("mkdir", host);
    if (::mkdir(host.c_str(), 0700) != 0) fail(errno, host, kErrPathNotFound);
    if (const int err = makeLike(host, src)) {
        ::rmdir(host.c_str());
        fail(err, host, kErrPathNotFound);
    }
    syncFolder(host);
}

std::vector<TreeEntry> ListTree(const std::string& folder) {
    const std::string root = HostPath(folder);
    if (!isDir(root)) throw VbError(kErrPathNotFound);
    std::vector<TreeEntry> out;
    const auto walk = [&out](const auto& self, const std::string& host, const std::string& rel) -> void {
        struct Name {
            std::string name;
            bool folder, link;
        };
        std::vector<Name> names;
        std::error_code ec;
        for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
            struct stat st {};
            if (::lstat(it->path().c_str(), &st) != 0) continue;
            names.push_back({it->path().filename().string(), S_ISDIR(st.st_mode), S_ISLNK(st.st_mode)});
        }
        if (ec) fail(ec.value(), host, kErrPathNotFound);
        std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) {
            if (a.folder != b.folder) return !a.folder;
            const std::string ua = UCase(a.name), ub = UCase(b.name);
            return ua != ub ? ua < ub : a.name < b.name;
        });
        for (const Name& n : names) {
            const std::string path = rel.empty() ? n.name : rel + "\\" + n.name;
            out.push_back({path, n.folder, n.link});
            if (n.folder) self(self, host + "/" + n.name, path);
        }
    };
    walk(walk, root, "");
    return out;
}

std::string LinkTarget(const std::string& path) {
    try {
        const std::string host = HostPath(path);
        std::vector<char> buf(4096);
        const ssize_t n = ::readlink(host.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
        const fs::path target(std::string(buf.data(), static_cast<std::size_t>(n)));
        std::string led =
            (target.is_absolute() ? target : fs::path(parentOf(host)) / target).lexically_normal();
        while (led.size() > 1 && led.back() == '/')
            led.pop_back();
        return led;
    } catch (const Error&) {
        return {};
    }
}

void MakeLink(const std::string& path, const std::string& hostTarget) {
    const std::string host = HostPath(path);
    if (!isDir(parentOf(host))) throw VbError(kErrPathNotFound);
    before("link", host);
    if (::symlink(hostTarget.c_str(), host.c_str()) != 0) {
        if (errno == EEXIST) throw VbError(kErrFileExists);
        fail(errno, host, kErrPathNotFound);
    }
}

void RemoveOwnFile(const std::string& path) {
    const std::string host = HostPath(path);
    if (int err = ClearFixedName(host)) fail(err, host, kErrPathNotFound);
}

void SetFileOperationHook(std::function<void(const char*, const std::string&)> hook) {
    detail::State().fileOperationHook = std::move(hook);
}

void SetFileSystemProbe(std::function<bool(const char*, const std::string&)> has) {
    detail::State().fileSystemHas = std::move(has);
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    return globMatch(UCase(name), 0, UCase(pattern), 0);
}

} // namespace ledrana::platform
