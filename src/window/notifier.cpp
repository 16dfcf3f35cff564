// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

QString NotificationText(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

void DesktopNotifier::notify(const QString& title, const QString& text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        toTray(title, text);
        return;
    }
    // org.freedesktop.Notifications.Notify(app_name, replaces_id, app_icon,
    // summary, body, actions, hints, expire_timeout).
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zircalo"));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    // What a sender wrote is shown as written, never as the server's markup.
    call << QStringLiteral("ZIRCALO") << quint32(0) << QStringLiteral("zircalo") << NotificationText(title)
         << NotificationText(text) << QStringList() << hints << qint32(-1);
    // Never waited for: a server that is slow keeps nobody waiting.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, title, text](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (done->isError())
            toTray(title, text);
        else
            emit shown(QStringLiteral("dbus"));
    });
}

void DesktopNotifier::toTray(const QString& title, const QString& text)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        emit shown(QStringLiteral("none"));
        return;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/zircalo.svg")), this);
        m_tray->setToolTip(QStringLiteral("ZIRCALO"));
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information);
    emit shown(QStringLiteral("tray"));
}
