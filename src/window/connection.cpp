// SPDX-License-Identifier: GPL-3.0-or-later
// The connection: opening and closing the line, the echo test, the phone's
// set-up, its model and service centre, and the end of the program.
#include "window/form1.h"

#include "at/csca.h"
#include "link/phonelink.h"

void Form1::Command2_Click()
{
    if (PortOpen()) {
        // Disconnecting says nothing to the phone.
        Disconnetti(Banner);
        return;
    }

    const QString device = Porta(PortaScelta());
    if (!Linea->open(device)) {
        Stato(PortErrorText(device, MSComm1->error(), MSComm1->errorString()));
        return;
    }

    // After ATZ the phone echoes: "ATZ" CR CR LF "OK" CR LF cleans to "AT".
    // A phone still set up by an earlier connection has its echo off when the
    // ATZ arrives, and answers a bare "OK"; the reset has turned the echo
    // back on, so one more ATZ tells a phone that echoes from one that never does.
    // A port with no phone keeps the test waiting for its three sends.
    Stato(QStringLiteral("Connessione in corso.."));
    QString test = InviaAT(QStringLiteral("ATZ"));
    if (test == QLatin1String("OK"))
        test = InviaAT(QStringLiteral("ATZ"));
    if (test != QLatin1String("AT")) {
        // A click during the test may have closed the port already.
        Disconnetti(QStringLiteral("ERRORE DI CONNESSIONE.."));
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("CONNESSO"));
    Frame2->setEnabled(false);

    // A new phone: its lists and the composer start afresh; the detail
    // fields keep the last message shown.
    List1->Clear();
    List2->Clear();
    Text1->setText(QString());
    Text2->setText(QString());
    Text3->setText(QString());
    Text4->setText(QString());
    Label5->setText(QString());

    InitAT();
    Stato(QStringLiteral("CONNESSO A ") + InviaAT(QStringLiteral("+CGMM")));
    Command3_Click();
}

// The line is lost while connected (a cable pulled, the device gone, the
// other end hung up): the port would report the same error at every read,
// as fast as it can, and each transaction would wait out its deadline. It
// is closed as a disconnection is, which also ends a transaction waiting
// on it.
void Form1::MSComm1_Error(QSerialPort::SerialPortError error)
{
    if (PortOpen())
        Disconnetti(PortErrorText(Porta(PortaScelta()), error, MSComm1->errorString()));
}

// The one way into the Disconnected state.
void Form1::Disconnetti(const QString& message)
{
    Linea->close();
    StatusBar1->setPanelText(1, QStringLiteral("DICONNESSO"));
    Stato(message);
    Frame2->setEnabled(true);
}

void Form1::InitAT()
{
    InviaAT(QStringLiteral("ATZ"));
    InviaAT(QStringLiteral("+CSCS=GSM"));
    InviaAT(QStringLiteral("ATE0")); // no echo from here on
    InviaAT(QStringLiteral("ATQ0"));
    InviaAT(QStringLiteral("ATV1"));    // "OK" and "ERROR" as words
    InviaAT(QStringLiteral("+CMEE=1")); // errors as "+CMS ERROR: 321", numbers that tell an empty slot
}

void Form1::Command3_Click()
{
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    const QString answer = InviaAT(QStringLiteral("+CSCA?"));
    if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
        Text4->setText(QString());
        return;
    }
    // +CSCA: "+391234567890",145: the number without its quotes; an answer
    // that is no +CSCA line leaves no number.
    Text4->setText(at::ParseCsca(answer).value_or(QString()));
}

void Form1::Form_Unload()
{
    if (PortOpen()) {
        InviaAT(QStringLiteral("ATZ"));
        Linea->close();
    }
    Termina();
}

void Form1::StatusBar1_PanelClick(int panel)
{
    if (panel == 3)
        Form_Unload();
}
