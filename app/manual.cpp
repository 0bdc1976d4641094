#include "app/manual.h"

#include "platform/shell.h"
#include "platform/text.h"

namespace ledrana {

void ApriManuale(Aggiorna& w, const std::string& name) {
    const std::string& appPath = w.AppPath();
    const bool developerMachine =
        !w.devFolderPrefix.empty() && UCase(LeftChars(appPath, 6)) == UCase(w.devFolderPrefix);
    if (!developerMachine) {
        platform::ShellOpen(appPath + "\\ZuDuvoPdf\\" + name + ".pdf");
        return;
    }
    std::string file = w.devTree + "\\ZuDuvoPdf\\" + name + ".pdf";
    if (w.dialogs.MsgBox("apro Word", vbYesNo, "") == vbYes)
        file = w.devTree + "\\ZuDuvoWord\\" + name + ".doc";
    platform::ShellOpen(file);
}

} // namespace ledrana
