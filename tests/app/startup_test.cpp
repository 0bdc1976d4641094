#include <gtest/gtest.h>

#include "app/window_events.h"
#include "tests/common/archive_fixture.h"

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::ArchiveFixture;
using ledrana::testing::TempPrefix;

namespace {

class StartUp : public ::testing::Test, protected ArchiveFixture {};
using FolderBrowser = StartUp;
using Window = StartUp;

// The folder box after a load that goes on to the window: a new installation offers the default folder to
// edit, an existing one shows its folder locked.
TEST_F(StartUp, LoadShowsTheFolderAndLocksAnExistingOne) {
    struct Case {
        const char* what;
        bool dirTxtIsFolder;
        const char* pointer; // dir.txt's bytes; nullptr for none
        int answer;          // to the missing folder's question; 0 for no question
        const char* box;
        const char* pointerAfter; // nullptr: as before
    };
    const Case cases[] = {
        {"new installation", false, nullptr, 0, "C:\\ZU", nullptr},
        // A folder is not a file: a folder named dir.txt is no pointer file.
        {"a folder named dir.txt", true, nullptr, 0, "C:\\ZU", nullptr},
        // Any spelling of the folder reaches it; the box shows the line as written.
        {"existing installation", false, "c:\\DATI\\zu\r\nsecond line\r\n", 0, "c:\\DATI\\zu", nullptr},
        {"missing folder answered Yes: the local folder", false, "C:\\Manca\r\n", vbYes, "c:\\zu",
         "c:\\zu\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveFixture f;
        fs::create_directories(f.prefix.driveC() / "Dati" / "Zu"); // the existing installation's folder
        if (c.dirTxtIsFolder) fs::create_directories(f.dirTxt());
        if (c.pointer) TempPrefix::put(f.dirTxt(), c.pointer);
        if (c.answer) f.dialogs.QueueAnswer(c.answer);
        ASSERT_TRUE(f.w.RunEvent([&] { Form_Load(f.w); }));
        const bool locked = c.pointer != nullptr;
        EXPECT_EQ(f.w.CartellaZu.text, c.box);
        EXPECT_EQ(f.w.CartellaZu.enabled, !locked);
        EXPECT_EQ(f.w.Sfoglia.enabled, !locked);
        EXPECT_EQ(f.dialogs.records().size(), c.answer ? 1u : 0u);
        EXPECT_EQ(f.w.Aggiornamento.caption, "048.5");
        if (c.pointerAfter) {
            EXPECT_EQ(TempPrefix::get(f.dirTxt()), c.pointerAfter);
            EXPECT_EQ(f.w.CartellaDati, "c:\\zu");
        } else if (!c.pointer && !c.dirTxtIsFolder) {
            EXPECT_FALSE(fs::exists(f.dirTxt()));
            EXPECT_EQ(f.w.Label3.caption, "");
            EXPECT_EQ(f.w.CartellaDefault.text, f.w.AppPath());
        }
    }
}

// A pointer file that names a folder that is not there, or nothing usable, asks about that folder; No ends
// the program before the window shows.
TEST_F(StartUp, MissingFolderAnsweredNoEndsBeforeTheWindowShows) {
    for (const auto& [bytes, folder] : {std::pair{"C:\\Manca\r\n", "C:\\Manca"}, {"", ""}, {"\r\n", ""}}) {
        SCOPED_TRACE(bytes);
        ArchiveFixture f;
        TempPrefix::put(f.dirTxt(), bytes);
        EXPECT_FALSE(f.w.RunEvent([&] { Form_Load(f.w); }));
        EXPECT_TRUE(f.w.ended());
        EXPECT_EQ(f.w.CartellaZu.text, folder);
        ASSERT_EQ(f.dialogs.records().size(), 1u);
        const DialogRecord& box = f.dialogs.records()[0];
        EXPECT_EQ(box.style, 260);
        EXPECT_EQ(box.title, "AggiornaLedrana");
        EXPECT_EQ(box.answer, vbNo);
        EXPECT_EQ(box.text.rfind("La cartella " + std::string(folder) +
                                     " non è attualmente disponibile o non esiste più\n\n",
                                 0),
                  0u)
            << box.text;
        EXPECT_NE(box.text.find(
                      "permessi e condivisione della cartella, che sia acceso il computer dove risiede la "
                      "cartella, di non aver cancellato o spostato o modificato files o cartelle di Tessaro"
                      "\n\n"),
                  std::string::npos)
            << box.text;
        EXPECT_EQ(box.text.substr(box.text.size() - 2), "\n\n");
        EXPECT_EQ(TempPrefix::get(f.dirTxt()), bytes);
        // The procedure stopped at the question: the version was never shown.
        EXPECT_NE(f.w.Aggiornamento.caption, "048.5");
        // Nothing runs after the end.
        bool ran = false;
        EXPECT_FALSE(f.w.RunEvent([&] { ran = true; }));
        EXPECT_FALSE(ran);
    }
}

TEST_F(FolderBrowser, ChosenFolderGoesToTheBoxAndCancelPutsTheDefaultBack) {
    struct Case {
        std::optional<std::string> chosen;
        std::string box;
    };
    const Case cases[] = {
        {std::string("Z:\\srv\\dati"), "Z:\\srv\\dati"},
        {std::string("C:\\Scelta\0resto", 14), "C:\\Scelta"},
        {std::nullopt, "C:\\ZU"},
        {std::string(), "C:\\ZU"},
    };
    for (const Case& c : cases) {
        dialogs.QueueFolder(c.chosen);
        w.CartellaZu.text = "D:\\digitata";
        const std::size_t before = dialogs.records().size();
        ASSERT_TRUE(w.RunEvent([this] { Sfoglia_Click(w); }));
        EXPECT_EQ(w.CartellaZu.text, c.box);
        ASSERT_EQ(dialogs.records().size(), before + 2);
        const DialogRecord& advice = dialogs.records()[before];
        EXPECT_EQ(advice.kind, DialogRecord::Kind::MsgBox);
        EXPECT_EQ(advice.style, 0);
        EXPECT_NE(advice.text.find("C:\\ZU"), std::string::npos);
        const DialogRecord& browser = dialogs.records()[before + 1];
        EXPECT_EQ(browser.kind, DialogRecord::Kind::BrowseForFolder);
        EXPECT_EQ(browser.text, "Selezionare una cartella:");
    }
    EXPECT_TRUE(fs::is_empty(prefix.driveC() / "WINDOWS" / "Desktop"));
    EXPECT_FALSE(fs::exists(dirTxt()));
}

TEST_F(Window, FileListFollowsPathAndPattern) {
    const fs::path companies = prefix.driveC() / "ZU" / "LEDRANA";
    for (const char* name : {"ditta2.INI", "Ditta1.ini", "note.txt", "DITTA01.INI.INI"})
        TempPrefix::put(companies / name, "x");
    fs::create_directories(companies / "Sub.ini");
    w.File1.SetPattern("*.ini");
    w.File1.SetPath("c:\\zu\\ledrana");
    EXPECT_EQ(w.File1.entries, (std::vector<std::string>{"DITTA01.INI.INI", "Ditta1.ini", "ditta2.INI"}));
    EXPECT_EQ(w.File1.FileName(), "");
    w.File1.listIndex = 1;
    EXPECT_EQ(w.File1.FileName(), "Ditta1.ini");
    w.File1.SetPattern("*.txt;*.ini");
    EXPECT_EQ(w.File1.ListCount(), 4);
    EXPECT_EQ(w.File1.listIndex, -1);
    w.File1.SetPath("C:\\ZU\\manca");
    EXPECT_EQ(w.File1.ListCount(), 0);
}

} // namespace
