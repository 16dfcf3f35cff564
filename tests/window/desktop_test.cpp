// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a desktop citizen: its command line and the precedence of
// the devices it names, the settings that last between runs, the port
// finder's menu and the port errors in the user's terms.
#include "app/commandline.h"
#include "app/settings.h"
#include "window/form1.h"
#include "window/portfinder.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets an environment variable for one scope, and puts back what was there.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class Desktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        form.Termina = [] {};
    }
    QString settingsFile() const { return dir.filePath(QStringLiteral("zircalo.conf")); }

    QTemporaryDir dir;
    EnvVar com1{"ZIRCALO_COM1", nullptr};
    EnvVar com2{"ZIRCALO_COM2", nullptr};
    Form1 form;
};

// ---- the command line ----

TEST(CommandLineOptions, ReadAsGiven)
{
    struct Case {
        const char* name;
        QStringList arguments;
        bool exit;
        int exitCode;
        const char* com1;
        const char* com2;
        const char* log;
        const char* outputHas;
    };
    const std::vector<Case> cases = {
        {"nothing", {"zircalo"}, false, 0, "", "", "", ""},
        {"both ports and a log",
         {"zircalo", "--com1", "/dev/ttyUSB0", "--com2=/dev/ttyACM0", "--log", "/tmp/at.log"},
         false,
         0,
         "/dev/ttyUSB0",
         "/dev/ttyACM0",
         "/tmp/at.log",
         ""},
        {"help", {"zircalo", "--help"}, true, 0, "", "", "", "--com1 <DISPOSITIVO>"},
        {"version", {"zircalo", "--version"}, true, 0, "", "", "", "zircalo 1.5"},
        {"an unknown option", {"zircalo", "--baud", "9600"}, true, 2, "", "", "", "baud"},
        {"a device missing", {"zircalo", "--com1"}, true, 2, "", "", "", "com1"},
        {"a stray argument", {"zircalo", "/dev/ttyUSB0"}, true, 2, "", "", "", "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.exit, c.exit);
        EXPECT_EQ(line.exitCode, c.exitCode);
        EXPECT_EQ(line.com1, c.com1);
        EXPECT_EQ(line.com2, c.com2);
        EXPECT_EQ(line.log, c.log);
        EXPECT_TRUE(line.output.contains(QLatin1String(c.outputHas))) << line.output.toStdString();
    }
}

TEST(CommandLineOptions, VersionIsTheProjects) { EXPECT_EQ(ProgramVersion(), "1.5"); }

// Who decides the device of a button, strongest first: the command line,
// the environment, the settings, the platform's default.
TEST_F(Desktop, CommandLineWinsOverEnvironmentWhichWinsOverSettings)
{
    struct Case {
        const char* name;
        const char* environment;
        const char* remembered;
        const char* commandLine;
        const char* device;
    };
    const std::vector<Case> cases = {
        {"default", nullptr, "", "", "/dev/ttyS0"},
        {"settings", nullptr, "/dev/ttyUSB3", "", "/dev/ttyUSB3"},
        {"environment over settings", "/dev/pts/9", "/dev/ttyUSB3", "", "/dev/pts/9"},
        {"command line over both", "/dev/pts/9", "/dev/ttyUSB3", "/dev/ttyACM0", "/dev/ttyACM0"},
        {"command line alone", nullptr, "", "/dev/ttyACM0", "/dev/ttyACM0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnvVar env("ZIRCALO_COM1", c.environment);
        Form1 window;
        window.Termina = [] {};
        window.RicordaPorta(1, QLatin1String(c.remembered));
        QStringList arguments{"zircalo"};
        if (*c.commandLine)
            arguments << "--com1" << c.commandLine;
        ApplyCommandLine(window, ParseCommandLine(arguments));
        EXPECT_EQ(window.Porta(1), c.device);
        EXPECT_EQ(window.Option3->toolTip(), c.device);
        EXPECT_EQ(window.Porta(2), "/dev/ttyS1"); // the other button untouched
    }
}

// ---- settings ----

TEST_F(Desktop, FirstRunWithoutSettingsStartsAsAlways)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    LoadSettings(form, settings);
    EXPECT_TRUE(form.Option3->isChecked());
    EXPECT_FALSE(form.Option4->isChecked());
    for (QCheckBox* box : {form.Check3, form.Check4, form.Check5, form.Check6, form.Check7})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_FALSE(form.Check1->isChecked());
    EXPECT_FALSE(form.Check2->isChecked());
    EXPECT_FALSE(form.Check8->isChecked());
    EXPECT_EQ(form.Text1->maxLength(), 160);
    EXPECT_EQ(form.Porta(1), "/dev/ttyS0");
    EXPECT_EQ(form.Porta(2), "/dev/ttyS1");
    EXPECT_EQ(form.CommonDialog1->Folder, "");
    EXPECT_EQ(form.size(), Form1::DefaultSize);
}

TEST_F(Desktop, SettingsWrittenAreReadBackByTheNextRun)
{
    form.Option4->setChecked(true);
    form.RicordaPorta(2, QStringLiteral("/dev/serial/by-id/usb-Nokia_6310i-if00"));
    form.LegaPorta(1, QStringLiteral("/dev/ttyACM7")); // a command-line device is not kept
    form.Check3->setChecked(false);
    form.Check5->setChecked(false);
    form.Check6->setChecked(false);
    form.Check1->setChecked(true);
    form.Check2->setChecked(true);
    form.Check8->setChecked(true);
    form.CommonDialog1->chooser = [this](bool) { return dir.filePath(QStringLiteral("rubrica.RDS")); };
    form.CommonDialog1->ShowOpen();
    form.resize(1000, 700);
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        SaveSettings(form, settings);
    }

    Form1 next;
    next.Termina = [] {};
    QSettings settings(settingsFile(), QSettings::IniFormat);
    LoadSettings(next, settings);
    EXPECT_TRUE(next.Option4->isChecked());
    EXPECT_FALSE(next.Option3->isChecked());
    EXPECT_EQ(next.Porta(2), "/dev/serial/by-id/usb-Nokia_6310i-if00");
    EXPECT_EQ(next.Option4->toolTip(), "/dev/serial/by-id/usb-Nokia_6310i-if00");
    EXPECT_EQ(next.Porta(1), "/dev/ttyS0");
    EXPECT_FALSE(next.Check3->isChecked());
    EXPECT_TRUE(next.Check7->isChecked());
    EXPECT_FALSE(next.Check5->isChecked());
    EXPECT_TRUE(next.Check4->isChecked());
    EXPECT_FALSE(next.Check6->isChecked());
    // "Flash" and "Ricevuta" were for one message: the next run starts without them.
    EXPECT_FALSE(next.Check1->isChecked());
    EXPECT_FALSE(next.Check2->isChecked());
    // "SMS lungo" is a preference: kept, with the limit of ten parts it brings.
    EXPECT_TRUE(next.Check8->isChecked());
    EXPECT_EQ(next.Text1->maxLength(), 1530);
    EXPECT_EQ(next.CommonDialog1->Folder, dir.path());
    EXPECT_EQ(next.size(), QSize(1000, 700));
}

// The USSD codes used (ten at most) and the form each model takes them in.
TEST_F(Desktop, UssdCodesAndFormsAreKept)
{
    for (int i = 0; i < 12; ++i)
        form.Ussd->rememberCode(QStringLiteral("*%1#").arg(i));
    form.Ussd->formsByModel.insert("E1550 = Huawei", UssdForm::PackedHex);
    form.Ussd->formsByModel.insert("Nokia 6310i", UssdForm::Text);
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        SaveSettings(form, settings);
    }
    Form1 next;
    next.Termina = [] {};
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        LoadSettings(next, settings);
    }
    EXPECT_EQ(next.Ussd->codes, form.Ussd->codes);
    EXPECT_EQ(next.Ussd->codes.size(), 10);
    EXPECT_EQ(next.Ussd->codes.first(), "*11#");
    EXPECT_EQ(next.Ussd->formsByModel, form.Ussd->formsByModel);

    // What a hand or another version wrote wrong is left out.
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        QStringList codes;
        for (int i = 0; i < 15; ++i)
            codes << QStringLiteral("*%1#").arg(i % 12) << " ";
        settings.setValue("ussd/codes", codes);
        settings.setValue("ussd/forms", QStringList{"=hex", "X100=packed", "X200=hex", "nessuno"});
    }
    Form1 third;
    third.Termina = [] {};
    QSettings settings(settingsFile(), QSettings::IniFormat);
    LoadSettings(third, settings);
    EXPECT_EQ(third.Ussd->codes.size(), 10);
    EXPECT_EQ(third.Ussd->codes.first(), "*0#");
    EXPECT_EQ(third.Ussd->formsByModel, (QMap<QString, UssdForm>{{"X200", UssdForm::PackedHex}}));
}

TEST_F(Desktop, UnreadableSettingsLeaveTheControlsAsTheyStart)
{
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.setValue("ports/chosen", "tre");
        settings.setValue("columns/text", "forse");
        settings.setValue("composer/flash", 7);
        settings.setValue("window/geometry", QByteArray("rotto"));
    }
    QSettings settings(settingsFile(), QSettings::IniFormat);
    LoadSettings(form, settings);
    EXPECT_TRUE(form.Option3->isChecked());
    EXPECT_TRUE(form.Check6->isChecked());
    EXPECT_FALSE(form.Check1->isChecked());
    EXPECT_EQ(form.size(), Form1::DefaultSize);
}

// The settings of an earlier version kept "Flash" and "Ricevuta" checked:
// they are not read, and the next save forgets them.
TEST_F(Desktop, FlashAndReportKeptByAnEarlierVersionAreForgotten)
{
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.setValue("composer/flash", true);
        settings.setValue("composer/deliveryReport", true);
    }
    QSettings settings(settingsFile(), QSettings::IniFormat);
    LoadSettings(form, settings);
    EXPECT_FALSE(form.Check1->isChecked());
    EXPECT_FALSE(form.Check2->isChecked());
    SaveSettings(form, settings);
    EXPECT_FALSE(settings.contains("composer/flash"));
    EXPECT_FALSE(settings.contains("composer/deliveryReport"));
}

// ---- the port finder ----

const std::vector<PortInfo> kPorts = {
    {"/dev/ttyUSB0", "/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0", "USB-Serial Controller",
     "Prolific Technology Inc.", 0x067b, 0x2303},
    {"/dev/ttyACM0", "/dev/serial/by-id/usb-Nokia_Nokia_6310i-if00", "Nokia 6310i", "Nokia", 0x0421, 0x0401},
    {"/dev/ttyS0", "", "", "", std::nullopt, std::nullopt},
};

TEST(PortFinder, LabelsSayWhatIsKnownOfEachPort)
{
    EXPECT_EQ(PortLabel(kPorts[0]), "/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0 (/dev/ttyUSB0, "
                                    "USB-Serial Controller, Prolific Technology Inc., 067b:2303)");
    EXPECT_EQ(PortLabel(kPorts[1]),
              "/dev/serial/by-id/usb-Nokia_Nokia_6310i-if00 (/dev/ttyACM0, Nokia 6310i, Nokia, 0421:0401)");
    EXPECT_EQ(PortLabel(kPorts[2]), "/dev/ttyS0");
    EXPECT_EQ(BindingName(kPorts[1]), "/dev/serial/by-id/usb-Nokia_Nokia_6310i-if00");
    EXPECT_EQ(BindingName(kPorts[2]), "/dev/ttyS0");
}

TEST_F(Desktop, RightClickMenuBindsTheButtonToAPort)
{
    form.ElencoPorte = [] { return kPorts; };
    form.LegaPorta(2, QStringLiteral("/dev/ttyACM0"));
    QMenu* menu = form.CercaPorta(2, QPoint(10, 10));
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(actions[i]->text(), PortLabel(kPorts[size_t(i)]));
    // The port already bound is checked, found by its device name.
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_TRUE(actions[1]->isChecked());

    actions[0]->trigger();
    EXPECT_EQ(form.Porta(2), "/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0");
    EXPECT_EQ(form.Option4->toolTip(), form.Porta(2));
    EXPECT_EQ(form.PortaRicordata(2), form.Porta(2)); // the settings keep it
    EXPECT_EQ(form.Porta(1), "/dev/ttyS0");
    menu->close();
}

TEST_F(Desktop, PortFinderWithoutPortsSaysSo)
{
    form.ElencoPorte = [] { return std::vector<PortInfo>(); };
    QMenu* menu = form.CercaPorta(1, QPoint(10, 10));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Nessuna porta seriale trovata");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    menu->close();
}

TEST_F(Desktop, PortFinderIsClosedWhileConnected)
{
    form.ElencoPorte = [] { return kPorts; };
    form.Frame2->setEnabled(false); // as a connection leaves it
    QMenu* menu = form.CercaPorta(1, QPoint(10, 10));
    EXPECT_FALSE(menu->isEnabled());
    menu->close();
}

// A right click on a list offers its export; on a COM button, the ports.
TEST_F(Desktop, RightClicksOfferExportsAndPorts)
{
    struct Case {
        QWidget* widget;
        const char* menu;
        const char* offers; // an entry the menu must hold, or "" for the ports
    };
    form.ElencoPorte = [] { return kPorts; };
    const std::vector<Case> cases = {
        {form.List1, "ExportMenu", "Esporta messaggi…"},
        {form.List2, "ExportMenu", "Esporta rubrica…"},
        {form.Option3, "PortMenu", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->contextMenuPolicy(), Qt::CustomContextMenu);
        emit c.widget->customContextMenuRequested(QPoint(5, 5));
        QMenu* menu = form.findChild<QMenu*>(QLatin1String(c.menu));
        ASSERT_NE(menu, nullptr);
        if (*c.offers) {
            QStringList captions;
            for (const QAction* action : menu->actions())
                captions << action->text();
            EXPECT_TRUE(captions.contains(QString::fromUtf8(c.offers))) << captions.join(u'|').toStdString();
        } else
            EXPECT_EQ(menu->actions().size(), int(kPorts.size()));
        delete menu;
    }
}

TEST(PortErrors, SayWhyInTheUsersTerms)
{
    struct Case {
        const char* name;
        QSerialPort::SerialPortError error;
        const char* reason;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"permission denied", QSerialPort::PermissionError, "Permission denied",
         "ERRORE DI CONNESSIONE.. permesso negato: aggiungere l'utente al gruppo dialout"
         " - /dev/ttyUSB0: Permission denied"},
        {"busy", QSerialPort::PermissionError, "Device or resource busy",
         "ERRORE DI CONNESSIONE.. porta occupata da un altro programma (ModemManager?)"
         " - /dev/ttyUSB0: Device or resource busy"},
        {"locked by another program", QSerialPort::PermissionError, "Permission error while locking the device",
         "ERRORE DI CONNESSIONE.. porta occupata da un altro programma (ModemManager?)"
         " - /dev/ttyUSB0: Permission error while locking the device"},
        {"missing", QSerialPort::DeviceNotFoundError, "No such file or directory",
         "ERRORE DI CONNESSIONE.. porta inesistente: il cellulare è collegato? - /dev/ttyUSB0: No such file or "
         "directory"},
        {"cable pulled", QSerialPort::ResourceError, "Resource temporarily unavailable",
         "ERRORE DI CONNESSIONE.. il cellulare non è più raggiungibile - /dev/ttyUSB0: Resource temporarily "
         "unavailable"},
        {"read failed", QSerialPort::ReadError, "Input/output error",
         "ERRORE DI CONNESSIONE.. lettura dalla porta fallita - /dev/ttyUSB0: Input/output error"},
        {"write failed", QSerialPort::WriteError, "Input/output error",
         "ERRORE DI CONNESSIONE.. scrittura sulla porta fallita - /dev/ttyUSB0: Input/output error"},
        {"no system reason", QSerialPort::UnknownError, "",
         "ERRORE DI CONNESSIONE.. errore della porta - /dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PortErrorText("/dev/ttyUSB0", c.error, c.reason), c.text);
    }
}

// The device a button is bound to is the one opened, and named when it fails.
TEST_F(Desktop, BoundDeviceIsTheOneOpened)
{
    const QString device = QStringLiteral("/dev/zircalo-no-such-port");
    form.LegaPorta(1, device);
    form.Command2_Click();
    EXPECT_EQ(form.StatusBar1->panelText(2), "ERRORE DI CONNESSIONE.. porta inesistente: il cellulare è collegato? - "
                                                 + device + ": No such file or directory");
    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    EXPECT_TRUE(form.Frame2->isEnabled());
}

} // namespace
