#include "gui/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/error.h"
#include "platform/paths.h"

namespace ledrana::gui {
namespace {

QString Title(const std::string& title) {
    return QString::fromStdString(title.empty() ? kAppTitle : title);
}

QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtDialogs::MsgBox(const std::string& text, int style, const std::string& title) {
    if (beforeModal_) beforeModal_();
    QMessageBox box(IconOf(style), Title(title), QString::fromStdString(text), QMessageBox::NoButton, owner_);
    box.setTextFormat(Qt::PlainText);
    if ((style & 7) == vbYesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("Sì"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
        box.setDefaultButton((style & vbDefaultButton2) ? no : yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? vbYes : vbNo;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return vbOK;
}

std::string QtDialogs::InputBox(const std::string& prompt, const std::string& title) {
    if (beforeModal_) beforeModal_();
    QInputDialog box(owner_);
    box.setWindowTitle(Title(title));
    box.setLabelText(QString::fromStdString(prompt));
    box.setInputMode(QInputDialog::TextInput);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Annulla"));
    if (box.exec() != QDialog::Accepted) return "";
    return box.textValue().toStdString();
}

std::optional<std::string> QtDialogs::BrowseForFolder(const std::string& title) {
    if (beforeModal_) beforeModal_();
    const QString folder = QFileDialog::getExistingDirectory(owner_, QString::fromStdString(title));
    if (folder.isEmpty()) return std::nullopt;
    try {
        return platform::WindowsPath(folder.toStdString());
    } catch (const Error&) {
        return std::nullopt;
    }
}

void QtDialogs::DoEvents() {
    if (beforeModal_) beforeModal_();
    QApplication::processEvents();
}

} // namespace ledrana::gui
