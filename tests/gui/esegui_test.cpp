// A click on "Esegui" in the window, on an old sample installation, with scripted boxes: what the run
// button says while each archive is compared, what the window lets the user do meanwhile, and how the
// window is left at the end.

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "app/run.h"
#include "app/window_events.h"
#include "gui/aggiorna_window.h"
#include "platform/paths.h"
#include "tests/common/archive_fixture.h"

using namespace ledrana;
using namespace ledrana::gui;

namespace {

// What the screen showed at one moment of the run.
struct Seen {
    std::string button; // the run button's text as drawn
    int bar = 0;        // the progress bar's value as drawn
    int value = 0;      // the value the run had given the bar
    std::string box;    // the box open at that moment, "" for a repaint of the button
};

class Esegui : public ::testing::Test, protected ledrana::testing::ArchiveFixture {
protected:
    void SetUp() override {
        const std::string line = std::string("'") + ESEGUI_MKINSTALL + "' '" + prefix.root().string() +
                                 "' old > '" + (prefix.root() / "mkinstall.txt").string() + "' 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0)
            << ledrana::testing::TempPrefix::get(prefix.root() / "mkinstall.txt");

        dialogs.InputWhenContains("Ditta: Beta", "segreto");
        dialogs.AnswerWhenContains("Aprire il programma adesso", vbNo);
        ASSERT_TRUE(w.RunEvent([this] { Form_Load(w); }));
        w.CartellaDefault.text = platform::WindowsPath(LEDRANA_BINARY_DIR "/release");

        window = std::make_unique<AggiornaWindow>(w, [this] { Command2_Click(w, engine); });
        window->show();
        QApplication::processEvents();
        button = static_cast<QPushButton*>(window->widgetFor("Command2"));
        bar = static_cast<QProgressBar*>(window->widgetFor("Pb"));

        // Watch the screen whenever the run repaints the button, and whenever a box is open.
        auto paint = w.onRefresh;
        w.onRefresh = [this, paint](const Control* control) {
            paint(control);
            if (control == &w.Command2)
                seen.push_back({button->text().toStdString(), bar->value(), w.Pb.value, ""});
        };
        dialogs.SetObserver([this](const DialogRecord& r) {
            seen.push_back({button->text().toStdString(), bar->value(), w.Pb.value, r.text});
            // Input while the run lasts is refused: "Chiudi" does not end the program in the middle.
            QTest::mouseClick(window->widgetFor("Command1"), Qt::LeftButton);
            if (w.ended()) endedDuringRun = true;
        });
    }

    std::unique_ptr<AggiornaWindow> window;
    QPushButton* button = nullptr;
    QProgressBar* bar = nullptr;
    std::vector<Seen> seen;
    bool endedDuringRun = false;
};

TEST_F(Esegui, TheButtonNamesEachCompanyWhileItsArchivesAreComparedAndTheRunEndsTheProgram) {
    ASSERT_EQ(button->text(), QStringLiteral("Esegui"));
    QTest::mouseClick(button, Qt::LeftButton);

    // Beta's password is asked for while the button names Beta; the bar shows every tick as it comes.
    bool asked = false;
    int lastBar = 0;
    for (const Seen& s : seen) {
        if (s.box.find("Ditta: Beta") == 0) {
            asked = true;
            EXPECT_EQ(s.button, "Ditta: Beta");
        }
        EXPECT_GE(s.bar, lastBar);
        lastBar = s.bar;
        if (s.box.empty()) {
            EXPECT_EQ(s.bar, s.value) << "the bar lags behind the run at " << s.button;
        }
    }
    EXPECT_TRUE(asked);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().button, "Ditta: Alfa");
    EXPECT_LT(seen.front().bar + 100, seen[seen.size() - 3].bar)
        << "the bar hardly moved during the comparisons";
    EXPECT_FALSE(endedDuringRun);

    // The end: the bar full when the last question is asked, the log in its box, the button reading
    // "Esegui", the normal pointer, and the window closed because the run ends the program.
    EXPECT_EQ(seen.back().box, "Aprire il programma adesso");
    EXPECT_EQ(seen.back().bar, 500);
    EXPECT_EQ(button->text(), QStringLiteral("Esegui"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QString shown = QString::fromStdString(w.Text1.text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(static_cast<QPlainTextEdit*>(window->widgetFor("Text1"))->toPlainText(), shown);

    EXPECT_TRUE(w.ended());
    EXPECT_FALSE(window->isVisible());
    // An ended program takes no second run.
    const std::size_t boxesAtEnd = dialogs.records().size();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(dialogs.records().size(), boxesAtEnd);
}

} // namespace
