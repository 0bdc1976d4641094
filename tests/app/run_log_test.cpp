#include <gtest/gtest.h>

#include "tests/common/archive_fixture.h"
#include "window/run_log.h"

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::ArchiveFixture;

namespace {

class RunLog : public ::testing::Test, protected ArchiveFixture {};

TEST_F(RunLog, EachEntryIsLineBreakArrowAndTextInCallOrderAndItsOwnBoxWhenAsked) {
    const struct {
        const char* text;
        bool box;
    } entries[] = {
        {"ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato", false},
        {"", false},
        {"53 Impossibile trovare il file\nfunz. CopiaFile \nC:\\a -> C:\\b", false},
        {"Aggiornamento eseguito", true},
        {"", true},
    };
    std::string log;
    std::vector<std::string> boxes;
    for (const auto& e : entries) {
        MemLog(w, e.text, e.box);
        log += "\r\n->" + std::string(e.text);
        if (e.box) boxes.push_back(e.text);
        EXPECT_EQ(w.Text1.text, log) << e.text;
    }
    // The window as install/'s reporter does the same.
    static_cast<Reporter&>(w).MemLog("dal reporter", true);
    EXPECT_EQ(w.Text1.text, log + "\r\n->dal reporter");
    boxes.push_back("dal reporter");
    EXPECT_EQ(BoxTexts(), boxes);
    for (const DialogRecord& shown : dialogs.messageBoxes())
        EXPECT_TRUE(shown.style == 0 && shown.title == "AggiornaLedrana") << shown.text;

    // Saving the log writes nothing: the log stays in its box.
    const auto listing = [this] {
        return std::vector<fs::path>(fs::recursive_directory_iterator(prefix.root()), {});
    };
    const auto before = listing();
    SalvaLog(w);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(w.Text1.text, log + "\r\n->dal reporter");
}

TEST_F(RunLog, ProgressTickStopsAtTheMaximum) {
    w.Pb.min = 0;
    w.Pb.max = 3;
    for (int i = 0; i < 5; ++i)
        ProgressTick(w);
    EXPECT_EQ(w.Pb.value, 3);
    static_cast<Reporter&>(w).ProgressTick();
    EXPECT_EQ(w.Pb.value, 3);
    w.Pb.max = 500;
    static_cast<Reporter&>(w).ProgressTick();
    EXPECT_EQ(w.Pb.value, 4);
}

} // namespace
