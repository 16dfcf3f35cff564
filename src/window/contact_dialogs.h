// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs of the contacts that go back to the phone: one contact
// ("Contatto": its name, its number, its book) and the write of a whole
// phone book ("ScriviRubrica": the book, and whether the phone's other
// entries go).
#pragma once

#include "phone/phonebook/phonebook.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// The book choice: "SIM" for "SM", "Telefono" for "ME", each where the
// phone has it; `chosen` selected when it is one of them.
QComboBox* BookChoice(QWidget* parent, const std::vector<QString>& books, const QString& chosen);

class ContactDialog : public QDialog {
    Q_OBJECT
public:
    // A new contact when `editing` has no name and no number; the book of an
    // entry edited stays its own.
    ContactDialog(QWidget* parent, const std::vector<QString>& books, const phone::Contact& editing);
    // Why a contact cannot go to the phone as it is; OK keeps the dialog
    // open and shows it, the fields as typed.
    std::function<QString(const phone::Contact&)> check;
    phone::Contact contact() const;

private:
    phone::Contact m_editing;
    QLineEdit* m_name;
    QLineEdit* m_number;
    QComboBox* m_book;
    QLabel* m_refusal;
};

class WriteBookDialog : public QDialog {
    Q_OBJECT
public:
    WriteBookDialog(QWidget* parent, const std::vector<QString>& books, const QString& chosen);
    QString book() const;
    bool deleteOthers() const;

private:
    QComboBox* m_book;
    QCheckBox* m_others;
};
