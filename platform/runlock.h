#pragma once
// One update at a time on a data folder. Two computers (or two clicks) updating the same folder would
// race on the same copies and archives, so a run holds a lock on one file of the folder for as long as it
// may change anything. The lock is an open-file-description lock (F_OFD_SETLK) over the whole file (a
// whole-file flock where the file system has none): every process of this host sees it and, on a share
// mounted with byte-range locks, so do the other computers.
// The process that holds it writes into the file which computer and user hold it and since when; it stays
// held until the lock is destroyed or the process ends, however it ends.

#include <string>

namespace ledrana::platform {

// Who holds the lock, as the holder wrote it; empty fields when the file does not tell.
struct LockHolder {
    std::string computer;
    std::string user;
    std::string since; // "dd/mm/yyyy hh.nn.ss", the holder's local time
};

class RunLock {
public:
    enum class State {
        Free,        // nothing taken (a lock that was given back, or never asked for)
        Taken,       // this process holds it
        Held,        // another process holds it: holder() says who, when the file tells
        Unavailable, // the file system refuses locks: the caller goes on without (a notice was posted)
    };

    RunLock() = default;
    ~RunLock();
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock on the file at `path` (a Windows path), creating the file when it is missing, never
    // through a link put at its name. A new file may be written by whoever may write in its folder. Throws
    // the errors of the file calls (76 when the folder does not exist, 70 when it cannot be opened).
    static RunLock Take(const std::string& path);

    State state() const { return state_; }
    const LockHolder& holder() const { return holder_; }

private:
    int fd_ = -1;
    State state_ = State::Free;
    LockHolder holder_;
};

// The name of this computer, as others see it in a lock file.
std::string ComputerName();

} // namespace ledrana::platform
