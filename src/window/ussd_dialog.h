// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog "Ussd" of "Credito / USSD…": a code (the last ones kept), the
// network's answers under what asked them, the reply to a menu, and
// "Chiudi", which ends a session the network keeps open.
#pragma once

#include "phone/ussd.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class UssdDialog : public QDialog {
    Q_OBJECT
public:
    UssdDialog(QWidget* parent, phone::Ussd& ussd);

    // Closing ends the session first (AT+CUSD=2).
    void reject() override;

private:
    void richiedi();
    void rispondi();
    void mostra(const QString& text);
    void aggiorna();

    phone::Ussd& m_ussd;
    QComboBox* m_code;
    QPushButton* m_ask;
    QPlainTextEdit* m_answers;
    QLineEdit* m_reply;
    QPushButton* m_send;
    QPushButton* m_close;
};
