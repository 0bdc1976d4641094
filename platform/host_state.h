#pragma once
// Private to platform/: the settings of the stand-in machine (the prefix and the document opener).
// They describe the host, like the file system itself, so they live in one place here rather than
// being passed through every call.

#include <functional>
#include <optional>
#include <string>

namespace ledrana::platform::detail {

struct HostState {
    std::optional<std::string> prefix; // absolute host folder; unset until first use
    std::string opener = "xdg-open";
    bool programsStart = true; // StartProgram really starts programs
    std::function<void(const char*, const std::string&)> fileOperationHook; // set by tests only
};

HostState& State();

} // namespace ledrana::platform::detail
