// The notification at the end of a run, on a private session bus: a dbus-daemon started by the test and a
// notification server of the test's own that records every call and answers as a desktop would.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "gui/notification.h"
#include "platform/paths.h"
#include "tests/platform/temp_prefix.h"

namespace ledrana::gui {
namespace {

using namespace std::chrono_literals;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The freedesktop notification server as far as the program uses it. Each Notify is recorded as
// "app|replaced id|summary|body|actions|urgency"; it answers 7 (or the id it replaces), then sends `after`.
class Server : public QDBusVirtualObject {
public:
    std::vector<std::string> notified() {
        std::lock_guard lock(mutex_);
        return notified_;
    }
    std::vector<std::pair<QString, QVariantList>> after;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QVariantList a = message.arguments();
        if (message.member() == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(QVariant(QStringList{"actions", "body", "body-markup"})));
            return true;
        }
        if (message.member() != QLatin1String("Notify")) return false;
        {
            std::lock_guard lock(mutex_);
            notified_.push_back(
                QStringList{a[0].toString(), a[1].toString(), a[3].toString(), a[4].toString(),
                            a[5].toStringList().join(','),
                            QString::number(qdbus_cast<QVariantMap>(a[6]).value("urgency").toInt())}
                    .join('|')
                    .toStdString());
        }
        connection.send(message.createReply(QVariant(a[1].toUInt() ? a[1].toUInt() : 7u)));
        for (const auto& [name, arguments] : after) {
            QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, name);
            signal.setArguments(arguments);
            connection.send(signal);
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> notified_;
};

// A private session bus (dbus-daemon --session) named by DBUS_SESSION_BUS_ADDRESS, with the server on it.
class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon on this machine (Debian package dbus-daemon)";
        bus.start(daemon, {"--session", "--print-address", "--nofork"});
        while (address.isEmpty() && bus.waitForReadyRead(10000))
            if (bus.canReadLine()) address = QString::fromUtf8(bus.readLine()).trimmed();
        if (address.isEmpty())
            GTEST_SKIP() << "dbus-daemon did not start: " << bus.readAllStandardError().toStdString();
        env.emplace("DBUS_SESSION_BUS_ADDRESS", address.toStdString());
        QDBusConnection listener = QDBusConnection::connectToBus(address, QStringLiteral("server"));
        ASSERT_TRUE(listener.registerVirtualObject(kPath, &server));
        ASSERT_TRUE(listener.registerService(kService));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        bus.kill();
        bus.waitForFinished();
    }

    testing::TempPrefix prefix;
    QProcess bus;
    QString address;
    std::optional<testing::ScopedEnv> env;
    Server server;
    std::vector<QString> opened;
    std::function<void(const QString&)> open = [this](const QString& path) { opened.push_back(path); };
};

RunReport Report(const std::string& file, const std::string& outcome = "Aggiornamento eseguito") {
    RunReport report;
    report.outcome = outcome;
    report.file = file;
    return report;
}

ReportNotice Notice(const std::string& file, const std::string& outcome = "Aggiornamento eseguito") {
    return NoticeFor(Report(file, outcome)).value();
}

TEST_F(NotificationTest, NamesTheReportAndOpensItWhenItsActionIsChosen) {
    const std::string file = "C:\\ZU\\Rossi & Figli\\ledrana\\rapporti\\aggiornamento-20261207-101500.html";
    const QString host = QString::fromStdString(platform::HostPath(file));
    // Another notification's action first, then ours.
    server.after = {{"ActionInvoked", {8u, QStringLiteral("apri")}},
                    {"ActionInvoked", {7u, QStringLiteral("apri")}}};
    EXPECT_TRUE(NotifyReport(Notice(file), 60s, open));
    EXPECT_EQ(opened, std::vector<QString>{host});
    // The server reads markup: the path's "&" is escaped.
    const std::string body = "Il rapporto dell'esecuzione: " + host.toHtmlEscaped().toStdString();
    EXPECT_EQ(server.notified(), std::vector<std::string>{"AggiornaLedrana|0|Aggiornamento eseguito|" + body +
                                                          "|apri,Apri il rapporto|1"});
}

TEST_F(NotificationTest, AReportNotWrittenIsSaidAndAnOfferNobodyTakesIsWithdrawn) {
    RunReport failed = Report("", "Aggiornamento NON eseguito completamente");
    failed.reportError = "70 Permesso negato";
    EXPECT_TRUE(NotifyReport(*NoticeFor(failed), 60s, open));
    // Nobody chooses the action: after the wait the same notification (7) stays, without it.
    QElapsedTimer clock;
    clock.start();
    const ReportNotice written = Notice("C:\\ZU\\r.html");
    EXPECT_TRUE(NotifyReport(written, 300ms, open));
    EXPECT_GE(clock.elapsed(), 300);
    // Closed by the user: nothing more is sent.
    server.after = {{"NotificationClosed", {7u, 2u}}};
    EXPECT_TRUE(NotifyReport(written, 60s, open));

    const std::string body = written.body.toStdString();
    const std::string said = "AggiornaLedrana|0|Aggiornamento eseguito|" + body + "|apri,Apri il rapporto|1";
    EXPECT_EQ(
        server.notified(),
        (std::vector<std::string>{"AggiornaLedrana|0|Aggiornamento NON eseguito completamente|Il rapporto "
                                  "non si è potuto scrivere: 70 Permesso negato||2",
                                  said, "AggiornaLedrana|7|Aggiornamento eseguito|" + body + "||1", said}));
    EXPECT_TRUE(opened.empty());

    // The summary never claims more than the run did.
    RunReport incomplete = Report("C:\\ZU\\r.html");
    incomplete.Company("Gamma.ini");
    incomplete.StartArchive("Gamma.ini", "C:\\ZU\\Gamma\\CONT32.MDB");
    incomplete.ArchiveOutcome("C:\\ZU\\Gamma\\CONT32.MDB", false, "non aggiornato correttamente");
    EXPECT_EQ(NoticeFor(incomplete)->summary.toStdString(),
              "Aggiornamento eseguito, ma 1 ditta e 1 archivio non aggiornati completamente");

    RunReport preview;
    preview.preview = true;
    EXPECT_FALSE(NoticeFor(preview)) << "the preview's own program says its report is missing";
}

TEST_F(NotificationTest, WithoutASessionBusOrAServerNothingHappens) {
    QDBusConnection::connectToBus(address, QStringLiteral("server")).unregisterService(kService);
    QElapsedTimer clock;
    clock.start();
    const ReportNotice notice = Notice("C:\\ZU\\r.html");
    EXPECT_FALSE(NotifyReport(notice, 60s, open)) << "no server on the bus";
    testing::ScopedEnv none("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_FALSE(NotifyReport(notice, 60s, open));
    testing::ScopedEnv empty("DBUS_SESSION_BUS_ADDRESS", "");
    testing::ScopedEnv runtime("XDG_RUNTIME_DIR", prefix.root().string()); // no "bus" socket there
    EXPECT_FALSE(NotifyReport(notice, 60s, open));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(opened.empty());
}

} // namespace
} // namespace ledrana::gui
