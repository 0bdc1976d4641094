#pragma once
// Holds on files that other processes see: how a program says "I have this archive open" on a shared data
// folder, where several computers use the same files.
//
// A hold is an open-file-description lock on one byte of the file at kHoldOffset (fcntl F_OFD_SETLK, read
// lock for a shared hold, write lock for an exclusive one). It is visible to every process on this host and,
// on a network share mounted with byte-range locks, to the other computers. The byte lies in the page that
// SQLite never uses for data (the page at 1 GiB, which holds its own lock bytes) but outside the bytes SQLite
// locks, so holds and SQLite's locks never meet.
//
// Within one process the holds on one file are counted on one descriptor: the process holds the file
// exclusively while any of its holds is exclusive, shared while it has only shared ones, and not at all
// when the last one goes. Holds of the same process never conflict with each other.
//
// The descriptor of a file stays open while the file exists, even after the last hold went: closing any
// descriptor of a file drops every POSIX lock the process has on it, SQLite's own included.
//
// A forked child does not share its parent's holds: it opens descriptors of its own.
//
// Paths are host paths (the engine has resolved them already).

#include <cstdint>
#include <string>

namespace ledrana::platform {

enum class HoldMode { Shared, Exclusive };

// Offset of the hold byte.
inline constexpr std::int64_t kHoldOffset = 0x40000800;

class FileHold {
public:
    FileHold() = default; // holds nothing
    ~FileHold() { Release(); }
    FileHold(FileHold&& other) noexcept;
    FileHold& operator=(FileHold&& other) noexcept;
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

    bool held() const { return entry_ != nullptr; }
    // Gives the hold back (nothing when none is held).
    void Release();

    // Takes a hold on hostPath. Returns a hold that holds nothing when another process holds the file in a
    // conflicting mode (a shared hold conflicts with an exclusive one only). Throws Error 53 when the file
    // does not exist, 70 when it cannot be opened.
    static FileHold Take(const std::string& hostPath, HoldMode mode);

    struct Entry; // the process's descriptor of one file and its holds (filelock.cpp)

private:
    Entry* entry_ = nullptr;
    HoldMode mode_ = HoldMode::Shared;
};

// True when another process has a lock on any byte of [offset, offset + length) of hostPath: how one sees
// that another program is inside a SQLite transaction on the file. The POSIX locks of this process (SQLite's)
// do not count; its holds do, so the range must not contain kHoldOffset. False when the file cannot be
// opened.
bool LockedElsewhere(const std::string& hostPath, std::int64_t offset, std::int64_t length);

// True when anyone else holds a lock on any byte of hostPath, past its end included: another process of
// this host, or another computer through a share that passes byte-range locks on (a Windows server does).
// Asked as an open-file-description write lock over the whole range, so this process's holds do not count,
// but its own plain POSIX locks would: not for files SQLite has open. Only a regular file (or a link to one)
// is asked about; false when it cannot be opened or the file system answers no lock question.
bool AnyLockElsewhere(const std::string& hostPath);

// True when hostPath is a regular file that this process can change and replace by a new file in its
// folder, as holding it for changes presumes: not read-only (its owner may write it), writable as the host
// sees it (not immutable, not on a read-only file system, not refused to this user, the superuser
// included), in a folder that takes new files.
bool CanReplace(const std::string& hostPath);

} // namespace ledrana::platform
