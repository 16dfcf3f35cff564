// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog that asks for the SIM's PIN when the phone wants it: the
// digits are hidden as they are typed, and OK takes only 4 to 8 digits
// (GSM 11.11 9.3: a PIN is 4 to 8 digits).
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Whether `pin` is 4 to 8 digits.
bool IsWellFormedPin(const QString& pin);

class PinDialog : public QDialog {
    Q_OBJECT
public:
    explicit PinDialog(QWidget* parent = nullptr);
    // What the user typed.
    QString pin() const;

private:
    QLineEdit* m_edit;
    QPushButton* m_ok;
};
