#include "gui/notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <set>

#include "platform/error.h"
#include "platform/paths.h"

namespace ledrana::gui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAction = QStringLiteral("apri");
constexpr int kCallMilliseconds = 5000; // a server that does not answer by then is taken as none

// The session bus as libdbus finds it: the address the session gives, else the user's bus socket.
QString SessionBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

// A method call's reply, events processed meanwhile (the window's program has nothing else to do then).
QDBusMessage Call(QDBusConnection& bus, const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, kCallMilliseconds));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply();
}

QVariantList NotifyArguments(const ReportNotice& notice, const QString& body, uint replaces,
                             const QStringList& actions) {
    QVariantMap hints;
    // A run that left something undone stays on the screen until it is seen (critical: no expiry).
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(notice.ok ? 1 : 2)));
    return {QStringLiteral("AggiornaLedrana"), replaces, QString(), notice.summary, body, actions, hints, -1};
}

} // namespace

// The server's answers, as the bus delivers them. They are kept by the notification's id, since the id's
// reply and the first answer may be delivered in one pass of the event loop, the answer first.
class NotificationFollower : public QObject {
    Q_OBJECT
public:
    std::set<uint> acted, closed;
    std::function<void()> answered;

public slots:
    void actionInvoked(uint notification, const QString& key) {
        if (key == kAction) acted.insert(notification);
        answered();
    }
    void notificationClosed(uint notification, uint) {
        closed.insert(notification);
        answered();
    }
};

std::optional<ReportNotice> NoticeFor(const RunReport& report) {
    if (report.file.empty() && report.preview) return std::nullopt;
    ReportNotice notice;
    // The run's end as its report's verdict tells it, never more than the run did.
    const int companies = report.CompaniesNotUpdated(), archives = report.ArchivesNotUpdated();
    switch (report.End()) {
    case RunEnd::Done:
        notice.summary = QStringLiteral("Aggiornamento eseguito");
        notice.ok = true;
        break;
    case RunEnd::Incomplete:
        notice.summary =
            companies || archives
                ? QStringLiteral("Aggiornamento eseguito, ma %1 %2 e %3 %4 non aggiornati completamente")
                      .arg(companies)
                      .arg(companies == 1 ? "ditta" : "ditte")
                      .arg(archives)
                      .arg(archives == 1 ? "archivio" : "archivi")
                : QStringLiteral("Aggiornamento eseguito, ma con errori");
        break;
    case RunEnd::NotDone:
        notice.summary = QStringLiteral("Aggiornamento NON eseguito completamente");
        break;
    case RunEnd::LockHeld:
        notice.summary =
            QStringLiteral("Un altro aggiornamento teneva la cartella dati: nulla è stato modificato");
        break;
    case RunEnd::Interrupted:
        notice.summary = QStringLiteral("Il programma è terminato prima della fine dell'aggiornamento");
        break;
    }
    if (report.file.empty()) {
        notice.body = QStringLiteral("Il rapporto non si è potuto scrivere");
        if (!report.reportError.empty())
            notice.body += QStringLiteral(": ") + QString::fromStdString(report.reportError);
    } else {
        try {
            notice.report = QString::fromStdString(platform::HostPath(report.file));
        } catch (const Error&) {
            notice.report = QString::fromStdString(report.file); // named at least as the run named it
        }
        notice.body = QStringLiteral("Il rapporto dell'esecuzione: ") + notice.report;
    }
    return notice;
}

void OpenWithDesktop(const QString& hostPath) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(hostPath));
}

bool NotifyReport(const ReportNotice& notice, std::chrono::milliseconds wait,
                  const std::function<void(const QString&)>& open) {
    const QString address = SessionBusAddress();
    if (address.isEmpty()) return false;
    static int connections = 0;
    const QString name = QStringLiteral("ledrana-notification-%1").arg(++connections);
    bool shown = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (bus.isConnected()) {
            const QDBusMessage caps = Call(bus, QStringLiteral("GetCapabilities"));
            const QStringList can = caps.arguments().value(0).toStringList();
            // A server that reads markup in the body would take "&" or "<" of a path for it.
            const QString body =
                can.contains(QStringLiteral("body-markup")) ? notice.body.toHtmlEscaped() : notice.body;
            const bool offer = !notice.report.isEmpty() && can.contains(QStringLiteral("actions"));

            NotificationFollower follower;
            QEventLoop loop;
            uint id = 0; // none until the server names it
            const auto over = [&] { return follower.acted.count(id) + follower.closed.count(id) > 0; };
            follower.answered = [&] {
                if (over()) loop.quit();
            };
            if (offer) {
                bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), &follower,
                            SLOT(actionInvoked(uint, QString)));
                bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), &follower,
                            SLOT(notificationClosed(uint, uint)));
            }
            const QStringList actions =
                offer ? QStringList{kAction, QStringLiteral("Apri il rapporto")} : QStringList{};
            const QDBusMessage reply =
                Call(bus, QStringLiteral("Notify"), NotifyArguments(notice, body, 0, actions));
            shown = reply.type() == QDBusMessage::ReplyMessage;
            if (shown && offer) {
                id = reply.arguments().value(0).toUInt();
                QTimer::singleShot(wait, &loop, &QEventLoop::quit);
                if (!over()) loop.exec();
                if (follower.acted.count(id))
                    open(notice.report);
                else if (!follower.closed.count(id))
                    Call(bus, QStringLiteral("Notify"), NotifyArguments(notice, body, id, {}));
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return shown;
}

} // namespace ledrana::gui

#include "notification.moc"
