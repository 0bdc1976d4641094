// A click on "Esegui" made in the test's own process (the window's path, which starts without the
// unattended program's checks): an error that no procedure handles ends the run at its failure end.

#include <gtest/gtest.h>

#include "app/run.h"
#include "app/window_events.h"
#include "platform/paths.h"
#include "tests/common/archive_fixture.h"

namespace ledrana {
namespace {

namespace fs = std::filesystem;

TEST(Run, AnErrorThatNoProcedureHandlesEndsTheRunAtTheFailureEnd) {
    // On a new machine without the model's accounting archive the demo archive cannot be opened: the demo
    // company lets the error through to the run.
    testing::ArchiveFixture app;
    const fs::path model = app.prefix.root() / "modello";
    fs::copy(LEDRANA_BINARY_DIR "/release", model, fs::copy_options::recursive);
    fs::remove(model / "CONT32.MDB");
    ASSERT_TRUE(app.w.RunEvent([&] { Form_Load(app.w); }));
    app.w.CartellaDefault.text = platform::WindowsPath(model.string());
    app.w.RunEvent([&] { Command2_Click(app.w, app.engine); });

    const std::string copy = "53 Impossibile trovare il file\nfunz. CopiaFile \n" +
                             platform::WindowsPath(model.string()) +
                             "\\Cont32.mdb\nC:\\ZU\\DittaEsempio\\Cont32.mdb";
    const std::string error =
        "91 Variabile oggetto o variabile del blocco With non impostata\nfunz. Command2_Click ";
    const std::string failed = "Aggiornamento NON eseguito completamente";
    EXPECT_EQ(app.w.Text1.text, "\r\n->" + copy + "\r\n->" + error + "\r\n->" + failed);
    const testing::Strings boxes = app.BoxTexts();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2], error);
    EXPECT_EQ(boxes.back(), failed);
    EXPECT_TRUE(app.w.ended());
    EXPECT_LT(app.w.Pb.value, 500);
    EXPECT_FALSE(fs::exists(app.prefix.driveC() / "ZU" / "DittaEsempio" / "NoteFinaliOrdF.txt"));
    EXPECT_FALSE(fs::exists(app.prefix.driveC() / "ZU" / "LEDRANA" / "INI" / "INI.INI"));
    EXPECT_EQ(app.w.runReport.End(), RunEnd::NotDone);
}

} // namespace
} // namespace ledrana
