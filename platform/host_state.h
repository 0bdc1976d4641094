#pragma once
// Private to platform/: the settings of the stand-in machine (the prefix and the document opener).
// They describe the host, like the file system itself, so they live in one place here rather than
// being passed through every call.

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/notices.h"

namespace ledrana::platform::detail {

// A temporary folder this process made, and the descriptor that holds its lock.
struct TempFolder {
    std::string host; // as the host resolves it
    int hold = -1;
};

struct HostState {
    std::optional<std::string> prefix; // absolute host folder; unset until first use
    bool skeletonPending = false;      // the prefix's skeleton is made at the first path resolved on it
    std::string opener = "xdg-open";
    bool programsStart = true; // StartProgram really starts programs
    std::function<void(const char*, const std::string&)> fileOperationHook; // set by tests only
    std::function<bool(const char*, const std::string&)> fileSystemHas;     // set by tests only
    std::vector<Notice> notices;         // posted, not yet taken by the run
    std::vector<std::string> noticeKeys; // every key posted, so a fact is said once
    std::vector<std::string> writeBox;   // real host folders a change must lie in; empty: anywhere
    std::vector<TempFolder> tempFolders; // made by MakeTempFolder in this process
    std::function<void()> childObserver; // set by tests only
    // In a child of RunInChild: who the work runs as once the body has opened its files, and whether it does.
    struct Child {
        bool inChild = false;
        bool lowered = false;
        uid_t uid = static_cast<uid_t>(-1);
        gid_t gid = static_cast<gid_t>(-1);
        pid_t parent = 0;
    } child;
};

HostState& State();

// Every change the platform makes to the file system passes here first, with the operation ("open" for
// writing, "mkdir", "rename", ...) and the host path it changes: a write box refuses it (70) when the path
// lies outside the box, then a test's hook sees it.
void BeforeChange(const char* operation, const std::string& host);

} // namespace ledrana::platform::detail
