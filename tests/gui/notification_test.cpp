// The notification at the end of a run, on a private session bus: a dbus-daemon started by the test and a
// notification server of the test's own that records every call and answers as a desktop would.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "gui/notification.h"
#include "platform/paths.h"
#include "tests/platform/temp_prefix.h"

namespace ledrana::gui {
namespace {

using namespace std::chrono_literals;

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The freedesktop notification server as far as the program uses it. Every call is recorded; Notify
// answers 7, or the id it replaces, and then sends the signals of `after`.
class Server : public QDBusVirtualObject {
public:
    std::vector<QDBusMessage> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<std::pair<QString, QVariantList>> after; // signals sent after Notify's reply

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(message);
        }
        if (message.member() == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(QVariant(QStringList{"actions", "body", "body-markup"})));
        } else if (message.member() == QLatin1String("Notify")) {
            const uint replaces = message.arguments().value(1).toUInt();
            connection.send(message.createReply(QVariant(replaces ? replaces : 7u)));
            for (const auto& [name, arguments] : after) {
                QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, name);
                signal.setArguments(arguments);
                connection.send(signal);
            }
        } else {
            return false;
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<QDBusMessage> calls_;
};

// A private session bus (dbus-daemon --session), set as the session's bus while the object lives.
class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon on this machine (Debian package dbus-daemon)";
        bus.start(daemon, {"--session", "--print-address", "--nofork"});
        QElapsedTimer clock;
        clock.start();
        while (address.isEmpty() && bus.state() != QProcess::NotRunning && clock.elapsed() < 10000) {
            bus.waitForReadyRead(100);
            if (bus.canReadLine()) address = QString::fromUtf8(bus.readLine()).trimmed();
        }
        if (address.isEmpty())
            GTEST_SKIP() << "dbus-daemon did not start: " << bus.readAllStandardError().toStdString();
        env.emplace("DBUS_SESSION_BUS_ADDRESS", address.toStdString());
        QDBusConnection listener = QDBusConnection::connectToBus(address, QStringLiteral("server"));
        ASSERT_TRUE(listener.isConnected()) << listener.lastError().message().toStdString();
        ASSERT_TRUE(listener.registerVirtualObject(kPath, &server));
        ASSERT_TRUE(listener.registerService(kService));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        bus.kill();
        bus.waitForFinished();
    }

    // The Notify calls the server received: app name, replaced id, summary, body, actions.
    std::vector<QVariantList> notifies() {
        std::vector<QVariantList> out;
        for (const QDBusMessage& m : server.calls())
            if (m.member() == QLatin1String("Notify")) {
                const QVariantList a = m.arguments();
                out.push_back({a[0], a[1], a[3], a[4], a[5]});
            }
        return out;
    }

    testing::TempPrefix prefix;
    QProcess bus;
    QString address;
    std::optional<testing::ScopedEnv> env;
    Server server;
    std::vector<QString> opened;
    std::function<void(const QString&)> open = [this](const QString& path) { opened.push_back(path); };
};

RunReport Written(const std::string& file) {
    RunReport report;
    report.outcome = "Aggiornamento eseguito";
    report.file = file;
    return report;
}

TEST_F(NotificationTest, NamesTheReportAndOpensItWhenItsActionIsChosen) {
    const std::string file = "C:\\ZU\\Rossi & Figli\\ledrana\\rapporti\\aggiornamento-20261207-101500.html";
    const QString host = QString::fromStdString(platform::HostPath(file));
    // Another notification's action first, then ours.
    server.after = {{"ActionInvoked", {8u, QStringLiteral("apri")}},
                    {"ActionInvoked", {7u, QStringLiteral("apri")}}};
    const auto notice = NoticeFor(Written(file));
    ASSERT_TRUE(notice);
    EXPECT_TRUE(NotifyReport(*notice, 60s, open));

    EXPECT_EQ(opened, std::vector<QString>{host});
    const auto sent = notifies();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][0].toString(), "AggiornaLedrana");
    EXPECT_EQ(sent[0][1].toUInt(), 0u);
    EXPECT_EQ(sent[0][2].toString(), "Aggiornamento eseguito");
    // The server reads markup: the path's "&" is escaped.
    EXPECT_TRUE(sent[0][3].toString().contains(host.toHtmlEscaped())) << sent[0][3].toString().toStdString();
    EXPECT_TRUE(host.contains("&"));
    EXPECT_EQ(sent[0][4].toStringList(), (QStringList{"apri", "Apri il rapporto"}));
}

TEST_F(NotificationTest, AReportNotWrittenIsSaidAndAnOfferNobodyTakesIsWithdrawn) {
    RunReport failed = Written("");
    failed.outcome = "Aggiornamento NON eseguito completamente";
    EXPECT_TRUE(NotifyReport(*NoticeFor(failed), 60s, open));
    auto sent = notifies();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][2].toString(), "Aggiornamento NON eseguito completamente");
    EXPECT_EQ(sent[0][3].toString(), "Il rapporto non si è potuto scrivere");
    EXPECT_TRUE(sent[0][4].toStringList().isEmpty()) << "nothing to open";

    // Nobody chooses the action: after the wait the same notification (id 7) stays without it.
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(NotifyReport(*NoticeFor(Written("C:\\ZU\\ledrana\\rapporti\\r.html")), 300ms, open));
    EXPECT_GE(clock.elapsed(), 300);
    sent = notifies();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1][4].toStringList().size(), 2);
    EXPECT_EQ(sent[2][1].toUInt(), 7u);
    EXPECT_EQ(sent[2][3], sent[1][3]);
    EXPECT_TRUE(sent[2][4].toStringList().isEmpty());

    // Closed by the user: nothing more is sent.
    server.after = {{"NotificationClosed", {7u, 2u}}};
    EXPECT_TRUE(NotifyReport(*NoticeFor(Written("C:\\ZU\\ledrana\\rapporti\\r.html")), 60s, open));
    EXPECT_EQ(notifies().size(), 4u);
    EXPECT_TRUE(opened.empty());

    RunReport preview = failed;
    preview.preview = true;
    EXPECT_FALSE(NoticeFor(preview)) << "the preview's own program says its report is missing";
}

TEST_F(NotificationTest, WithoutASessionBusOrAServerNothingHappens) {
    QDBusConnection::connectToBus(address, QStringLiteral("server")).unregisterService(kService);
    QElapsedTimer clock;
    clock.start();
    const ReportNotice notice = *NoticeFor(Written("C:\\ZU\\ledrana\\rapporti\\r.html"));
    EXPECT_FALSE(NotifyReport(notice, 60s, open)) << "no server on the bus";
    {
        testing::ScopedEnv none("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        EXPECT_FALSE(NotifyReport(notice, 60s, open));
        testing::ScopedEnv empty("DBUS_SESSION_BUS_ADDRESS", "");
        testing::ScopedEnv runtime("XDG_RUNTIME_DIR", prefix.root().string());
        EXPECT_FALSE(NotifyReport(notice, 60s, open));
    }
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(opened.empty());
}

} // namespace
} // namespace ledrana::gui
