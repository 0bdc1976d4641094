#pragma once
// The window AGGIORNA drawn with Qt from the window object of app/. One child widget per control, named
// after it (QObject::objectName), placed at its position (15 twips per pixel), with its caption, font and
// state. The widgets follow the object: after every event procedure, when a procedure refreshes a control
// (Aggiorna::Refresh), and while a box is open or pending events are processed; at no other time.
//
// Events: "Chiudi" runs Command1_Click, "Esegui" Command2_Click, "sfoglia" Sfoglia_Click, the icon
// Image2_Click, a mouse button on the background Form_MouseDown. While one runs, further input is ignored.
// When a procedure ends the program the window closes.

#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "window/aggiorna.h"

namespace ledrana::gui {

inline constexpr int kTwipsPerPixel = 15;

class AggiornaWindow : public QWidget {
public:
    // `esegui` is what "Esegui" runs: the update run, Command2_Click with the run's database engine.
    AggiornaWindow(Aggiorna& window, std::function<void()> esegui, QWidget* parent = nullptr);
    ~AggiornaWindow() override;

    // The widget drawn for a control, nullptr when there is no control of that name.
    QWidget* widgetFor(const std::string& controlName) const;

    // Brings every widget up to date with the window object.
    void syncAll();

    // Runs an event procedure through Aggiorna::RunEvent, then brings the widgets up to date and closes
    // the window when the program has ended. An error that no procedure handled ends the program after
    // one box that shows it.
    void runEvent(const std::function<void()>& event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window's own close button ends the program like "Chiudi", except while a procedure runs.
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void sync(const Control& control);
    QWidget* parentFor(const Control& control);

    Aggiorna& w_;
    std::function<void()> esegui_;
    std::map<std::string, QWidget*> widgets_;
    std::map<const QObject*, std::function<void()>> clicks_;
    bool busy_ = false;
    bool hourglass_ = false;
};

// Twips to pixels, as the window lays its controls out.
inline int Pixels(int twips) {
    return twips / kTwipsPerPixel;
}

} // namespace ledrana::gui
