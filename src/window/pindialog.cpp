// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/pindialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

bool IsWellFormedPin(const QString& pin)
{
    static const QRegularExpression kPin(QStringLiteral("^[0-9]{4,8}$"));
    return kPin.match(pin).hasMatch();
}

PinDialog::PinDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PinDialog"));
    setWindowTitle(QStringLiteral("PIN della SIM"));
    auto* text = new QLabel(QStringLiteral("Il cellulare chiede il PIN della SIM"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("PinEdit"));
    m_edit->setEchoMode(QLineEdit::Password);
    // Digits only, at most 8: the rest never reaches the field.
    m_edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), m_edit));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("PinOk"));
    m_ok->setEnabled(false);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("PinAnnulla"));
    cancel->setText(QStringLiteral("Annulla"));
    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString& typed) { m_ok->setEnabled(IsWellFormedPin(typed)); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (IsWellFormedPin(pin())) // Enter in the field while OK is disabled does nothing
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

QString PinDialog::pin() const { return m_edit->text(); }
