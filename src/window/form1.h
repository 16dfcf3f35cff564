// SPDX-License-Identifier: GPL-3.0-or-later
// The one window of the program: its controls, the program-wide values and
// the event handlers. Each handler asks a capability of the phone
// (src/phone) and shows what it gives:
//   window/form1.cpp         Form1(), Form_Load, Timer1_Timer, InviaAT, the
//                            conventions below
//   window/connection.cpp    InitAT, SbloccaSim, AttivaAvvisi, Command2_Click,
//                            Command3_Click, MSComm1_Error, Disconnetti,
//                            Form_Unload, StatusBar1_PanelClick
//   window/messages_view.cpp Command4_Click, List1_Click, Leggi_SMS,
//                            Command11_Click, Command6_Click, Command9_Click,
//                            EsportaMessaggi
//   window/keeping_view.cpp  VociArchivio, ArchiviaSms, RipristinaSms, CopiaSms,
//                            StatoMemorie, SvuotaMemoria
//   window/phonebook_view.cpp Command1_Click, Command7_Click, Command8_Click,
//                            Text5_Change, List2_Click, EsportaRubrica,
//                            NuovoContatto, ModificaContatto, EliminaContatto,
//                            ImportaContatti, ScriviRubrica
//   window/search_view.cpp   Text12_Change, CercaSms
//   window/composer_view.cpp Command5_Click, InviaSms, AggiungiDestinatario,
//                            Text1_Change, Text1_GotFocus, Text1_Truncated,
//                            Text2_GotFocus, Command12_Click, Command10_Click,
//                            Check8_Click
//   window/ussd_dialog.cpp   Command13_Click and the dialog "Ussd"
//   window/conversation.cpp  Conversazione, MenuConversazione
#pragma once

#include "at/delivery.h"
#include "link/phonelink.h"
#include "phone/arrivals.h"
#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/recipients.h"
#include "phone/sending/sender.h"
#include "phone/session.h"
#include "phone/ussd.h"
#include "window/controls.h"
#include "window/portfinder.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTimer>
#include <QWidget>

class QMenu;
class DesktopNotifier;
class LongOperation;

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class Form1 : public QWidget, public phone::Feedback {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The session with the phone, which the capabilities share; the window
    // is its Feedback.
    phone::Session* const Sessione;
    // The phone link: the serial port MSComm1 and the one AT transaction.
    PhoneLink* const Linea;
    // The capabilities: the phone books (List2 shows their rows) and the
    // messages of both stores (List1 shows theirs).
    phone::Phonebook* const Rubrica;
    phone::Messages* const Messaggi;
    // Sending: the parts, the reference of a message in parts, the
    // delivery ledger and the count of parts sent (Label8 shows it).
    phone::Sender* const Invio;
    // What arrives while connected: new messages and status reports.
    phone::Arrivals* const Arrivi;
    // Credit and service codes (USSD): the dialogue with the network, the
    // codes used and the form each phone model takes them in.
    phone::Ussd* const Ussd;

    // ---- controls, named as the program knows them ----
    QPushButton* Command1;  // "Leggi rubrica da Cellulare"
    QPushButton* Command2;  // "APRI / CHIUDI PORTA"
    QPushButton* Command3;  // "Rivela"
    QPushButton* Command4;  // "Leggi elenco SMS da cellulare"
    QPushButton* Command5;  // "Invia SMS"
    QPushButton* Command6;  // "Cancella SMS selezionato dalla memoria"
    QPushButton* Command7;  // "Salva rubrica"
    QPushButton* Command8;  // "Carica rubrica"
    QPushButton* Command9;  // "Cancella tutta la memoria degli SMS"
    QPushButton* Command10; // "Reset"
    QPushButton* Command11; // "Aggiorna"
    QPushButton* Command12; // "ZIP SMS"
    QPushButton* Command13; // "Credito / USSD…", enabled while connected

    Memo* Text1;     // message to send, at most 160 characters (10 SMS with "SMS lungo")
    TextBox* Text2;  // recipient
    Memo* Text3;     // message text, read-only
    TextBox* Text4;  // service centre
    TextBox* Text5;  // phone-book search
    TextBox* Text6;  // detail: store and slot (read-only, as Text7..Text11)
    TextBox* Text7;  // detail: service centre
    TextBox* Text8;  // detail: status
    TextBox* Text9;  // detail: sender or recipient
    TextBox* Text10; // detail: time
    TextBox* Text11; // detail: date
    TextBox* Text12; // search in the messages

    QLabel* Label1;       // "CS:"
    QLabel* Label2;       // "Car:"
    FittingLabel* Label3; // "0/160"
    QLabel* Label4;       // "Invio a:"
    QLabel* Label5;       // header line of List1
    QLabel* Label6;       // "Cerca:"
    QLabel* Label7;       // "SMS Inviati:"
    QLabel* Label8;       // sent counter, "0"
    QLabel* Label9;       // "Memoria ="
    QLabel* Label10;      // "Centro servizi ="
    QLabel* Label11;      // "Tipo SMS ="
    QLabel* Label12;      // "Mittente =" or "Destinatario ="
    QLabel* Label13;      // "Ora ="
    QLabel* Label14;      // "Data ="
    QLabel* Label15;      // "Testo:"
    Light* Label16;       // activity light
    QLabel* Label17;      // "Cerca negli sms:"

    QCheckBox* Check1; // "Flash"
    QCheckBox* Check2; // "Ricevuta"
    QCheckBox* Check3; // "Centro servizi."
    QCheckBox* Check4; // "Data."
    QCheckBox* Check5; // "Ora."
    QCheckBox* Check6; // "Testo."
    QCheckBox* Check7; // "Tipo."
    QCheckBox* Check8; // "SMS lungo"

    QRadioButton* Option3; // "COM 1"
    QRadioButton* Option4; // "COM 2"

    ListBox* List1; // message list
    ListBox* List2; // phone book

    QFrame* Frame1; // the five column check boxes
    QFrame* Frame2; // the port choice

    QTimer* Timer1;
    QSerialPort* const MSComm1; // Linea's port
    StatusBar* StatusBar1;
    ProgressBar* ProgressBar1;
    CommonDialog* CommonDialog1;

    // ---- program-wide values ----
    // The session's: no transaction runs, no long operation runs, the
    // widths of the number and name columns.
    bool& LineaLibera;
    bool& ComandoLibero;
    QString StatoPrec;
    int& LungNumero;
    int& LungNome;
    // The reference of the next concatenated SMS's parts, one a message,
    // so that the recipient's phone joins the parts of each apart (Invio's).
    quint8& RifSmsLungo;

    // The link's own values, which handlers read and tests shorten: its
    // timing, the extended error of the last transaction ("+CMS ERROR:
    // 321", which InviaAT returns as "ERROR"), and the last notice of a
    // message or status report that arrived ("+CMTI: ...").
    PhoneLink::Timing& Tempi;
    const QString& ErroreAT;
    const QString& UltimoAvviso;

    // ---- handlers and procedures ----
    void Form_Load();
    void Form_Unload();
    void Timer1_Timer();
    void StatusBar1_PanelClick(int panel);

    QString InviaAT(const QString& command);
    void InitAT();
    // Asks the SIM's PIN when the phone wants it; false when the
    // connection ended there (no PIN, a locked or absent SIM, a lost line).
    bool SbloccaSim();
    void Command2_Click();
    void MSComm1_Error(QSerialPort::SerialPortError error);
    void Command3_Click();

    void Command4_Click();
    void List1_Click();
    QString Leggi_SMS(int16_t nsms);
    // The columns of List1 the check boxes of Frame1 choose now.
    store::Columns Colonne() const;
    // What panel 2 was told of the message in parts shown last (its slots):
    // the next message shown takes it away.
    QString StatoParti;
    void Command11_Click();
    void Command6_Click();
    void Command9_Click();
    // The search in the messages: List1 shows only the rows whose message
    // holds the words typed in Text12, the others hidden, never removed;
    // panel 2 counts them.
    void Text12_Change();
    // The search applied again to row `position` as it was written anew,
    // at once, and to every row when the window is next idle (the other
    // parts of a message in parts may hold the words no longer); -1: to
    // every row at once.
    void CercaSms(int position);

    void Command1_Click();
    void Command7_Click();
    void Command8_Click();
    void Text5_Change();
    void List2_Click();

    void Command5_Click();
    void Text1_Change();
    void Text1_GotFocus();
    // A paste or "ZIP SMS" made the text longer than Text1 takes: `kept`
    // characters (as the counter counts them) were kept.
    void Text1_Truncated(int kept);
    void Text2_GotFocus();
    void Command12_Click();
    void Command10_Click();
    // "SMS lungo" checked or unchecked, by a click or by code: Text1's
    // limit and the counter follow.
    void Check8_Click();
    // Sends `testo` to the recipients written in `destinatari` (one, or
    // several separated by ";" or ","), as "Invia SMS" does with Text2
    // and Text1, with the window's "Flash", "Ricevuta" and "SMS lungo";
    // true when every recipient had it whole.
    bool InviaSms(const QString& destinatari, const QString& testo);
    // The name a recipient is shown by: the one picked with it, its name in
    // the phone book, or the number as written.
    QString NomeDestinatario(const phone::Recipient& recipient) const;
    // The phone book's name for `number`, without its padding: the entry
    // of that number, else one of the same number with or without its
    // country code; empty when none has a name. It lets no events run.
    QString NomeInRubrica(const QString& number) const;
    // List2's "Aggiungi ai destinatari": the selected entry added to Text2.
    void AggiungiDestinatario();

    // ---- a conversation with one person ----
    // Opens (or brings forward) the conversation with the party of the
    // message in List1's row `position`; nothing for a row without one.
    void Conversazione(int position);
    // List1's context menu on row `position`: "Conversazione con Mario…".
    void MenuConversazione(QMenu* menu, int position);

    // "Credito / USSD…": opens the dialog "Ussd" (DialogoUssd while it is open).
    void Command13_Click();
    QPointer<QDialog> DialogoUssd;

    // ---- a phone that lives: messages and reports that arrive ----
    // Asks the phone to tell of each message stored and each status report
    // (Arrivi's); from here on, until the disconnection, the notices are
    // acted on.
    void AttivaAvvisi();
    bool& AvvisiAttivi;
    // The messages sent with "Ricevuta", part by part, until each is told,
    // and the part whose send was given up (Invio's).
    at::DeliveryLedger& Ricevute;
    std::optional<at::SentPart>& RicevutaSospesa;
    // Tells the desktop (title, text) while the window is not in front: a
    // freedesktop notification, or the tray's balloon. Tests replace it.
    std::function<void(const QString&, const QString&)> Notifica;

    // ---- what the window does for the session (phone::Feedback) ----
    void status(const QString& text) override { Stato(text); }
    void beep() override { Beep(); }
    void yield() override { DoEvents(); }
    void progressMax(float max) override;
    void progress(float value) override;
    bool confirm(const QString& text, const QString& title) override { return Conferma(text, title); }
    void notify(const QString& title, const QString& text) override;

    // ---- conventions shared by the handlers ----
    static const QString Banner;         // "Visita: " and the home page
    static const QString PortaNonAperta; // "Porta non aperta.."

    bool PortOpen() const;
    // Tests the port for a handler that needs it: when it is closed, writes
    // `message` to panel 2 and returns false.
    bool PortaAperta(const QString& message);
    // Panel 2 of the status bar.
    void Stato(const QString& text);
    // The beep of a refused long operation; `Beeps` counts them.
    void Beep();
    int Beeps = 0;
    // Modal message box with one OK button. Icon NoIcon and an empty title
    // give the box with no icon and no title of its own.
    void MsgBox(const QString& text, const QString& title = QString(), QMessageBox::Icon icon = QMessageBox::NoIcon);
    // Modal Yes/No question; true for Yes.
    bool Conferma(const QString& text, const QString& title);
    // Lets pending window events run (clicks, timer ticks, repaints).
    void DoEvents();

    // The device that "COM 1" or "COM 2" stands for by default: ZIRCALO_COM1
    // and ZIRCALO_COM2 when set, otherwise the platform's first two serial ports.
    static QString DeviceFor(int port);

    // The device "COM 1" (port 1) or "COM 2" (port 2) stands for now: the
    // one named on the command line or chosen with the port finder in this
    // run, else the environment's (DeviceFor), else the one remembered from
    // an earlier run, else the platform's default.
    QString Porta(int port) const;
    // The port of the selected option button, 1 or 2.
    int PortaScelta() const { return Option3->isChecked() ? 1 : 2; }
    // Binds port 1 or 2 to `device` for this run (the command line, the
    // port finder); an empty device unbinds.
    void LegaPorta(int port, const QString& device);
    // The binding the settings keep for port 1 or 2 (empty: none), which
    // the environment overrides.
    void RicordaPorta(int port, const QString& device);
    QString PortaRicordata(int port) const;
    // The ports the port finder offers; tests replace it.
    std::function<std::vector<PortInfo>()> ElencoPorte;
    // Opens the port finder's menu for port 1 or 2 at `where` (global).
    QMenu* CercaPorta(int port, const QPoint& where);
    // Panel 1 "DICONNESSO", `message` in panel 2, the port choice usable
    // again; closes the port when it is open.
    void Disconnetti(const QString& message);

    // Writes the stored messages listed in List1 as CSV, and the phone-book
    // entries of List2 as vCards, to a file chosen with DialogoEsporta.
    void EsportaMessaggi();
    void EsportaRubrica();
    CommonDialog* DialogoEsporta;

    // The contacts that go back to the phone, from List2's context menu: a
    // new one, the selected entry changed or deleted, contacts brought in
    // from a vCard or CSV file (DialogoImporta) as a section of their own,
    // and the section of the selected row written to a book of the phone.
    void NuovoContatto();
    void ModificaContatto();
    void EliminaContatto();
    void ImportaContatti();
    void ScriviRubrica();
    CommonDialog* DialogoImporta;

    // ---- messages kept safe (window/keeping_view.cpp) ----
    // List1's context-menu entries: the archive of both stores, its
    // restore, and on a message's row its copy or move to the other store.
    void VociArchivio(QMenu* menu);
    void ArchiviaSms();
    void RipristinaSms();
    void CopiaSms(bool move);
    // Panel 2 after a read or a change of List1: `status`, then how full
    // both stores are; a store nearly full asks, once a connection, whether
    // to archive its messages and delete them (SvuotaMemoria).
    void StatoMemorie(const QString& status);
    void SvuotaMemoria(bool sim);
    quint64 QuasiPienaChiesta[2] = {0, 0}; // the connection each store was asked about (SIM, phone)

    // Ends the program at once; tests replace it.
    std::function<void()> Termina;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void showTooltips();
    // The contact dialog for a new contact (`editing` without an index) or
    // an entry, then its write.
    void scriviContatto(const phone::Contact& editing);
    DesktopNotifier* m_notifier = nullptr;
    QString m_forced[2];     // command line or port finder, this run only
    QString m_remembered[2]; // from the settings or the port finder

    // The search in the messages: what panel 2 was told of the last one,
    // and whether it is to run again over every row.
    QString m_statoRicerca;
    bool m_ricercaDovuta = false;

    // ---- growing with the window ----
public:
    // The size the controls are laid out for; the window grows from it.
    static const QSize DefaultSize;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // How a control follows the window beyond DefaultSize: across, it stays,
    // moves right or widens by the extra width; down, it stays, moves with
    // List1's growth, moves to the bottom, or grows as List1 or List2 does.
    enum class Across { Stays, Moves, Widens };
    enum class Down { Stays, BelowList1, Bottom, AsList1, AsList2 };
    struct Anchor {
        QWidget* control;
        QRect home; // its place at DefaultSize
        Across across;
        Down down;
    };
    std::vector<Anchor> m_anchors;
    void anchorControls();
};

// Holds ComandoLibero for one long operation of the window's session and
// gives it back on every way out (phone::Operation).
class LongOperation : public phone::Operation {
public:
    explicit LongOperation(Form1& form, const QString& portClosed = QString())
        : phone::Operation(*form.Sessione, portClosed)
    {
    }
};
