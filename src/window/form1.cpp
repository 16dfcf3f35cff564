// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form1.h"

#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/sender.h"

#include "link/atlog.h"
#include "pdu/pdu.h"
#include "window/notifier.h"
#include "window/version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QRandomGenerator>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>

const QString Form1::Banner = QStringLiteral("Visita: https://zircalo.github.io");
const QString Form1::PortaNonAperta = QStringLiteral("Porta non aperta..");
const QSize Form1::DefaultSize(820, 640);

namespace {

// The list font: fixed pitch, and the five separator characters drawn as box
// lines (see make_list_font.py).
QFont listFont()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/ZircaloTerminal.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("DejaVu Sans Mono") : families.first();
    }();
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(9);
    return font;
}

QFont sansFont(qreal points)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

template <typename T> T* make(QWidget* parent, const char* name, const QString& caption = QString())
{
    auto* control = new T(parent);
    control->setObjectName(QLatin1String(name));
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_base_of_v<QLabel, T>)
        control->setText(caption);
    return control;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent), Sessione(new phone::Session(*this, this)), Linea(&Sessione->link()),
      Rubrica(new phone::Phonebook(*Sessione, this)), Messaggi(new phone::Messages(*Sessione, *Rubrica, this)),
      Invio(new phone::Sender(*Sessione, this)),
      Arrivi(new phone::Arrivals(
          *Sessione, *Messaggi, *Rubrica, *Invio, [this] { return Colonne(); }, this)),
      Ussd(new phone::Ussd(*Sessione, PortaNonAperta, this)), MSComm1(Linea->port()), LineaLibera(Sessione->lineFree),
      ComandoLibero(Sessione->commandFree), LungNumero(Sessione->numberWidth), LungNome(Sessione->nameWidth),
      RifSmsLungo(Invio->longReference), Tempi(Linea->timing), ErroreAT(Linea->lastError()),
      UltimoAvviso(Linea->lastArrival()), AvvisiAttivi(Arrivi->active), Ricevute(Invio->ledger),
      RicevutaSospesa(Invio->givenUp)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ZIRCALO v ") + ProgramVersion());
    setWindowIcon(QIcon(QStringLiteral(":/icons/zircalo.svg")));
    setFont(sansFont(9.75));
    setMinimumSize(DefaultSize);
    resize(DefaultSize);
    buildControls();
    anchorControls();
    List1->setRows(Messaggi);
    List2->setRows(Rubrica);

    // The end must come at once, even from inside a transaction that waits
    // in a nested event loop: returning through the handlers would resume
    // the suspended ones, and quit() would only end the innermost loop.
    // _Exit runs no destructors, which could touch controls still in use
    // by the suspended handlers; only buffered output is flushed first.
    Termina = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    Notifica = [this](const QString& title, const QString& text) {
        if (!m_notifier)
            m_notifier = new DesktopNotifier(this);
        m_notifier->notify(title, text);
    };

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &Form1::Command10_Click);
    connect(Command11, &QPushButton::clicked, this, &Form1::Command11_Click);
    connect(Command12, &QPushButton::clicked, this, &Form1::Command12_Click);
    connect(Command13, &QPushButton::clicked, this, &Form1::Command13_Click);
    connect(List1, &ListBox::Click, this, &Form1::List1_Click);
    connect(List2, &ListBox::Click, this, &Form1::List2_Click);
    connect(StatusBar1, &StatusBar::panelClick, this, &Form1::StatusBar1_PanelClick);
    connect(Check8, &QCheckBox::toggled, this, &Form1::Check8_Click);
    connect(Text1, &Memo::changed, this, &Form1::Text1_Change);
    connect(Text1, &Memo::gotFocus, this, &Form1::Text1_GotFocus);
    connect(Text1, &Memo::truncated, this, &Form1::Text1_Truncated);
    connect(Text2, &TextBox::gotFocus, this, &Form1::Text2_GotFocus);
    connect(Text5, &QLineEdit::textChanged, this, &Form1::Text5_Change);
    connect(Text12, &QLineEdit::textChanged, this, &Form1::Text12_Change);
    connect(Messaggi, &phone::Messages::recordWritten, this, &Form1::CercaSms);
    connect(Messaggi, &QAbstractItemModel::modelReset, this, [this] { CercaSms(-1); });
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    // The link's busy light, its transaction guard and its lost line.
    connect(Linea, &PhoneLink::light, Label16, &Light::setBackColor);
    connect(Linea, &PhoneLink::lineLost, this, &Form1::MSComm1_Error);
    // The sent counter shows the parts sent.
    connect(Invio, &phone::Sender::sentChanged, this, [this](int parts) { Label8->setText(QString::number(parts)); });
    connect(&atlog::Notices(), &atlog::Notifier::failed, this,
            [this](const QString& why) { Stato(QStringLiteral("Registro AT non scrivibile: ") + why); });

    // A right click on "COM 1" or "COM 2" lists the ports present.
    ElencoPorte = PresentPorts;
    for (QRadioButton* option : {Option3, Option4}) {
        option->setContextMenuPolicy(Qt::CustomContextMenu);
        const int port = option == Option3 ? 1 : 2;
        connect(option, &QWidget::customContextMenuRequested, this,
                [this, option, port](const QPoint& at) { CercaPorta(port, option->mapToGlobal(at)); });
    }
    // A right click on a list offers to export it; on the phone book also
    // to change it and write it back to the phone.
    using Action = std::pair<QString, void (Form1::*)()>;
    const auto listMenu = [this](ListBox* list, const std::vector<Action>& actions) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list, actions](const QPoint& at) {
            auto* menu = new QMenu(this);
            menu->setObjectName(QStringLiteral("ExportMenu"));
            menu->setAttribute(Qt::WA_DeleteOnClose);
            // Each action runs transactions or a dialog, whose waits run the
            // event loop: the menu closes and is deleted in there. So it
            // starts from the window's own queue, once the menu's handler is over.
            for (const auto& [caption, handler] : actions) {
                connect(menu->addAction(caption), &QAction::triggered, this, [this, handler = handler] {
                    QMetaObject::invokeMethod(
                        this, [this, handler] { (this->*handler)(); }, Qt::QueuedConnection);
                });
            }
            if (list == List1) {
                MenuConversazione(menu, List1->indexAt(at).row());
                VociArchivio(menu);
            }
            menu->popup(list->viewport()->mapToGlobal(at));
        });
    };
    listMenu(List1, {{QStringLiteral("Esporta messaggi…"), &Form1::EsportaMessaggi}});
    listMenu(List2, {
                        {QStringLiteral("Aggiungi ai destinatari"), &Form1::AggiungiDestinatario},
                        {QStringLiteral("Esporta rubrica…"), &Form1::EsportaRubrica},
                        {QStringLiteral("Nuovo contatto…"), &Form1::NuovoContatto},
                        {QStringLiteral("Modifica contatto…"), &Form1::ModificaContatto},
                        {QStringLiteral("Elimina contatto"), &Form1::EliminaContatto},
                        {QStringLiteral("Importa contatti…"), &Form1::ImportaContatti},
                        {QStringLiteral("Scrivi rubrica sul cellulare…"), &Form1::ScriviRubrica},
                    });
    connect(List1, &QListView::doubleClicked, this, [this](const QModelIndex& row) { Conversazione(row.row()); });
    // What was sent in earlier runs; a report on it may still come.
    if (const QString problem = Invio->record.open(phone::SentRecord::DefaultFile(), Invio->ledger); !problem.isEmpty())
        Stato(problem);

    Form_Load();
    Timer1->start();
}

QString Form1::Porta(int port) const
{
    const int i = port == 1 ? 0 : 1;
    if (!m_forced[i].isEmpty())
        return m_forced[i];
    const QByteArray name = "ZIRCALO_COM" + QByteArray::number(port);
    if (!m_remembered[i].isEmpty() && qEnvironmentVariable(name.constData()).isEmpty())
        return m_remembered[i];
    return DeviceFor(port);
}

void Form1::LegaPorta(int port, const QString& device)
{
    m_forced[port == 1 ? 0 : 1] = device;
    showTooltips();
}

void Form1::RicordaPorta(int port, const QString& device)
{
    m_remembered[port == 1 ? 0 : 1] = device;
    showTooltips();
}

QString Form1::PortaRicordata(int port) const { return m_remembered[port == 1 ? 0 : 1]; }

void Form1::showTooltips()
{
    Option3->setToolTip(Porta(1));
    Option4->setToolTip(Porta(2));
}

QMenu* Form1::CercaPorta(int port, const QPoint& where)
{
    QMenu* menu = PortMenu(this, ElencoPorte ? ElencoPorte() : std::vector<PortInfo>(), Porta(port),
                           [this, port](const QString& device) {
                               LegaPorta(port, device);
                               RicordaPorta(port, device);
                           });
    // The choice is fixed while connected, as the option buttons are.
    menu->setEnabled(Frame2->isEnabled());
    menu->popup(where);
    return menu;
}

Form1::~Form1()
{
    // The conversations draw from the capabilities, which go before them.
    qDeleteAll(findChildren<QDialog*>(QStringLiteral("Conversazione"), Qt::FindDirectChildrenOnly));
    Linea->close();
}

QString Form1::InviaAT(const QString& command) { return Linea->transaction(command); }

void Form1::buildControls()
{
    const QFont terminal = listFont();
    const QFont arial12 = sansFont(12);

    // Row 1: the connection.
    Command2 = make<QPushButton>(this, "Command2", QStringLiteral("APRI / CHIUDI PORTA"));
    Command2->setGeometry(5, 5, 640, 28);
    Frame2 = make<QFrame>(this, "Frame2");
    Frame2->setGeometry(655, 5, 160, 28);
    Option3 = make<QRadioButton>(Frame2, "Option3", QStringLiteral("COM 1"));
    Option3->setGeometry(0, 4, 78, 20);
    Option3->setChecked(true);
    Option4 = make<QRadioButton>(Frame2, "Option4", QStringLiteral("COM 2"));
    Option4->setGeometry(80, 4, 78, 20);

    // Row 2: the message-list commands.
    Command4 = make<QPushButton>(this, "Command4", QStringLiteral("Leggi elenco SMS da cellulare"));
    Command4->setFont(sansFont(8.25));
    Command4->setGeometry(5, 38, 200, 24);
    Frame1 = make<QFrame>(this, "Frame1");
    Frame1->setGeometry(212, 38, 480, 24);
    auto* columns = new QHBoxLayout(Frame1);
    columns->setContentsMargins(0, 0, 0, 0);
    Check3 = make<QCheckBox>(Frame1, "Check3", QStringLiteral("Centro servizi."));
    Check7 = make<QCheckBox>(Frame1, "Check7", QStringLiteral("Tipo."));
    Check5 = make<QCheckBox>(Frame1, "Check5", QStringLiteral("Ora."));
    Check4 = make<QCheckBox>(Frame1, "Check4", QStringLiteral("Data."));
    Check6 = make<QCheckBox>(Frame1, "Check6", QStringLiteral("Testo."));
    for (QCheckBox* box : {Check3, Check7, Check5, Check4, Check6}) {
        box->setChecked(true);
        columns->addWidget(box);
    }
    columns->addStretch();
    Command11 = make<QPushButton>(this, "Command11", QStringLiteral("Aggiorna"));
    Command11->setGeometry(700, 38, 115, 24);

    // The message list and its header.
    auto* header = make<HeaderLabel>(this, "Label5");
    Label5 = header;
    Label5->setFont(terminal);
    Label5->setGeometry(8, 66, 805, 16);
    List1 = make<ListBox>(this, "List1");
    List1->setFont(terminal);
    List1->setGeometry(5, 82, 810, 150);
    // The header moves sideways with the rows it names, pixel for pixel.
    connect(List1->horizontalScrollBar(), &QScrollBar::valueChanged, header, &HeaderLabel::setOffset);

    // The detail area: six label and field pairs, the message text beside.
    struct Pair {
        QLabel** label;
        const char* labelName;
        const char* caption;
        TextBox** field;
        const char* fieldName;
    };
    const Pair pairs[] = {
        {&Label9, "Label9", "Memoria =", &Text6, "Text6"},
        {&Label10, "Label10", "Centro servizi =", &Text7, "Text7"},
        {&Label11, "Label11", "Tipo SMS =", &Text8, "Text8"},
        {&Label12, "Label12", "Mittente =", &Text9, "Text9"},
        {&Label13, "Label13", "Ora =", &Text10, "Text10"},
        {&Label14, "Label14", "Data =", &Text11, "Text11"},
    };
    int y = 236;
    for (const Pair& pair : pairs) {
        *pair.label = make<QLabel>(this, pair.labelName, QString::fromUtf8(pair.caption));
        (*pair.label)->setGeometry(5, y, 110, 20);
        (*pair.label)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *pair.field = make<TextBox>(this, pair.fieldName);
        (*pair.field)->setFont(terminal);
        (*pair.field)->setReadOnly(true);
        (*pair.field)->setGeometry(120, y, 325, 20);
        y += 22;
    }
    Label15 = make<QLabel>(this, "Label15", QStringLiteral("Testo:"));
    Label15->setGeometry(455, 236, 100, 18);
    Text3 = make<Memo>(this, "Text3");
    Text3->setFont(arial12);
    Text3->setReadOnly(true);
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3->setGeometry(455, 254, 360, 112);
    // The search in the messages, in the room beside "Testo:", right under
    // the list it narrows.
    Label17 = make<QLabel>(this, "Label17", QStringLiteral("Cerca negli sms:"));
    Label17->setFont(sansFont(9));
    Label17->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label17->setGeometry(557, 236, 103, 18);
    Text12 = make<TextBox>(this, "Text12");
    Text12->setFont(terminal);
    Text12->setGeometry(663, 236, 152, 18);
    Text12->setClearButtonEnabled(true);
    Text12->setToolTip(
        QStringLiteral("Mostra solo gli sms con queste parole nel numero, nel nome in rubrica o nel testo"));
    // In the room Frame1's check boxes leave beside "Aggiorna"; usable
    // while connected.
    Command13 = make<QPushButton>(this, "Command13", QStringLiteral("Credito / USSD…"));
    Command13->setFont(sansFont(8.25));
    Command13->setGeometry(574, 38, 118, 24);
    Command13->setEnabled(false);

    // The deletion row.
    Command9 = make<QPushButton>(this, "Command9", QStringLiteral("Cancella tutta la memoria degli SMS"));
    Command9->setGeometry(5, 372, 402, 24);
    Command6 = make<QPushButton>(this, "Command6", QStringLiteral("Cancella SMS selezionato dalla memoria"));
    Command6->setGeometry(413, 372, 402, 24);

    // The phone book (left) and its commands (right).
    Label6 = make<QLabel>(this, "Label6", QStringLiteral("Cerca:"));
    Label6->setFont(sansFont(9));
    Label6->setGeometry(5, 402, 50, 20);
    Text5 = make<TextBox>(this, "Text5");
    Text5->setFont(terminal);
    Text5->setGeometry(55, 402, 352, 20);
    List2 = make<ListBox>(this, "List2");
    List2->setFont(terminal);
    List2->setGeometry(5, 426, 402, 90);
    Command1 = make<QPushButton>(this, "Command1", QStringLiteral("Leggi rubrica da Cellulare"));
    Command1->setGeometry(413, 400, 402, 24);
    Command7 = make<QPushButton>(this, "Command7", QStringLiteral("Salva rubrica"));
    Command7->setGeometry(413, 428, 198, 24);
    Command8 = make<QPushButton>(this, "Command8", QStringLiteral("Carica rubrica"));
    Command8->setGeometry(617, 428, 198, 24);

    // The composer.
    Label1 = make<QLabel>(this, "Label1", QStringLiteral("CS:"));
    Label1->setGeometry(413, 460, 28, 22);
    Text4 = make<TextBox>(this, "Text4");
    Text4->setGeometry(441, 460, 170, 22);
    Command3 = make<QPushButton>(this, "Command3", QStringLiteral("Rivela"));
    Command3->setGeometry(617, 459, 95, 24);
    Command5 = make<QPushButton>(this, "Command5", QStringLiteral("Invia SMS"));
    Command5->setGeometry(718, 459, 97, 52);
    Check1 = make<QCheckBox>(this, "Check1", QStringLiteral("Flash"));
    Check1->setGeometry(413, 487, 70, 22);
    Check2 = make<QCheckBox>(this, "Check2", QStringLiteral("Ricevuta"));
    Check2->setGeometry(485, 487, 90, 22);
    Command12 = make<QPushButton>(this, "Command12", QStringLiteral("ZIP SMS"));
    Command12->setGeometry(617, 487, 95, 24);

    Label4 = make<QLabel>(this, "Label4", QStringLiteral("Invio a:"));
    Label4->setFont(sansFont(9));
    Label4->setGeometry(5, 521, 50, 22);
    Text2 = make<TextBox>(this, "Text2");
    Text2->setFont(terminal);
    Text2->setGeometry(55, 521, 352, 22);
    Label2 = make<QLabel>(this, "Label2", QStringLiteral("Car:"));
    Label2->setGeometry(413, 521, 32, 22);
    Label3 = make<FittingLabel>(this, "Label3", QStringLiteral("0/160"));
    Label3->setGeometry(445, 521, 70, 22);
    Label7 = make<QLabel>(this, "Label7", QStringLiteral("SMS Inviati:"));
    Label7->setGeometry(520, 521, 85, 22);
    Label8 = make<QLabel>(this, "Label8", QStringLiteral("0"));
    Label8->setGeometry(605, 521, 50, 22);
    Label8->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label8->setAlignment(Qt::AlignCenter);
    Command10 = make<QPushButton>(this, "Command10", QStringLiteral("Reset"));
    Command10->setGeometry(661, 520, 70, 24);
    Check8 = make<QCheckBox>(this, "Check8", QStringLiteral("SMS lungo"));
    Check8->setFont(sansFont(9)); // as the other captions squeezed into the composer's corners
    Check8->setGeometry(734, 521, 81, 22);
    Check8->setToolTip(QStringLiteral("Un testo lungo parte in più SMS uniti (fino a 10); emoji e lettere che "
                                      "l'alfabeto degli SMS non ha partono come sono scritte (70 caratteri a SMS)"));

    Text1 = make<Memo>(this, "Text1");
    Text1->setFont(arial12);
    // The limit counts septets, as the counter and the sender do.
    Text1->setMaxLength(160, GsmSeptets);
    Text1->setGeometry(5, 549, 810, 50);

    // The bottom: the activity light frames the progress bar.
    Label16 = make<Light>(this, "Label16");
    Label16->setGeometry(5, 602, 810, 14);
    ProgressBar1 = make<ProgressBar>(this, "ProgressBar1");
    ProgressBar1->setGeometry(8, 605, 804, 8);
    StatusBar1 = make<StatusBar>(this, "StatusBar1");
    StatusBar1->setGeometry(0, 618, 820, 22);
    StatusBar1->setPanelText(1, QStringLiteral("DICONNESSO"));
    StatusBar1->setPanelText(2, Banner);
    StatusBar1->setPanelText(3, QStringLiteral("ESCI"));

    // Never shown.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10000);
    MSComm1->setPortName(DeviceFor(1));
    CommonDialog1 = new CommonDialog(this);
    CommonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    DialogoEsporta = new CommonDialog(this);
    DialogoEsporta->setObjectName(QStringLiteral("DialogoEsporta"));
    DialogoImporta = new CommonDialog(this);
    DialogoImporta->setObjectName(QStringLiteral("DialogoImporta"));
    showTooltips();
}

// Where each control goes when the window grows. The lists take the extra
// height, List1 five parts and List2 three; the lists, their header, the
// message boxes and the fields over the phone book take the extra width;
// the right-hand column moves right with it, and the buttons keep their size.
void Form1::anchorControls()
{
    using A = Across;
    using D = Down;
    const std::vector<std::tuple<QWidget*, Across, Down>> anchors = {
        {Command2, A::Stays, D::Stays},      {Frame2, A::Moves, D::Stays},         {Command4, A::Stays, D::Stays},
        {Frame1, A::Stays, D::Stays},        {Command11, A::Moves, D::Stays},      {Label5, A::Widens, D::Stays},
        {List1, A::Widens, D::AsList1},      {Label9, A::Stays, D::BelowList1},    {Text6, A::Stays, D::BelowList1},
        {Label10, A::Stays, D::BelowList1},  {Text7, A::Stays, D::BelowList1},     {Label11, A::Stays, D::BelowList1},
        {Text8, A::Stays, D::BelowList1},    {Label12, A::Stays, D::BelowList1},   {Text9, A::Stays, D::BelowList1},
        {Label13, A::Stays, D::BelowList1},  {Text10, A::Stays, D::BelowList1},    {Label14, A::Stays, D::BelowList1},
        {Text11, A::Stays, D::BelowList1},   {Label15, A::Stays, D::BelowList1},   {Text3, A::Widens, D::BelowList1},
        {Command9, A::Stays, D::BelowList1}, {Command6, A::Moves, D::BelowList1},  {Label6, A::Stays, D::BelowList1},
        {Text5, A::Widens, D::BelowList1},   {List2, A::Widens, D::AsList2},       {Command1, A::Moves, D::BelowList1},
        {Command7, A::Moves, D::BelowList1}, {Command8, A::Moves, D::BelowList1},  {Label1, A::Moves, D::Bottom},
        {Text4, A::Moves, D::Bottom},        {Command3, A::Moves, D::Bottom},      {Command5, A::Moves, D::Bottom},
        {Check1, A::Moves, D::Bottom},       {Check2, A::Moves, D::Bottom},        {Command12, A::Moves, D::Bottom},
        {Label4, A::Stays, D::Bottom},       {Text2, A::Widens, D::Bottom},        {Label2, A::Moves, D::Bottom},
        {Label3, A::Moves, D::Bottom},       {Label7, A::Moves, D::Bottom},        {Label8, A::Moves, D::Bottom},
        {Command10, A::Moves, D::Bottom},    {Check8, A::Moves, D::Bottom},        {Text1, A::Widens, D::Bottom},
        {Label16, A::Widens, D::Bottom},     {ProgressBar1, A::Widens, D::Bottom}, {StatusBar1, A::Widens, D::Bottom},
        {Label17, A::Stays, D::BelowList1},  {Text12, A::Widens, D::BelowList1},   {Command13, A::Stays, D::Stays},
    };
    m_anchors.clear();
    for (const auto& [control, across, down] : anchors)
        m_anchors.push_back({control, control->geometry(), across, down});
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int wider = std::max(0, width() - DefaultSize.width());
    const int taller = std::max(0, height() - DefaultSize.height());
    const int list2 = taller * 3 / 8;
    const int list1 = taller - list2;
    for (const Anchor& anchor : m_anchors) {
        QRect place = anchor.home;
        if (anchor.across == Across::Moves)
            place.translate(wider, 0);
        else if (anchor.across == Across::Widens)
            place.setWidth(place.width() + wider);
        switch (anchor.down) {
        case Down::Stays:
            break;
        case Down::BelowList1:
            place.translate(0, list1);
            break;
        case Down::Bottom:
            place.translate(0, taller);
            break;
        case Down::AsList1:
            place.setHeight(place.height() + list1);
            break;
        case Down::AsList2:
            place.translate(0, list1);
            place.setHeight(place.height() + list2);
            break;
        }
        anchor.control->setGeometry(place);
    }
}

void Form1::Form_Load()
{
    LineaLibera = true;
    ComandoLibero = true;
    StatoPrec = Banner;
    // Another run's parts must not join this run's.
    RifSmsLungo = quint8(QRandomGenerator::global()->bounded(256));
}

// A message stays until one tick has seen it and the next sees it unchanged;
// then the banner comes back.
void Form1::Timer1_Timer()
{
    const QString shown = StatusBar1->panelText(2);
    if (shown != StatoPrec)
        StatoPrec = shown;
    else
        StatusBar1->setPanelText(2, Banner);
}

bool Form1::PortOpen() const { return MSComm1->isOpen(); }

bool Form1::PortaAperta(const QString& message)
{
    if (PortOpen())
        return true;
    Stato(message);
    return false;
}

void Form1::Stato(const QString& text) { StatusBar1->setPanelText(2, text); }

void Form1::Beep()
{
    ++Beeps;
    QApplication::beep();
}

void Form1::MsgBox(const QString& text, const QString& title, QMessageBox::Icon icon)
{
    QMessageBox box(icon, title.isEmpty() ? QStringLiteral("ZIRCALO") : title, text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.exec();
}

bool Form1::Conferma(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
    return box.exec() == QMessageBox::Yes;
}

void Form1::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void Form1::progressMax(float max) { ProgressBar1->setMax(max); }

void Form1::notify(const QString& title, const QString& text)
{
    if (!isActiveWindow())
        Notifica(title, text);
}

void Form1::progress(float value) { ProgressBar1->setValue(value); }

QString Form1::DeviceFor(int port)
{
    const QByteArray name = "ZIRCALO_COM" + QByteArray::number(port);
    const QString chosen = qEnvironmentVariable(name.constData());
    if (!chosen.isEmpty())
        return chosen;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
