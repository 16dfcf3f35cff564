// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ussd_dialog.h"

#include "at/cusd.h"
#include "window/form1.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

UssdDialog::UssdDialog(QWidget* parent, phone::Ussd& ussd) : QDialog(parent), m_ussd(ussd)
{
    setObjectName(QStringLiteral("Ussd"));
    setWindowTitle(QStringLiteral("Credito / USSD"));

    m_code = new QComboBox(this);
    m_code->setObjectName(QStringLiteral("Codice"));
    m_code->setEditable(true);
    m_code->setInsertPolicy(QComboBox::NoInsert);
    m_code->addItems(ussd.codes);
    m_code->lineEdit()->setMaxLength(kUssdMaxSeptets);
    m_code->setMinimumWidth(m_code->fontMetrics().averageCharWidth() * 24);
    m_code->setToolTip(QStringLiteral("Il codice del servizio, per esempio *123# per il credito"));
    m_ask = new QPushButton(QStringLiteral("Richiedi"), this);
    m_ask->setObjectName(QStringLiteral("Richiedi"));
    m_ask->setDefault(true);

    m_answers = new QPlainTextEdit(this);
    m_answers->setObjectName(QStringLiteral("Risposta"));
    m_answers->setReadOnly(true);
    m_answers->setMinimumSize(m_answers->fontMetrics().averageCharWidth() * 60,
                              m_answers->fontMetrics().lineSpacing() * 16);

    m_reply = new QLineEdit(this);
    m_reply->setObjectName(QStringLiteral("RispostaMenu"));
    m_reply->setMaxLength(kUssdMaxSeptets);
    m_send = new QPushButton(QStringLiteral("Invia"), this);
    m_send->setObjectName(QStringLiteral("Invia"));
    m_close = new QPushButton(QStringLiteral("Chiudi"), this);
    m_close->setObjectName(QStringLiteral("Chiudi"));
    m_close->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Codice:"), this), 0, 0);
    grid->addWidget(m_code, 0, 1);
    grid->addWidget(m_ask, 0, 2);
    grid->addWidget(m_answers, 1, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Risposta:"), this), 2, 0);
    grid->addWidget(m_reply, 2, 1);
    grid->addWidget(m_send, 2, 2);
    grid->setColumnStretch(1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(bottom);

    connect(m_ask, &QPushButton::clicked, this, &UssdDialog::richiedi);
    connect(m_send, &QPushButton::clicked, this, &UssdDialog::rispondi);
    connect(m_close, &QPushButton::clicked, this, &UssdDialog::reject);
    connect(&ussd, &phone::Ussd::stateChanged, this, &UssdDialog::aggiorna);
    connect(&ussd, &phone::Ussd::answered, this, [this](const phone::UssdAnswer& answer) {
        QString shown = answer.text;
        if (answer.reading == UssdReading::AsSent)
            shown += QStringLiteral("\n(testo non decifrabile, mostrato come è arrivato)");
        if (!shown.isEmpty())
            shown += QLatin1Char('\n');
        mostra(shown + QLatin1Char('(') + at::UssdStatusText(answer.m) + QLatin1Char(')'));
    });
    connect(&ussd, &phone::Ussd::failed, this,
            [this](const QString& why) { mostra(QLatin1Char('(') + why + QLatin1Char(')')); });
    aggiorna();
}

// The answers are text as the network sent it, never markup.
void UssdDialog::mostra(const QString& text)
{
    m_answers->appendPlainText(text);
    m_answers->verticalScrollBar()->setValue(m_answers->verticalScrollBar()->maximum());
}

// What can be done now: a code whenever no answer is awaited, a reply
// while the network waits for one.
void UssdDialog::aggiorna()
{
    const phone::Ussd::State state = m_ussd.state();
    m_ask->setEnabled(state != phone::Ussd::State::Waiting);
    m_code->setEnabled(state != phone::Ussd::State::Waiting);
    m_reply->setEnabled(state == phone::Ussd::State::Menu);
    m_send->setEnabled(state == phone::Ussd::State::Menu);
    // Enter sends the reply while a menu waits for one, else the code.
    m_send->setDefault(state == phone::Ussd::State::Menu);
    m_ask->setDefault(state != phone::Ussd::State::Menu);
    if (state == phone::Ussd::State::Menu)
        m_reply->setFocus();
}

void UssdDialog::richiedi()
{
    const QString code = m_code->currentText().trimmed();
    if (code.isEmpty())
        return;
    // A new code ends the menu still open.
    if (m_ussd.state() == phone::Ussd::State::Menu)
        m_ussd.end();
    QPointer<UssdDialog> alive(this);
    mostra(QStringLiteral("> ") + code);
    QString why;
    const bool sent = m_ussd.send(code, &why);
    if (!alive)
        return;
    if (!sent && !why.isEmpty())
        mostra(QLatin1Char('(') + why + QLatin1Char(')'));
    // The codes as kept, this one first.
    m_code->clear();
    m_code->addItems(m_ussd.codes);
    m_code->setEditText(code);
    aggiorna();
}

void UssdDialog::rispondi()
{
    const QString reply = m_reply->text().trimmed();
    if (reply.isEmpty() || m_ussd.state() != phone::Ussd::State::Menu)
        return;
    QPointer<UssdDialog> alive(this);
    mostra(QStringLiteral("> ") + reply);
    QString why;
    const bool sent = m_ussd.send(reply, &why);
    if (!alive)
        return;
    if (sent)
        m_reply->clear();
    else if (!why.isEmpty())
        mostra(QLatin1Char('(') + why + QLatin1Char(')'));
    aggiorna();
}

void UssdDialog::reject()
{
    QPointer<UssdDialog> alive(this);
    m_ussd.end();
    if (alive)
        QDialog::reject();
}

void Form1::Command13_Click()
{
    if (!PortaAperta(PortaNonAperta))
        return;
    if (DialogoUssd) {
        DialogoUssd->raise();
        DialogoUssd->activateWindow();
        return;
    }
    auto* dialog = new UssdDialog(this, *Ussd);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    DialogoUssd = dialog;
    dialog->open();
}
