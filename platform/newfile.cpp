#include "platform/newfile.h"

#include "platform/host_state.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/random.h>
#include <unistd.h>

namespace ledrana::platform {

namespace {

constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

void before(const char* operation, const std::string& host) {
    detail::BeforeChange(operation, host);
}

std::string randomPart() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        std::random_device device;
        for (auto& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    std::string out;
    for (unsigned char b : bytes)
        out += kChars[b % 36];
    return out;
}

} // namespace

int ClearFixedName(const std::string& host) {
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    before("unlink", host);
    if (::unlink(host.c_str()) != 0 && errno != ENOENT) return errno;
    return 0;
}

int OpenNewFile(const std::string& hostPath, NewName kind, mode_t mode, std::string* madePath) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = hostPath;
        if (kind == NewName::Unique) name += "." + randomPart();
        if (kind == NewName::Fixed) {
            if (int err = ClearFixedName(name)) {
                errno = err;
                return -1;
            }
        }
        before("open", name);
        const int fd = ::open(name.c_str(), kFlags, mode);
        if (fd >= 0) {
            if (madePath) *madePath = name;
            return fd;
        }
        // Taken between the look and the creation (a fixed name), or a random name that exists: again.
        if (errno != EEXIST || kind == NewName::Exclusive) return -1;
    }
    errno = EEXIST;
    return -1;
}

int RemoveLinkAt(const std::string& hostPath) {
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    before("unlink", hostPath);
    return ::unlink(hostPath.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

int TakeOwnershipFrom(const struct stat& source, int fd) {
    struct stat own {};
    if (::fstat(fd, &own) != 0) return errno;
    bool ownerKept = own.st_uid == source.st_uid;
    bool groupKept = own.st_gid == source.st_gid;
    if (!ownerKept || !groupKept) {
        // Only the superuser may give a file away; anyone may give it a group they belong to.
        if (::fchown(fd, source.st_uid, source.st_gid) == 0) {
            ownerKept = groupKept = true;
        } else if (!groupKept && ::fchown(fd, static_cast<uid_t>(-1), source.st_gid) == 0) {
            groupKept = true;
        }
    }
    mode_t mode = source.st_mode & 0777;
    if (!groupKept) mode &= ~static_cast<mode_t>(S_IRWXG);
    if (!ownerKept) mode &= ~static_cast<mode_t>(S_IRWXO);
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

void GiveToFolderOwner(int fd, const std::string& hostPath) {
    if (::geteuid() != 0) return;
    const auto slash = hostPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : hostPath.substr(0, slash);
    struct stat in {
    }, own{};
    if (::stat(folder.c_str(), &in) != 0 || ::fstat(fd, &own) != 0) return;
    if (own.st_uid == in.st_uid && own.st_gid == in.st_gid) return;
    before("chown", hostPath);
    ::fchown(fd, in.st_uid, in.st_gid);
}

PrivateNewFiles::PrivateNewFiles() : saved_(::umask(077)) {}

PrivateNewFiles::~PrivateNewFiles() {
    ::umask(saved_);
}

} // namespace ledrana::platform
