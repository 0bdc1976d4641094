#pragma once
// Private to platform/: the settings of the stand-in machine (the prefix and the document opener).
// They describe the host, like the file system itself, so they live in one place here rather than
// being passed through every call.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/notices.h"

namespace ledrana::platform::detail {

struct HostState {
    std::optional<std::string> prefix; // absolute host folder; unset until first use
    std::string opener = "xdg-open";
    bool programsStart = true; // StartProgram really starts programs
    std::function<void(const char*, const std::string&)> fileOperationHook; // set by tests only
    std::function<bool(const char*, const std::string&)> fileSystemHas;     // set by tests only
    std::vector<Notice> notices;         // posted, not yet taken by the run
    std::vector<std::string> noticeKeys; // every key posted, so a fact is said once
};

HostState& State();

} // namespace ledrana::platform::detail
