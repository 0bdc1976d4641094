#pragma once
// What the platform learns during a run that the user must hear of afterwards, but that no call can give
// back as its result: a share whose file system refuses byte-range locks (the run goes on without them, so
// other programs are not kept away from its archives). The run takes the notices into its report.

#include <string>
#include <vector>

namespace ledrana::platform {

struct Notice {
    std::string key;  // one fact, said once: "lock:" + the folder for a lock that failed
    std::string text; // Italian, for the user
};

// Posts a notice; a key already posted in this process adds nothing.
void PostNotice(const std::string& key, const std::string& text);

// A lock call on the host file `hostPath` failed with `err`, an error the code does not expect (ENOLCK on
// a share without lock support): noted once per folder, the caller goes on without the lock.
void NoteLockFailure(const std::string& hostPath, int err);

// The notices posted since the last call, in the order they came.
std::vector<Notice> TakeNotices();

} // namespace ledrana::platform
