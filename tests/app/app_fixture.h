#pragma once
// A window object on a fresh stand-in machine, answered by scripted dialogs.

#include "platform/scripted_dialogs.h"
#include "tests/platform/temp_prefix.h"
#include "window/aggiorna.h"

namespace ledrana::testing {

struct AppFixture {
    TempPrefix prefix;
    ScriptedDialogs dialogs;
    Aggiorna w{dialogs, "C:\\Programmi\\Tessaro"};

    std::filesystem::path dirTxt() const { return prefix.driveC() / "WINDOWS" / "dir.txt"; }
};

} // namespace ledrana::testing
