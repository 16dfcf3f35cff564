// SPDX-License-Identifier: GPL-3.0-or-later
// The connection: opening and closing the line, the echo test, the phone's
// set-up, its model and service centre, and the end of the program.
#include "window/form1.h"

#include "at/cpin.h"
#include "at/csca.h"
#include "at/errors.h"
#include "link/phonelink.h"
#include "window/pindialog.h"

void Form1::Command2_Click()
{
    if (PortOpen()) {
        // Disconnecting says nothing to the phone.
        Disconnetti(Banner);
        return;
    }

    // A new line: nothing noted on the last one is handled on this one.
    Arrivi->forget();
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
    Command13->setEnabled(true);

    // A new phone: its lists start afresh; the detail fields keep the last
    // message shown, and the composer what the user wrote (a draft, and
    // whom it is for, belong to the user, not to the phone).
    List1->Clear();
    List2->Clear();
    Text3->setText(QString());
    Text4->setText(QString());
    Label5->setText(QString());

    InitAT();
    if (!SbloccaSim())
        return;
    AttivaAvvisi();
    if (!PortOpen())
        return;
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
    Arrivi->stop();
    Linea->close();
    StatusBar1->setPanelText(1, QStringLiteral("DICONNESSO"));
    Stato(message);
    Frame2->setEnabled(true);
    Command13->setEnabled(false);
    if (DialogoUssd)
        DialogoUssd->close();
}

// The reset, then the set-up every phone gets (phone::Session).
void Form1::InitAT()
{
    InviaAT(QStringLiteral("ATZ"));
    for (const QString& command : phone::Session::SetUpCommands())
        InviaAT(command);
}

// The SIM's PIN (GSM 07.07 8.3). A phone that does not know +CPIN? goes
// on as before. A PIN goes to the phone only as the user typed it, once
// each time the user confirms it: the third wrong one locks the SIM.
bool Form1::SbloccaSim()
{
    for (;;) {
        const QString state = InviaAT(QStringLiteral("+CPIN?"));
        if (!PortOpen())
            return false;
        if (state == QLatin1String("ERROR") && at::CmeError(ErroreAT) == at::kCmeNoSim) {
            Disconnetti(QStringLiteral("SIM assente.."));
            return false;
        }
        switch (at::ParseCpin(state)) {
        case at::SimWaits::Nothing:
        case at::SimWaits::Other:
            return true;
        case at::SimWaits::Puk:
            Disconnetti(QStringLiteral("SIM bloccata: serve il PUK.."));
            return false;
        case at::SimWaits::Pin:
            break;
        }

        PinDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted) {
            Disconnetti(QStringLiteral("PIN non inserito.."));
            return false;
        }
        const QString taken = InviaAT(QStringLiteral("+CPIN=\"") + dialog.pin() + QLatin1Char('"'));
        if (!PortOpen())
            return false;
        if (taken == QLatin1String("OK"))
            return true;
        // A PIN is never sent twice on its own: the phone may have taken
        // it, and its answer, wrong or right, may still come.
        if (phonelink::gaveUp(taken)) {
            Disconnetti(QStringLiteral("Il cellulare non ha risposto al PIN: nessun altro tentativo.."));
            return false;
        }
        if (at::CmeError(ErroreAT) != at::kCmeWrongPin) {
            const QString reason = at::ErrorReason(ErroreAT);
            Disconnetti(QStringLiteral("PIN rifiutato dal cellulare")
                        + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason) + QStringLiteral(".."));
            return false;
        }
        const std::optional<int> tries = at::ParsePinTries(InviaAT(QStringLiteral("+CPINR=\"SIM PIN\"")));
        if (!PortOpen())
            return false;
        if (tries == 0)
            continue; // the SIM wants its PUK now, as +CPIN? says
        QString wrong = QStringLiteral("PIN errato.");
        if (tries)
            wrong += *tries == 1 ? QStringLiteral(" Resta un solo tentativo prima del blocco della SIM.")
                                 : QStringLiteral(" Tentativi rimasti: %1.").arg(*tries);
        if (!Conferma(wrong + QStringLiteral("\nRiprovare?"), QStringLiteral("PIN della SIM"))) {
            Disconnetti(QStringLiteral("PIN non inserito.."));
            return false;
        }
    }
}

// New-message indications, within what the phone offers (Arrivi's).
void Form1::AttivaAvvisi() { Arrivi->activate(); }

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
