#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/dither.h"
#include "app/window_events.h"
#include "gui/aggiorna_window.h"
#include "gui/fonts.h"
#include "tests/common/archive_fixture.h"

using namespace ledrana;
using namespace ledrana::gui;

namespace {

QString TextOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return {};
}

class Window : public ::testing::Test, protected ledrana::testing::ArchiveFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.RunEvent([this] { Form_Load(w); }));
        window = std::make_unique<AggiornaWindow>(w, [this] { ++eseguiClicks; });
        window->show();
        QApplication::processEvents();
    }

    QWidget* widget(const std::string& name) {
        QWidget* found = window->widgetFor(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The window as it looks, kept beside the build for a look by eye.
    QImage grab(const char* file) {
        QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString folder = QStringLiteral(LEDRANA_BINARY_DIR "/gui-shots");
        QDir().mkpath(folder);
        image.save(folder + "/" + file);
        return image;
    }

    std::unique_ptr<AggiornaWindow> window;
    int eseguiClicks = 0;
};

TEST_F(Window, DrawsTheShownControlsAtTheirPlacesWithTheirCaptions) {
    const QImage image = grab("aggiorna.png");
    EXPECT_EQ(image.size(), QSize(426, 431));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessaro: Aggiornamento archivi"));

    // Every control where the form puts it, shown as the form says (inside its frame when it has one), with
    // its caption or text; every caption has its glyphs and fits its box, so nothing is drawn as boxes or cut
    // off.
    for (const Control* c : std::as_const(w).controls()) {
        QWidget* drawn = widget(c->name);
        ASSERT_NE(drawn, nullptr);
        const bool shown = c->visible && (c->container.empty() || widget(c->container)->isVisible());
        EXPECT_EQ(drawn->isVisible(), shown) << c->name;
        EXPECT_EQ(drawn->geometry(),
                  QRect(Pixels(c->left), Pixels(c->top), Pixels(c->width), Pixels(c->height)))
            << c->name;
        const QString text = TextOf(drawn);
        if (text.isEmpty()) continue;
        EXPECT_EQ(text.toStdString(), c->kind == ControlKind::TextBox ? c->text : c->caption) << c->name;
        if (!c->visible) continue;
        EXPECT_TRUE(FontCovers(drawn->font(), text)) << c->name;
        if (c->kind == ControlKind::Label) {
            const QRect needed =
                QFontMetrics(drawn->font()).boundingRect(drawn->rect(), Qt::TextWordWrap, text);
            EXPECT_LE(needed.height(), drawn->height()) << c->name;
            EXPECT_LE(needed.width(), drawn->width()) << c->name;
        }
    }
    EXPECT_TRUE(widget("Aggiornamento")->font().bold());
    EXPECT_TRUE(QFontInfo(widget("Label1")->font()).exactMatch() ||
                QFontInfo(widget("Label1")->font()).family() == QStringLiteral("DejaVu Sans"));

    // Ink where the captions are: the label's box is not all gradient.
    const QRect label1 = widget("Label1")->geometry();
    int ink = 0;
    for (int y = label1.top(); y <= label1.bottom(); ++y)
        for (int x = label1.left(); x <= label1.right(); ++x)
            ink += qRed(image.pixel(x, y)) < 128;
    EXPECT_GT(ink, 20);
}

TEST_F(Window, GradientRunsFromWhiteToLightBlue) {
    const QImage image = grab("aggiorna-gradient.png");
    // The left and right margins hold no control.
    for (int x : {2, 422}) {
        EXPECT_EQ(QColor(image.pixel(x, 0)), QColor(255, 255, 255)) << x;
        EXPECT_EQ(QColor(image.pixel(x, image.height() - 1)), QColor(191, 223, 255)) << x;
        int previousRed = 256;
        for (int y = 0; y < image.height(); ++y) {
            const QColor colour(image.pixel(x, y));
            EXPECT_EQ(colour.blue(), 255) << x << "," << y;
            EXPECT_LE(colour.red(), previousRed) << x << "," << y;
            previousRed = colour.red();
        }
    }
    // Halfway down: band 128, red 223, green 239 (give or take the neighbouring band).
    const QColor middle(image.pixel(2, image.height() / 2));
    EXPECT_NEAR(middle.red(), 223, 1);
    EXPECT_NEAR(middle.green(), 239, 1);
}

// Only the right button shows the model folder, and for good.
TEST_F(Window, RightClickShowsTheModelFolder) {
    for (const Qt::MouseButton other : {Qt::LeftButton, Qt::MiddleButton})
        QTest::mouseClick(window.get(), other, {}, QPoint(420, 420));
    EXPECT_FALSE(widget("Frame2")->isVisible());
    // A click on a label belongs to the label, not to the window.
    QTest::mouseClick(widget("Label4"), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(widget("Frame2")->isVisible());
    QTest::mouseClick(window.get(), Qt::RightButton, {}, QPoint(420, 420));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(420, 420));
    ASSERT_TRUE(widget("Frame2")->isVisible());
    // The user may edit the model folder before the run.
    auto* edit = static_cast<QLineEdit*>(widget("CartellaDefault"));
    edit->clear();
    QTest::keyClicks(edit, "Z:\\modello");
    EXPECT_EQ(w.CartellaDefault.text, "Z:\\modello");
    grab("aggiorna-frame2.png");
}

TEST_F(Window, ControlsRepaintOnlyWhenRefreshed) {
    w.Command2.caption = "Ditta: Ditta2000";
    EXPECT_EQ(TextOf(widget("Command2")), QStringLiteral("Esegui"));
    w.Refresh(w.Command2);
    EXPECT_EQ(TextOf(widget("Command2")), QStringLiteral("Ditta: Ditta2000"));
    w.FrameAttendere.visible = true;
    w.Label10.caption = "Ditta2000";
    EXPECT_FALSE(widget("FrameAttendere")->isVisible());
    w.RefreshWindow();
    EXPECT_TRUE(widget("FrameAttendere")->isVisible());
    EXPECT_EQ(TextOf(widget("Label10")), QStringLiteral("Ditta2000"));
    grab("aggiorna-attendere.png");
}

TEST_F(Window, EseguiRunsTheUpdateAndChiudiEnds) {
    QTest::mouseClick(static_cast<QPushButton*>(widget("Command2")), Qt::LeftButton);
    EXPECT_EQ(eseguiClicks, 1);
    EXPECT_TRUE(window->isVisible());
    QTest::mouseClick(static_cast<QPushButton*>(widget("Command1")), Qt::LeftButton);
    EXPECT_TRUE(w.ended());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(Window, ClosingTheWindowEndsTheProgramButNotDuringAnEvent) {
    bool closedWhileBusy = true;
    window->runEvent([&] { closedWhileBusy = window->close(); });
    EXPECT_FALSE(closedWhileBusy);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(w.ended());
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(w.ended());
}

TEST_F(Window, SfogliaOpensTheFolderBrowser) {
    dialogs.QueueFolder(std::string("Z:\\srv\\condivisa"));
    QTest::mouseClick(widget("Sfoglia"), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(TextOf(widget("CartellaZu")), QStringLiteral("Z:\\srv\\condivisa"));
}

} // namespace
