// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation with one person (objectName "Conversazione"): every
// message with that number, received or sent from here, in time order, and
// a reply box whose "Invia" sends as "Invia SMS" does. It stays open beside
// the window and follows what arrives and what is sent.
#pragma once

#include <QDialog>
#include <QString>

class Form1;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class ConversationDialog : public QDialog {
    Q_OBJECT
public:
    ConversationDialog(Form1& form, const QString& number, const QString& name);

    const QString& number() const { return m_number; }
    // Draws the messages again, from what the window holds now.
    void refresh();

private:
    void refreshLater();
    void countReply();
    void send();

    Form1& m_form;
    QString m_number;
    QListWidget* m_messages;
    QPlainTextEdit* m_reply;
    QLabel* m_counter;
    QPushButton* m_send;
    bool m_refreshPosted = false;
    bool m_canReply = false;
};
