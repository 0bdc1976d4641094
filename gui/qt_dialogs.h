#pragma once
// The program's boxes drawn with Qt: message boxes with VB's styles, the input box, the folder browser.

#include <functional>

#include "platform/dialogs.h"

class QWidget;

namespace ledrana::gui {

class QtDialogs : public Dialogs {
public:
    // `owner` is the window the boxes are centred on; it may be set later (or stay null).
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    // Called before a box opens and by DoEvents: the window brings its controls up to date, since the
    // window repaints while a box is open.
    void setBeforeModal(std::function<void()> hook) { beforeModal_ = std::move(hook); }

    // Styles: buttons (0 OK, 4 Yes/No), icon (16 critical, 32 question, 48 exclamation, 64 information),
    // default button (+256 the second). Returns vbOK, vbYes or vbNo; closing a Yes/No box answers No.
    int MsgBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title) override;
    // The chosen host folder as a Windows path (platform/paths.h), nothing when cancelled.
    std::optional<std::string> BrowseForFolder(const std::string& title) override;
    void DoEvents() override;

private:
    QWidget* owner_;
    std::function<void()> beforeModal_;
};

} // namespace ledrana::gui
