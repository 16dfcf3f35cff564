// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/portfinder.h"

#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSerialPortInfo>

std::vector<PortInfo> PresentPorts()
{
    // /dev/serial/by-id holds one link per USB serial port, named after the
    // maker, model and serial number.
    const QDir byIdDir(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links = byIdDir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);

    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        port.device = info.systemLocation();
        port.description = info.description();
        port.maker = info.manufacturer();
        if (info.hasVendorIdentifier())
            port.vendor = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.product = info.productIdentifier();
        for (const QFileInfo& link : links) {
            if (link.canonicalFilePath() == QFileInfo(port.device).canonicalFilePath()) {
                port.byId = link.absoluteFilePath();
                break;
            }
        }
        ports.push_back(port);
    }
    return ports;
}

QString BindingName(const PortInfo& port) { return port.byId.isEmpty() ? port.device : port.byId; }

QString PortLabel(const PortInfo& port)
{
    QStringList known;
    if (!port.byId.isEmpty())
        known << port.device;
    if (!port.description.isEmpty())
        known << port.description;
    if (!port.maker.isEmpty() && port.maker != port.description)
        known << port.maker;
    if (port.vendor || port.product) {
        const auto hex = [](const std::optional<quint16>& id) {
            return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QStringLiteral("????");
        };
        known << hex(port.vendor) + QLatin1Char(':') + hex(port.product);
    }
    const QString name = BindingName(port);
    return known.isEmpty() ? name : name + QStringLiteral(" (") + known.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QMenu* PortMenu(QWidget* parent, const std::vector<PortInfo>& ports, const QString& current,
                const std::function<void(const QString&)>& bind)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("PortMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (ports.empty()) {
        menu->addAction(QStringLiteral("Nessuna porta seriale trovata"))->setEnabled(false);
        return menu;
    }
    auto* group = new QActionGroup(menu);
    for (const PortInfo& port : ports) {
        QAction* action = menu->addAction(PortLabel(port));
        const QString name = BindingName(port);
        action->setData(name);
        action->setCheckable(true);
        action->setChecked(!current.isEmpty() && (current == port.device || current == port.byId));
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, menu, [bind, name] { bind(name); });
    }
    return menu;
}

QString PortErrorText(const QString& device, QSerialPort::SerialPortError error, const QString& reason)
{
    QString why;
    switch (error) {
    case QSerialPort::PermissionError:
        // Qt reports a port held by another program as a permission error
        // too, with the system's "busy" reason.
        if (reason.contains(QLatin1String("busy"), Qt::CaseInsensitive)
            || reason.contains(QLatin1String("in use"), Qt::CaseInsensitive)
            || reason.contains(QLatin1String("lock"), Qt::CaseInsensitive))
            why = QStringLiteral("porta occupata da un altro programma (ModemManager?)");
        else
            why = QStringLiteral("permesso negato: aggiungere l'utente al gruppo dialout");
        break;
    case QSerialPort::DeviceNotFoundError:
        why = QStringLiteral("porta inesistente: il cellulare è collegato?");
        break;
    case QSerialPort::OpenError:
        why = QStringLiteral("porta già aperta");
        break;
    case QSerialPort::ResourceError:
        // A cable pulled, a USB modem gone, the other end hung up.
        why = QStringLiteral("il cellulare non è più raggiungibile");
        break;
    case QSerialPort::ReadError:
        why = QStringLiteral("lettura dalla porta fallita");
        break;
    case QSerialPort::WriteError:
        why = QStringLiteral("scrittura sulla porta fallita");
        break;
    case QSerialPort::UnsupportedOperationError:
        why = QStringLiteral("la porta non accetta le impostazioni della linea");
        break;
    case QSerialPort::TimeoutError:
        why = QStringLiteral("la porta non risponde");
        break;
    case QSerialPort::NotOpenError:
        why = QStringLiteral("porta non aperta");
        break;
    case QSerialPort::UnknownError:
    case QSerialPort::NoError:
        why = QStringLiteral("errore della porta");
        break;
    }
    QString where = device;
    if (!reason.isEmpty())
        where += QStringLiteral(": ") + reason;
    return QStringLiteral("ERRORE DI CONNESSIONE.. ") + why + QStringLiteral(" - ") + where;
}
