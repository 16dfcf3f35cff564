// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of a conversation: the dialog, and its place in List1's
// context menu and double click.
#include "window/conversation.h"

#include "phone/messages/conversation.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/compose.h"
#include "window/form1.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The name the phone book gives `number`, or the number itself.
QString nameOf(const Form1& form, const QString& number)
{
    const QString name = form.NomeInRubrica(number);
    return name.isEmpty() ? number : name;
}

bool hasDigits(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace

ConversationDialog::ConversationDialog(Form1& form, const QString& number, const QString& name)
    : QDialog(&form, Qt::Window), m_form(form), m_number(number)
{
    setObjectName(QStringLiteral("Conversazione"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Conversazione con ") + name);
    resize(460, 560);

    auto* who = new QLabel(name == number ? number : name + QStringLiteral(" (") + number + QLatin1Char(')'), this);
    who->setObjectName(QStringLiteral("Persona"));
    who->setTextFormat(Qt::PlainText); // a name is data, never markup
    m_messages = new QListWidget(this);
    m_messages->setObjectName(QStringLiteral("Messaggi"));
    m_messages->setWordWrap(true);
    m_messages->setTextElideMode(Qt::ElideNone);
    m_messages->setSpacing(3);
    m_messages->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_reply = new QPlainTextEdit(this);
    m_reply->setObjectName(QStringLiteral("Risposta"));
    m_reply->setTabChangesFocus(true);
    m_reply->setFixedHeight(70);
    m_counter = new QLabel(this);
    m_counter->setObjectName(QStringLiteral("Contatore"));
    m_send = new QPushButton(QStringLiteral("Invia"), this);
    m_send->setObjectName(QStringLiteral("Invia"));

    auto* replyRow = new QHBoxLayout;
    replyRow->addWidget(m_reply, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(m_counter);
    side->addWidget(m_send);
    side->addStretch();
    replyRow->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(who);
    layout->addWidget(m_messages, 1);
    layout->addLayout(replyRow);

    // A sender without a number (an alphanumeric one) takes no reply.
    m_canReply = hasDigits(number);
    if (!m_canReply)
        m_reply->setPlaceholderText(QStringLiteral("A questo mittente non si può rispondere"));
    m_reply->setEnabled(m_canReply);

    // What arrives, what is sent, what a report says: the rows of List1 and
    // the record of what was sent change, and the conversation follows.
    phone::Messages* rows = form.Messaggi;
    connect(rows, &QAbstractItemModel::dataChanged, this, &ConversationDialog::refreshLater);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &ConversationDialog::refreshLater);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &ConversationDialog::refreshLater);
    connect(rows, &QAbstractItemModel::modelReset, this, &ConversationDialog::refreshLater);
    connect(&form.Invio->record, &phone::SentRecord::changed, this, &ConversationDialog::refreshLater);
    connect(m_reply, &QPlainTextEdit::textChanged, this, &ConversationDialog::countReply);
    connect(form.Check8, &QCheckBox::toggled, this, &ConversationDialog::countReply);
    connect(m_send, &QPushButton::clicked, this, &ConversationDialog::send);
    countReply();
    refresh();
}

void ConversationDialog::refreshLater()
{
    // A row is told changed before its record is: draw once both are,
    // and once for a burst of rows.
    if (m_refreshPosted)
        return;
    m_refreshPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPosted = false;
        refresh();
    });
}

void ConversationDialog::refresh()
{
    const std::vector<phone::ConversationItem> items =
        phone::ConversationWith(m_number, *m_form.Messaggi, m_form.Invio->record.entries());
    QScrollBar* scroll = m_messages->verticalScrollBar();
    const bool atEnd = m_messages->count() == 0 || scroll->value() == scroll->maximum();
    const int shown = scroll->value();
    m_messages->clear();
    // Connecting empties the list: what came in shows again once it is read.
    if (m_form.Messaggi->count() == 0) {
        auto* note = new QListWidgetItem(
            QStringLiteral(
                "Elenco sms non letto: i messaggi ricevuti compaiono dopo \"Leggi elenco SMS da cellulare\".."),
            m_messages);
        note->setFlags(Qt::NoItemFlags);
    }
    for (const phone::ConversationItem& item : items) {
        auto* row = new QListWidgetItem(item.head + QLatin1Char('\n') + item.text, m_messages);
        // What the user sent stands on the right, as phones show it.
        row->setTextAlignment(item.outgoing ? Qt::AlignRight : Qt::AlignLeft);
        if (item.outgoing)
            row->setBackground(palette().alternateBase());
        row->setData(Qt::UserRole, item.outgoing);
    }
    // The newest in view, unless the user had scrolled back to read.
    if (atEnd)
        m_messages->scrollToBottom();
    else
        scroll->setValue(shown);
}

void ConversationDialog::countReply()
{
    // The counter counts as Label3 does; line breaks go out as CR LF.
    const QString text = m_reply->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m_counter->setText(CounterText(text, m_form.Check8->isChecked()));
    m_send->setEnabled(m_canReply && !text.isEmpty());
}

void ConversationDialog::send()
{
    const QString text = m_reply->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (m_form.InviaSms(m_number, text))
        m_reply->clear();
}

void Form1::Conversazione(int position)
{
    const QString number = phone::PartyOf(*Messaggi, position);
    if (number.isEmpty())
        return;
    for (ConversationDialog* open : findChildren<ConversationDialog*>()) {
        if (phone::SameParty(open->number(), number)) {
            open->show();
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto* dialog = new ConversationDialog(*this, number, nameOf(*this, number));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void Form1::MenuConversazione(QMenu* menu, int position)
{
    const QString number = phone::PartyOf(*Messaggi, position);
    if (number.isEmpty())
        return;
    // An "&" of a name is a letter, not the menu's shortcut.
    QString name = nameOf(*this, number);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu->addAction(QStringLiteral("Conversazione con %1…").arg(name));
    // The menu goes while its action runs: the dialog opens from the queue.
    connect(action, &QAction::triggered, this, [this, position] {
        QMetaObject::invokeMethod(
            this, [this, position] { Conversazione(position); }, Qt::QueuedConnection);
    });
}
