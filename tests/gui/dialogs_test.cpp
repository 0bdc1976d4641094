#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "gui/qt_dialogs.h"

using namespace ledrana;
using ledrana::gui::QtDialogs;

namespace {

// Runs `act` on the box once it is open (boxes are modal: the test acts from inside their event loop).
void WhenBoxOpens(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(box);
        }
    });
    timer->start();
}

QStringList ButtonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* b : box->buttons())
        texts << b->text();
    return texts;
}

TEST(QtDialogs, MessageBoxStylesGiveTheirButtonsIconAndDefault) {
    struct Case {
        int style;
        QStringList buttons;
        QMessageBox::Icon icon;
        QString defaultButton;
        bool pressDefault; // else press the other button (Yes/No boxes)
        int answer;
    };
    const Case cases[] = {
        {0, {"OK"}, QMessageBox::NoIcon, "OK", true, vbOK},
        {64, {"OK"}, QMessageBox::Information, "OK", true, vbOK},
        {4, {"Sì", "No"}, QMessageBox::NoIcon, "Sì", true, vbYes},
        {4, {"Sì", "No"}, QMessageBox::NoIcon, "Sì", false, vbNo},
        {260, {"Sì", "No"}, QMessageBox::NoIcon, "No", true, vbNo},
        {292, {"Sì", "No"}, QMessageBox::Question, "No", false, vbYes},
    };
    int calledBeforeModal = 0;
    QtDialogs dialogs;
    dialogs.setBeforeModal([&] { ++calledBeforeModal; });
    for (const Case& c : cases) {
        QString title, text;
        WhenBoxOpens([&](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            EXPECT_EQ(ButtonTexts(box), c.buttons) << c.style;
            EXPECT_EQ(box->icon(), c.icon) << c.style;
            ASSERT_NE(box->defaultButton(), nullptr);
            EXPECT_EQ(box->defaultButton()->text(), c.defaultButton) << c.style;
            QAbstractButton* press = box->defaultButton();
            if (!c.pressDefault)
                for (QAbstractButton* b : box->buttons())
                    if (b != box->defaultButton()) press = b;
            press->click();
        });
        EXPECT_EQ(dialogs.MsgBox("riga 1\n<b>riga 2</b>", c.style, ""), c.answer) << c.style;
        EXPECT_EQ(title, QStringLiteral("AggiornaLedrana"));
        EXPECT_EQ(text, QStringLiteral("riga 1\n<b>riga 2</b>"));
    }
    EXPECT_EQ(calledBeforeModal, 6);
}

TEST(QtDialogs, InputBoxReturnsTheTextOrEmptyOnCancel) {
    const std::string prompt = "Ditta: Ditta2000\n E' PROTETTA:  IMPOSTARE LA PASSWORD";
    QtDialogs dialogs;
    for (const bool accepted : {true, false}) {
        WhenBoxOpens([&](QWidget* widget) {
            auto* box = qobject_cast<QInputDialog*>(widget);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->labelText().toStdString(), prompt);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("AggiornaLedrana"));
            box->setTextValue(QStringLiteral("segreta"));
            accepted ? box->accept() : box->reject();
        });
        EXPECT_EQ(dialogs.InputBox(prompt, ""), accepted ? "segreta" : "") << accepted;
    }
}

} // namespace
