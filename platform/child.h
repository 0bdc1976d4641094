#pragma once
// Work that may crash or never end, done in a child process of its own so that the program survives it:
// reading a file that a damaged disk or a copy cut short left with pointers to nowhere, through a library
// that trusts them.
//
// The child is a fork of this process without exec: it sees this process's memory as it was, does the work,
// sends its answer back through a pipe and ends without running anything of this process's (no destructors,
// no atexit handlers, no buffered output flushed a second time). It dies with this process, and leaves no
// core file when it crashes.
//
// The child runs with less than this process: it keeps none of its descriptors (the archives it has open,
// their locks, the data folder's lock) but the end of the answer's pipe, its standard input, output and
// error lead nowhere, its memory has a ceiling, and when this process is the superuser the work runs as a
// user of the limits' choosing, once the body has opened what it needs (LowerChildRights).

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace ledrana::platform {

struct ChildOutcome {
    enum class End {
        Answered,    // the body returned: `answer` holds what it returned
        Failed,      // the child ended without an answer (the body threw, or the answer could not be sent)
        Signalled,   // ended by a signal (`signal`): a crash
        TimedOut,    // still working when the time was up: killed
        OutOfMemory, // the body needed more memory than its ceiling (std::bad_alloc escaped it)
        NotStarted,  // no child process could be made
    };
    End end = End::NotStarted;
    int signal = 0;
    std::string answer;
};

// What the child may use.
struct ChildLimits {
    // The user and group the work runs as when this process is the superuser (nothing changes for anyone
    // else); -1 keeps the superuser's, which only a caller that needs it should do.
    uid_t uid = static_cast<uid_t>(-1);
    gid_t gid = static_cast<gid_t>(-1);
    // Bytes of address space the child may take beyond what it has from this process; 0: no ceiling.
    std::uint64_t memory = 0;
};

// The user a reader of the file at `hostPath` runs as, for a superuser: the file's owner and group, who may
// read it anyway, so a reader made to misbehave by what the file holds can do no more than its owner; and
// `nobody` when the owner is the superuser itself (a file that no lesser user owns). -1 when the file
// cannot be looked at.
ChildLimits ReaderOf(const std::string& hostPath);

// Runs `body` in a child process and waits for it at most `limit`. The body must catch what it can throw:
// anything escaping it ends the child as Failed (std::bad_alloc as OutOfMemory). A body run with a uid in
// `limits` must call LowerChildRights once it has opened its files, before it reads them; one that returns
// without having called it gives no answer (Failed).
ChildOutcome RunInChild(const std::function<std::string()>& body, std::chrono::milliseconds limit,
                        const ChildLimits& limits = {});

// In the body of RunInChild: the work goes on as the user and group of the child's limits, with no way
// back (supplementary groups dropped). Ends the child at once (Failed) when that cannot be done. Nothing
// outside a child.
void LowerChildRights();

// Tests only: `observer` is called in every child once its rights are lowered, before its work goes on. An
// empty function removes it. The program never sets one.
void SetChildObserver(std::function<void()> observer);

} // namespace ledrana::platform
