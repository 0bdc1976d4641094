#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/manual.h"
#include "app/window_events.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "tests/common/archive_fixture.h"

namespace fs = std::filesystem;
using namespace ledrana;
using ledrana::testing::ArchiveFixture;
using ledrana::testing::TempPrefix;

namespace {

// The document opener is a script that appends its argument to a file, so the test sees what was opened.
class Manual : public ::testing::Test, protected ArchiveFixture {
protected:
    void SetUp() override {
        opener_ = prefix.root() / "opener.sh";
        opened_ = prefix.root() / "opened.txt";
        TempPrefix::put(opener_, "#!/bin/sh\necho \"$1\" >> '" + opened_.string() + "'\n");
        fs::permissions(opener_, fs::perms::owner_all);
        previous_ = platform::ShellOpener();
        platform::SetShellOpener(opener_.string());
    }
    void TearDown() override { platform::SetShellOpener(previous_); }

    // What the opener received, waited for since the shell does not wait.
    std::string opened(bool expectSomething = true) {
        if (expectSomething) return TempPrefix::getLine(opened_);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return TempPrefix::get(opened_);
    }

    fs::path opener_, opened_;
    std::string previous_;
};

// The icon opens this program's manual; a manual that is missing does nothing visible.
TEST_F(Manual, IconOpensThisProgramsManual) {
    ASSERT_TRUE(w.RunEvent([this] { Image2_Click(w); }));
    ASSERT_TRUE(w.RunEvent([this] { ApriManuale(w, "ZZGeneral-ZuDuvo1"); }));
    EXPECT_EQ(opened(false), "");
    EXPECT_EQ(w.Text1.text, "");
    const std::string pdf = platform::HostPath(w.AppPath() + "\\ZuDuvoPdf\\zAggiornaLedrana-ZuDuvo.pdf");
    TempPrefix::put(pdf, "%PDF-1.4");
    ASSERT_TRUE(w.RunEvent([this] { Image2_Click(w); }));
    EXPECT_EQ(opened(), pdf + "\n");
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(Manual, DeveloperMachineOffersTheWordSource) {
    struct Case {
        const char* appPath;
        int answer;
        const char* expected; // Windows path of the file opened
        bool asked;
    };
    const Case cases[] = {
        {"c:\\svil\\AggiornaLedrana", vbYes, "C:\\Sorgenti\\ZuDuvoWord\\ZZGeneral-ZuDuvo1.doc", true},
        {"C:\\SVIL\\AggiornaLedrana", vbNo, "C:\\Sorgenti\\ZuDuvoPdf\\ZZGeneral-ZuDuvo1.pdf", true},
        // Shorter than the prefix: compared whole, a normal installation.
        {"C:\\", vbYes, "C:\\\\ZuDuvoPdf\\ZZGeneral-ZuDuvo1.pdf", false},
        {"D:\\SVIL", vbYes, "", false},
    };
    for (const Case& c : cases) {
        ScriptedDialogs boxes_;
        Aggiorna dev(boxes_, c.appPath);
        dev.devFolderPrefix = "C:\\SVI";
        dev.devTree = "C:\\Sorgenti";
        for (const char* file :
             {"C:\\Sorgenti\\ZuDuvoWord\\ZZGeneral-ZuDuvo1.doc",
              "C:\\Sorgenti\\ZuDuvoPdf\\ZZGeneral-ZuDuvo1.pdf", "C:\\ZuDuvoPdf\\ZZGeneral-ZuDuvo1.pdf"})
            TempPrefix::put(platform::HostPath(file), "doc");
        fs::remove(opened_);
        boxes_.QueueAnswer(c.answer);
        ApriManuale(dev, "ZZGeneral-ZuDuvo1");
        const auto boxes = boxes_.messageBoxes();
        ASSERT_EQ(boxes.size(), c.asked ? 1u : 0u) << c.appPath;
        if (c.asked) {
            EXPECT_EQ(boxes[0].text, "apro Word");
            EXPECT_EQ(boxes[0].style, 4);
        }
        const std::string expected = *c.expected ? platform::HostPath(c.expected) + "\n" : "";
        EXPECT_EQ(opened(*c.expected != 0), expected) << c.appPath;
    }
}

} // namespace
