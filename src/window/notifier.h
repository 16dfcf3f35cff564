// SPDX-License-Identifier: GPL-3.0-or-later
// A message to the desktop while the window is not in front: a
// freedesktop notification over the session bus, or the system tray's
// balloon where no notification server answers.
#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;

// A text as a notification server shows it literally: "&", "<" and ">"
// escaped, since servers that take markup in the body (and some in the
// title) would otherwise render a sender's links and images. The tray's
// balloon shows plain text and takes the text as it is.
QString NotificationText(const QString& text);

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Sends `title` and `text`; the answer of the server comes later, and a
    // server that fails or is missing hands the message to the tray.
    void notify(const QString& title, const QString& text);

signals:
    // How the last message went out: "dbus", "tray", or "none" when the
    // desktop has neither a notification server nor a tray.
    void shown(const QString& how);

private:
    void toTray(const QString& title, const QString& text);
    QSystemTrayIcon* m_tray = nullptr;
};
