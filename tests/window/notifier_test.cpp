// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop notification, on a session bus of the test's own (a private
// dbus-daemon) with a notification server of the test's own on it: what
// the server is sent, a desktop without a server, and a message that
// arrives while the window is not in front.
#include "support/e2e.h"
#include "window/notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The server's side of org.freedesktop.Notifications, as desktops have it:
// each call kept.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    std::vector<Call> calls;

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        calls.push_back({app, summary, body, hints});
        return uint(calls.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

namespace {

// One dbus-daemon for the whole run: the program's session bus is made
// once, on its first use.
class PrivateBus {
public:
    static PrivateBus& instance()
    {
        static PrivateBus bus;
        return bus;
    }
    bool running() const { return !m_address.isEmpty(); }
    const QString& address() const { return m_address; }

private:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_process.start(daemon,
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000))
            return;
        m_address = QString::fromUtf8(m_process.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    }
    ~PrivateBus()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    QProcess m_process;
    QString m_address;
};

class Notifications : public testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateBus::instance().running())
            GTEST_SKIP() << "no dbus-daemon to run a session bus";
    }
    // Puts the test's server on the bus, on a connection of its own.
    void serve()
    {
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(PrivateBus::instance().address(), QStringLiteral("server")));
        ASSERT_TRUE(m_connection->isConnected());
        ASSERT_TRUE(m_connection->registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                                 QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(m_connection->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void TearDown() override
    {
        if (!m_connection)
            return;
        m_connection->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_connection->unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        m_connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    NotificationServer server;

private:
    std::unique_ptr<QDBusConnection> m_connection;
};

TEST_F(Notifications, TheServerIsToldTitleAndText)
{
    serve();
    DesktopNotifier notifier;
    QSignalSpy shown(&notifier, &DesktopNotifier::shown);
    notifier.notify(QStringLiteral("Nuovo SMS da Mario"), QStringLiteral("Ciao! Ci vediamo stasera?"));
    ASSERT_TRUE(e2e::waitFor([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown.first().first().toString(), QStringLiteral("dbus"));
    ASSERT_EQ(server.calls.size(), 1u);
    EXPECT_EQ(server.calls[0].app, QStringLiteral("ZIRCALO"));
    EXPECT_EQ(server.calls[0].summary, QStringLiteral("Nuovo SMS da Mario"));
    EXPECT_EQ(server.calls[0].body, QStringLiteral("Ciao! Ci vediamo stasera?"));
    EXPECT_EQ(server.calls[0].hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("zircalo"));
}

// No server on the bus, and no tray on this desktop: nothing is shown, and
// the program goes on.
TEST_F(Notifications, NoServerAndNoTray)
{
    DesktopNotifier notifier;
    QSignalSpy shown(&notifier, &DesktopNotifier::shown);
    notifier.notify(QStringLiteral("Nuovo SMS da Mario"), QStringLiteral("Ciao"));
    ASSERT_TRUE(e2e::waitFor([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown.first().first().toString(), QStringLiteral("none"));
}

// A message that arrives while the window is not in front reaches the
// desktop's server through the window's own notifier.
TEST_F(Notifications, AMessageThatArrivesReachesTheDesktop)
{
    serve();
    e2e::Phone phone;
    ASSERT_TRUE(phone.connect());
    ASSERT_FALSE(phone.form().isActiveWindow());
    const char* pdu = "0791933395066900040A8133133254760000423022315410402BC837882E7FDBC3F437885D068DD1E9B03DCD0295E561"
                      "F71B947683DAE1F1189D768741BA560A";
    ASSERT_EQ(phone.sim().control(std::string("deliver SM 20 0 ") + pdu), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return !server.calls.empty(); }));
    EXPECT_EQ(server.calls[0].summary, QStringLiteral("Nuovo SMS da 3331234567"));
    EXPECT_EQ(server.calls[0].body, QStringLiteral("Ho trovato le chiavi, erano in macchina :-)"));
}

// A sender's markup, and a phone-book name with markup characters, reach
// the server as text: the server shows them as they were written.
TEST_F(Notifications, MarkupReachesTheServerAsText)
{
    serve();
    e2e::Phone phone(e2e::sampleState("pb.SM.2 = \"+393471234567\",145,\"Marco <Rossi> & Co\"\n"));
    ASSERT_TRUE(phone.connect());
    phone.form().Command1_Click();
    ASSERT_FALSE(phone.form().isActiveWindow());
    // <b>Vinci</b> <a href="http://premio.example">clicca</a>
    // <img src="http://premio.example/p.png"> & basta, from +393471234567
    const char* pdu = "0791933395066900040C91934317325476000042401001510040673CB1CF9A768FD3BC97D807E285416879D9DC13A1"
                      "E974B8EEF582CBCBEDF4DB55C687DB707659E41BB3D3E37198F70AFB40BC74FB0C9ACBC73D119A4E87EB5E2FB8BCDC4E"
                      "BF5D657CB80D67975F7017DC7D16F9402690383CA78701";
    ASSERT_EQ(phone.sim().control(std::string("deliver SM 20 0 ") + pdu), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return !server.calls.empty(); }, 30000));
    EXPECT_EQ(server.calls[0].summary, QStringLiteral("Nuovo SMS da Marco &lt;Rossi&gt; &amp; Co"));
    EXPECT_EQ(server.calls[0].body,
              QStringLiteral("&lt;b&gt;Vinci&lt;/b&gt; &lt;a href=\"http://premio.example\"&gt;clicca&lt;/a&gt; "
                             "&lt;img src=\"http://premio.example/p.png\"&gt; &amp; basta"));
}

TEST(NotificationText, MarkupCharactersEscaped)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"Ciao", "Ciao"},
        {"<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
        {"a & b", "a &amp; b"},
        {"&amp;", "&amp;amp;"},
        {"\"virgolette\" e 'apici'", "\"virgolette\" e 'apici'"},
        {"", ""},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(NotificationText(text), shown) << text.toStdString();
}

} // namespace

#include "notifier_test.moc"
