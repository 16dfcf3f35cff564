// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/contact_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QDialogButtonBox* okAnnulla(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OK"));
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("Annulla"));
    cancel->setText(QStringLiteral("Annulla"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

QComboBox* BookChoice(QWidget* parent, const std::vector<QString>& books, const QString& chosen)
{
    auto* choice = new QComboBox(parent);
    choice->setObjectName(QStringLiteral("Rubrica"));
    const std::pair<const char*, const char*> known[] = {{"SM", "SIM"}, {"ME", "Telefono"}};
    for (const auto& [book, caption] : known) {
        if (std::find(books.begin(), books.end(), QLatin1String(book)) != books.end())
            choice->addItem(QLatin1String(caption), QLatin1String(book));
    }
    const int at = choice->findData(chosen);
    if (at >= 0)
        choice->setCurrentIndex(at);
    return choice;
}

ContactDialog::ContactDialog(QWidget* parent, const std::vector<QString>& books, const phone::Contact& editing)
    : QDialog(parent), m_editing(editing)
{
    setObjectName(QStringLiteral("Contatto"));
    const bool edit = editing.index != 0;
    setWindowTitle(edit ? QStringLiteral("Modifica contatto") : QStringLiteral("Nuovo contatto"));
    m_name = new QLineEdit(editing.name, this);
    m_name->setObjectName(QStringLiteral("Nome"));
    m_number = new QLineEdit(editing.number, this);
    m_number->setObjectName(QStringLiteral("Numero"));
    // Room for a whole name as a SIM holds it and a number with its spaces.
    for (QLineEdit* field : {m_name, m_number})
        field->setMinimumWidth(field->fontMetrics().averageCharWidth() * 30);
    m_book = BookChoice(this, books, editing.book);
    // An entry edited stays at its index of its book.
    m_book->setEnabled(!edit);
    m_refusal = new QLabel(this);
    m_refusal->setObjectName(QStringLiteral("Rifiuto"));
    m_refusal->setWordWrap(true);
    m_refusal->setTextFormat(Qt::PlainText);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome"), m_name);
    form->addRow(QStringLiteral("Numero"), m_number);
    form->addRow(QStringLiteral("Rubrica"), m_book);
    QDialogButtonBox* buttons = okAnnulla(this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const QString why = check ? check(contact()) : QString();
        m_refusal->setText(why);
        if (why.isEmpty())
            accept();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_refusal);
    layout->addWidget(buttons);
}

phone::Contact ContactDialog::contact() const
{
    phone::Contact made = m_editing;
    made.name = m_name->text();
    made.number = m_number->text();
    made.book = m_book->currentData().toString();
    return made;
}

WriteBookDialog::WriteBookDialog(QWidget* parent, const std::vector<QString>& books, const QString& chosen)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ScriviRubrica"));
    setWindowTitle(QStringLiteral("Scrivi rubrica sul cellulare"));
    m_book = BookChoice(this, books, chosen);
    m_others = new QCheckBox(QStringLiteral("Cancella dal cellulare le voci che non sono nell'elenco"), this);
    m_others->setObjectName(QStringLiteral("CancellaAltre"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Rubrica"), m_book);
    QDialogButtonBox* buttons = okAnnulla(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_others);
    layout->addWidget(buttons);
}

QString WriteBookDialog::book() const { return m_book->currentData().toString(); }

bool WriteBookDialog::deleteOthers() const { return m_others->isChecked(); }
