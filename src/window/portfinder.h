// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the phone's port: the serial ports present, as a menu that binds
// "COM 1" or "COM 2" to one of them, and the reason a port would not open
// in the user's terms.
#pragma once

#include <QSerialPort>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QMenu;
class QWidget;

// One serial port as the system describes it.
struct PortInfo {
    QString device;                 // /dev/ttyUSB0
    QString byId;                   // /dev/serial/by-id/usb-... naming it, or empty
    QString description;            // "Nokia 6310i", "USB-Serial Controller"
    QString maker;                  // "Prolific Technology Inc."
    std::optional<quint16> vendor;  // USB vendor identifier
    std::optional<quint16> product; // USB product identifier
};

// The ports present now (QSerialPortInfo), each with the /dev/serial/by-id
// name that points to it when there is one.
std::vector<PortInfo> PresentPorts();

// The name a button is bound to: the by-id name, which stays the same when
// the cable is plugged into another socket, else the device.
QString BindingName(const PortInfo& port);

// One line of the menu: the name bound to, then what is known of the port:
//   /dev/serial/by-id/usb-Nokia_6310i-if00 (Nokia 6310i, Nokia, 0421:0401)
QString PortLabel(const PortInfo& port);

// The menu of `ports` for one button; choosing an entry calls `bind` with
// its BindingName. The entry for `current` (by device or by-id name) is
// checked. Without ports the menu says so in one disabled entry.
QMenu* PortMenu(QWidget* parent, const std::vector<PortInfo>& ports, const QString& current,
                const std::function<void(const QString&)>& bind);

// What panel 2 shows when `device` cannot be opened or fails while
// connected: "ERRORE DI CONNESSIONE.. ", what happened in Italian words
// (with what to do where the error has a usual cause), then the device and
// the system's own reason:
//   ERRORE DI CONNESSIONE.. permesso negato: aggiungere l'utente al gruppo
//   dialout - /dev/ttyUSB0: Permission denied
QString PortErrorText(const QString& device, QSerialPort::SerialPortError error, const QString& reason);
