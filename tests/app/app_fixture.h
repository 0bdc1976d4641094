#pragma once
// A window object on a fresh stand-in machine, answered by scripted dialogs.

#include <filesystem>
#include <string>

#include "platform/scripted_dialogs.h"
#include "tests/platform/temp_prefix.h"
#include "window/aggiorna.h"

namespace ledrana::testing {

inline constexpr const char* kTestAppPath = "C:\\Programmi\\Tessaro";

struct AppFixture {
    TempPrefix prefix;
    ScriptedDialogs dialogs;
    Aggiorna w{dialogs, kTestAppPath};

    std::filesystem::path dirTxt() const { return prefix.driveC() / "WINDOWS" / "dir.txt"; }
};

} // namespace ledrana::testing
