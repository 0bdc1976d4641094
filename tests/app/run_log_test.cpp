#include <gtest/gtest.h>

#include "tests/app/app_fixture.h"
#include "window/run_log.h"

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::AppFixture;

namespace {

class RunLog : public ::testing::Test, protected AppFixture {};

TEST_F(RunLog, EntriesAreLineBreakArrowAndText) {
    MemLog(w, "ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato");
    EXPECT_EQ(w.Text1.text, "\r\n->ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato");
    MemLog(w, "");
    MemLog(w, "53 Impossibile trovare il file\nfunz. CopiaFile \nC:\\a -> C:\\b");
    EXPECT_EQ(w.Text1.text, "\r\n->ditta Ditta2000.ini database C:\\ZU\\DITTA2000\\CONT32.MDB aggiornato"
                            "\r\n->"
                            "\r\n->53 Impossibile trovare il file\nfunz. CopiaFile \nC:\\a -> C:\\b");
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(RunLog, TenEntriesInCallOrder) {
    for (int i = 0; i < 10; ++i)
        MemLog(w, "riga " + std::to_string(i));
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += "\r\n->riga " + std::to_string(i);
    EXPECT_EQ(w.Text1.text, expected);
}

TEST_F(RunLog, MessageBoxShowsTheTextAloneWithOkOnly) {
    w.Text1.text = "\r\n->prima";
    MemLog(w, "Aggiornamento eseguito", true);
    MemLog(w, "", true);
    // The window as install/'s reporter does the same.
    static_cast<Reporter&>(w).MemLog("dal reporter", true);
    EXPECT_EQ(w.Text1.text, "\r\n->prima\r\n->Aggiornamento eseguito\r\n->\r\n->dal reporter");
    const auto boxes = dialogs.messageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    const char* texts[] = {"Aggiornamento eseguito", "", "dal reporter"};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, texts[i]);
        EXPECT_EQ(boxes[i].style, 0);
        EXPECT_EQ(boxes[i].title, "AggiornaLedrana");
    }
}

TEST_F(RunLog, SalvaLogWritesNothing) {
    MemLog(w, "qualcosa");
    const auto listing = [this] {
        std::vector<std::string> paths;
        for (const auto& e : fs::recursive_directory_iterator(prefix.root()))
            paths.push_back(e.path().string());
        return paths;
    };
    const auto before = listing();
    SalvaLog(w);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(w.Text1.text, "\r\n->qualcosa");
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
