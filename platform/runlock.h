#pragma once
// One update at a time on a data folder. Two computers (or two clicks, or a preview and an update) working
// on the same folder would race on the same copies and archives, so a run holds a lock on one file of the
// folder for as long as it may change anything, and so does a preview for as long as it copies and reads.
//
// The lock is an open-file-description write lock (F_OFD_SETLK) over the whole file, and on a local file
// system a whole-file flock besides: every process of this host sees it, whichever of the two it asks
// about, and on a share mounted with byte-range locks so do the other computers. Whoever holds either kind
// on the file (another run, a script holding it with flock(1), a reader) keeps the lock from being taken:
// it is never taken shared, and never taken on a file this process may only read.
//
// The lock file belongs to the folder, not to the process that made it: it takes the folder's owner and
// group (when the process may give them: the superuser) and may be opened for writing by every class of
// user that may write in the folder. A file found that this process cannot open for writing, or that a
// superuser finds with another owner or group than its folder's or closed to some of the folder's users
// (left by an earlier version run as root), is replaced: a new file made beside it (O_EXCL|O_NOFOLLOW),
// locked, and renamed over it, while the old one is held so that nobody takes it meanwhile. A taker checks
// after locking that the name still holds the file it locked, so a file replaced or removed meanwhile is
// never held by two processes at once.
//
// The process that holds it writes into the file which computer and user hold it, for what and since when,
// and empties it when it gives the lock back; it stays held until the lock is destroyed or the process
// ends, however it ends.

#include "platform/error.h"

#include <string>

namespace ledrana::platform {

// Who holds the lock, as the holder wrote it; empty fields when the file does not tell.
struct LockHolder {
    std::string computer;
    std::string user;
    std::string since; // "dd/mm/yyyy hh.nn.ss", the holder's local time
    std::string what;  // what holds it: "aggiornamento", "anteprima", "ripristino"
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

    // Takes the lock on the file at `path` (a Windows path), creating the file when it is missing and
    // replacing it when it is unusable, never through a link put at its name. `what` is written into the
    // file for whoever finds it held. With `leaveNoFile`, a file that this call made is removed when the
    // lock is given back (a preview leaves the folder as it found it). Throws the errors of the file calls:
    // 76 when the folder does not exist, 70 when the file can neither be opened for writing nor replaced
    // (a folder this process may not write in, a read-only file system).
    static RunLock Take(const std::string& path, const std::string& what = "aggiornamento",
                        bool leaveNoFile = false);

    State state() const { return state_; }
    const LockHolder& holder() const { return holder_; }

private:
    int fd_ = -1;
    State state_ = State::Free;
    LockHolder holder_;
    std::string removeAtEnd_; // host path of a file this lock made and removes when it is given back
};

// The error of a program that finds its data folder held by another update, preview or restore: 70, with
// the description of who holds it. A caller that must tell this case apart (an exit status of its own)
// catches it by type.
class FolderHeld : public Error {
public:
    FolderHeld(std::string description, LockHolder holder)
        : Error(70, std::move(description)), holder_(std::move(holder)) {}
    const LockHolder& holder() const { return holder_; }

private:
    LockHolder holder_;
};

// The name of this computer, as others see it in a lock file.
std::string ComputerName();

// The Italian sentence that says who holds the lock of the data folder `folder` and for what, as much as
// the holder wrote: "Un altro aggiornamento della cartella dati C:\ZU è in corso dal computer X (utente Y),
// iniziato il dd/mm/yyyy alle hh.nn.ss" (an update, a preview, a restore; "un altro aggiornamento o
// un'anteprima" when the holder did not say), without a final full stop.
std::string HeldSentence(const std::string& folder, const LockHolder& holder);

} // namespace ledrana::platform
