// AggiornaLedrana: the update window. Builds the objects and starts the window; everything else is in the
// libraries of app/ and gui/.

#include <QApplication>

#include <chrono>

#include "app/run.h"
#include "app/window_events.h"
#include "gui/aggiorna_window.h"
#include "gui/notification.h"
#include "gui/qt_dialogs.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "window/aggiorna.h"

int main(int argc, char** argv) {
    ledrana::platform::ReturnLargeBlocksToSystem();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("AggiornaLedrana"));

    // The stand-in Windows machine: the prefix the platform takes from its environment, with its skeleton.
    ledrana::platform::SetPrefix(ledrana::platform::Prefix());
    const std::string appPath =
        ledrana::platform::WindowsPath(QCoreApplication::applicationDirPath().toStdString());

    ledrana::dao::DBEngine engine;
    ledrana::gui::QtDialogs dialogs;
    ledrana::Aggiorna aggiorna(dialogs, appPath);
    bool ran = false;
    ledrana::gui::AggiornaWindow window(aggiorna, [&] {
        ran = true;
        ledrana::Command2_Click(aggiorna, engine);
    });
    dialogs.setOwner(&window);
    dialogs.setBeforeModal([&window] { window.syncAll(); });

    // Start-up may end the program before the window is shown.
    window.runEvent([&aggiorna] { ledrana::Form_Load(aggiorna); });
    if (aggiorna.ended()) return 0;
    window.show();
    const int status = application.exec();
    // The run always ends the program; once its window has gone, a notification names the report (and
    // the program waits a while for the offer to open it to be taken).
    if (ran)
        if (const auto notice = ledrana::gui::NoticeFor(aggiorna.runReport))
            ledrana::gui::NotifyReport(*notice, std::chrono::minutes(10));
    return status;
}
