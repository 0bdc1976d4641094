#pragma once
// Work that may crash or never end, done in a child process of its own so that the program survives it:
// reading a file that a damaged disk or a copy cut short left with pointers to nowhere, through a library
// that trusts them.
//
// The child is a fork of this process without exec: it sees this process's memory as it was, does the work,
// sends its answer back through a pipe and ends without running anything of this process's (no destructors,
// no atexit handlers, no buffered output flushed a second time). It dies with this process, and leaves no
// core file when it crashes.

#include <chrono>
#include <functional>
#include <string>

namespace ledrana::platform {

struct ChildOutcome {
    enum class End {
        Answered,   // the body returned: `answer` holds what it returned
        Failed,     // the child ended without an answer (the body threw, or the answer could not be sent)
        Signalled,  // ended by a signal (`signal`): a crash
        TimedOut,   // still working when the time was up: killed
        NotStarted, // no child process could be made
    };
    End end = End::NotStarted;
    int signal = 0;
    std::string answer;
};

// Runs `body` in a child process and waits for it at most `limit`. The body must catch what it can throw:
// anything escaping it ends the child as Failed.
ChildOutcome RunInChild(const std::function<std::string()>& body, std::chrono::milliseconds limit);

} // namespace ledrana::platform
