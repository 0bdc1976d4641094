#include "platform/files.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/vb_errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
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

std::string readHost(const std::string& host) {
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno, host, kErrFileNotFound);
    std::string data;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
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

// The sibling a file is written to before it is renamed over `host`.
std::string partPath(const std::string& host) {
    fs::path target(host);
    return (target.parent_path() / ("." + target.filename().string() + ".part")).string();
}

// Writes all of `size` bytes to `fd`; 0, or the errno of the failure.
int writeAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Puts the written sibling `temp` (open as `fd`) on disk and renames it over `host`; on failure the
// sibling goes and `host` stays as it was.
void commitPart(int fd, const std::string& temp, const std::string& host) {
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(err, host, kErrPathNotFound);
    }
    if (::rename(temp.c_str(), host.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail(err, host, kErrPathNotFound);
    }
}

// Writes `bytes` to a sibling of `host` and renames it over `host`.
void writeHost(const std::string& host, const std::string& bytes) {
    const std::string temp = partPath(host);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail(errno, host, kErrPathNotFound);
    if (int err = writeAll(fd, bytes.data(), bytes.size())) {
        ::close(fd);
        ::unlink(temp.c_str());
        fail(err, host, kErrPathNotFound);
    }
    commitPart(fd, temp, host);
}

// Copies `src` to a sibling of `dst` in pieces, then renames it over `dst`: an archive of any size is
// copied with a small buffer, and a copy that fails half way leaves `dst` as it was.
void copyHost(const std::string& src, const std::string& dst) {
    struct stat st = statOrThrow(src);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) fail(errno, src, kErrFileNotFound);
    const std::string temp = partPath(dst);
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        int err = errno;
        ::close(in);
        fail(err, dst, kErrPathNotFound);
    }
    auto give_up = [&](int err, const std::string& host, int missing) {
        ::close(in);
        ::close(out);
        ::unlink(temp.c_str());
        fail(err, host, missing);
    };
    // The kernel copies between the files itself where it can; the pieces it leaves go through a buffer.
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            give_up(errno, src, kErrFileNotFound);
        }
        if (n == 0) break;
        if (int err = writeAll(out, buf.data(), static_cast<std::size_t>(n)))
            give_up(err, dst, kErrPathNotFound);
    }
    ::close(in);
    commitPart(out, temp, dst);
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
    std::string host = HostPath(path);
    if (::mkdir(host.c_str(), 0777) != 0) fail(errno, host, kErrPathNotFound);
}

void RmDir(const std::string& path) {
    std::string host = HostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw VbError(kErrPathNotFound);
    if (::rmdir(host.c_str()) != 0) fail(errno, host, kErrPathNotFound);
}

void Kill(const std::string& path) {
    std::string host = HostPath(path);
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrFileNotFound);
    if (readOnly(st)) throw VbError(kErrPathFileAccess);
    if (::unlink(host.c_str()) != 0) fail(errno, host, kErrFileNotFound);
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
    if (::rename(src.c_str(), dst.c_str()) == 0) return;
    if (errno != EXDEV || S_ISDIR(st.st_mode)) fail(errno, src, kErrFileNotFound);
    copyHost(src, dst);
    ::chmod(dst.c_str(), st.st_mode & 07777);
    if (::unlink(src.c_str()) != 0) fail(errno, src, kErrFileNotFound);
}

void FileCopy(const std::string& from, const std::string& to) {
    std::string src = HostPath(from);
    std::string dst = HostPath(to);
    struct stat st = statOrThrow(src);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrFileNotFound);
    checkWritable(dst);
    copyHost(src, dst);
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
    std::string host = HostPath(path);
    struct stat st = statOrThrow(host);
    if (S_ISDIR(st.st_mode)) throw VbError(kErrPathFileAccess);
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno, host, kErrFileNotFound);
    std::string data(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, data.data() + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            fail(err, host, kErrFileNotFound);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(done);
    return data;
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

std::string MakeTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "ledrana-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) fail(errno, pattern, kErrPathNotFound);
    return pattern;
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

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    return globMatch(UCase(name), 0, UCase(pattern), 0);
}

} // namespace ledrana::platform
