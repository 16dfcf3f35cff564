// SPDX-License-Identifier: GPL-3.0-or-later
// Credit and service codes through "Credito / USSD…" and its dialog, as a
// user reaches them, against the simulated network in each of its dialects.
#include "support/e2e.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

const char* const kCredit = "Credito residuo: 12,50 EUR. Scadenza 31/12/2026.";
const char* const kMainMenu = "Menu\n1 Credito\n2 Offerte\n0 Esci";
const char* const kOffersMenu = "Offerte\n1 Giga 50: 9,99 EUR\n2 Minuti 500: 5 EUR\n9 Indietro";

// The dialog as the user has it: opened with the button, filled and clicked.
class UssdWindow {
public:
    explicit UssdWindow(e2e::Phone& phone)
    {
        Form1& form = phone.form();
        EXPECT_TRUE(form.Command13->isEnabled());
        QTest::mouseClick(form.Command13, Qt::LeftButton);
        EXPECT_TRUE(e2e::waitFor([&] { return form.DialogoUssd && form.DialogoUssd->isVisible(); }));
        dialog = form.DialogoUssd;
        if (!dialog)
            return;
        EXPECT_EQ(QApplication::activeModalWidget(), dialog.data());
        code = dialog->findChild<QComboBox*>("Codice");
        ask = dialog->findChild<QPushButton*>("Richiedi");
        answers = dialog->findChild<QPlainTextEdit*>("Risposta");
        reply = dialog->findChild<QLineEdit*>("RispostaMenu");
        send = dialog->findChild<QPushButton*>("Invia");
        close = dialog->findChild<QPushButton*>("Chiudi");
        EXPECT_TRUE(code && code->isEditable() && ask && answers && answers->isReadOnly() && reply && send && close);
    }

    // Types a code and asks for it; waits until what is shown has grown by
    // a line that ends with `until`.
    void request(const QString& typed, const QString& until = QStringLiteral(")"))
    {
        code->lineEdit()->selectAll();
        QTest::keyClicks(code->lineEdit(), typed);
        QTest::mouseClick(ask, Qt::LeftButton);
        awaitAnswer(until);
    }
    // Types the reply and clicks "Invia", or presses Enter.
    void answerMenu(const QString& typed, const QString& until = QStringLiteral(")"), bool enter = false)
    {
        EXPECT_TRUE(reply->isEnabled());
        EXPECT_TRUE(send->isEnabled());
        QTest::keyClicks(reply, typed);
        if (enter)
            QTest::keyClick(reply, Qt::Key_Return);
        else
            QTest::mouseClick(send, Qt::LeftButton);
        awaitAnswer(until);
    }
    void awaitAnswer(const QString& until)
    {
        const int before = m_seen;
        EXPECT_TRUE(e2e::waitFor([&] {
            const QString text = answers->toPlainText();
            return text.count(QLatin1Char('(')) > before && text.endsWith(until);
        })) << answers->toPlainText().toStdString();
        m_seen = int(answers->toPlainText().count(QLatin1Char('(')));
    }
    QString shown() const { return answers->toPlainText(); }

    QPointer<QDialog> dialog;
    QComboBox* code = nullptr;
    QPushButton* ask = nullptr;
    QPlainTextEdit* answers = nullptr;
    QLineEdit* reply = nullptr;
    QPushButton* send = nullptr;
    QPushButton* close = nullptr;

private:
    int m_seen = 0;
};

std::vector<std::string> ussdCommands(const e2e::Phone& phone)
{
    std::vector<std::string> out;
    for (const std::string& c : phone.commands())
        if (c.rfind("AT+CUSD", 0) == 0)
            out.push_back(c);
    return out;
}

// A credit check, decoded exactly whatever the modem's dialect; the code
// is kept among the codes offered.
TEST(UssdDialog, ACreditCheckInEachDialect)
{
    struct Dialect {
        const char* state;
        std::vector<std::string> sent;
    };
    const Dialect dialects[] = {
        {"ussd = text", {"AT+CUSD=1,\"*123#\",15"}},
        // Huawei: refused as text, taken packed.
        {"ussd = hex", {"AT+CUSD=1,\"*123#\",15", "AT+CUSD=1,\"AA986C3602\",15"}},
        {"ussd = ucs2", {"AT+CUSD=1,\"*123#\",15"}},
    };
    for (const Dialect& d : dialects) {
        SCOPED_TRACE(d.state);
        e2e::Phone phone(e2e::sampleState(d.state));
        EXPECT_FALSE(phone.form().Command13->isEnabled());
        ASSERT_TRUE(phone.connect());
        phone.clearTranscript();
        UssdWindow window(phone);
        ASSERT_TRUE(window.dialog);
        EXPECT_FALSE(window.send->isEnabled());
        EXPECT_FALSE(window.reply->isEnabled());
        window.code->lineEdit()->selectAll();
        QTest::keyClicks(window.code->lineEdit(), "*123#");
        QTest::mouseClick(window.ask, Qt::LeftButton);
        EXPECT_EQ(phone.form().StatusBar1->panelText(2), "Richiesta USSD in corso..");
        window.awaitAnswer("(Completato)");
        EXPECT_EQ(window.shown(), u("> *123#\n") + kCredit + "\n(Completato)");
        EXPECT_EQ(ussdCommands(phone), d.sent);
        EXPECT_EQ(window.code->count(), 1);
        EXPECT_EQ(window.code->itemText(0), "*123#");
        QTest::mouseClick(window.close, Qt::LeftButton);
        EXPECT_TRUE(e2e::waitFor([&] { return !window.dialog; }));
        // Nothing was open: closing sent nothing.
        EXPECT_EQ(ussdCommands(phone), d.sent);
    }
}

// A menu two levels deep: answered, then closed with the session open.
TEST(UssdDialog, AMenuAnsweredThenClosedEndsTheSession)
{
    e2e::Phone phone(e2e::sampleState("ussd = text"));
    ASSERT_TRUE(phone.connect());
    phone.clearTranscript();
    UssdWindow window(phone);
    ASSERT_TRUE(window.dialog);
    window.request("*100#", "(La rete attende una risposta)");
    EXPECT_TRUE(window.reply->isEnabled());
    window.answerMenu("2", "(La rete attende una risposta)");
    window.answerMenu("5", "(La rete attende una risposta)", true); // not on the menu; Enter sends it
    EXPECT_EQ(window.shown(), u("> *100#\n") + kMainMenu + "\n(La rete attende una risposta)\n> 2\n" + kOffersMenu
                                  + "\n(La rete attende una risposta)\n> 5\nScelta non valida\n" + kOffersMenu
                                  + "\n(La rete attende una risposta)");
    EXPECT_TRUE(window.reply->text().isEmpty());
    QTest::mouseClick(window.close, Qt::LeftButton);
    EXPECT_TRUE(e2e::waitFor([&] { return !window.dialog; }));
    EXPECT_EQ(ussdCommands(phone), (std::vector<std::string>{"AT+CUSD=1,\"*100#\",15", "AT+CUSD=1,\"2\",15",
                                                             "AT+CUSD=1,\"5\",15", "AT+CUSD=2"}));
}

// The network ends the session: no reply is taken, and closing sends nothing.
TEST(UssdDialog, TheNetworkEndsTheSession)
{
    e2e::Phone phone(e2e::sampleState("ussd = hex"));
    phone.form().Ussd->formsByModel.insert("Nokia 6310i", UssdForm::PackedHex);
    ASSERT_TRUE(phone.connect());
    phone.clearTranscript();
    UssdWindow window(phone);
    ASSERT_TRUE(window.dialog);
    window.request("*100#", "(La rete attende una risposta)");
    window.answerMenu("0", "(Sessione terminata dalla rete)");
    EXPECT_EQ(window.shown(),
              u("> *100#\n") + kMainMenu + "\n(La rete attende una risposta)\n> 0\n(Sessione terminata dalla rete)");
    EXPECT_FALSE(window.reply->isEnabled());
    EXPECT_FALSE(window.send->isEnabled());
    QTest::mouseClick(window.close, Qt::LeftButton);
    EXPECT_TRUE(e2e::waitFor([&] { return !window.dialog; }));
    EXPECT_EQ(ussdCommands(phone), (std::vector<std::string>{"AT+CUSD=1,\"AA180C3602\",15", "AT+CUSD=1,\"30\",15"}));
}

// A code refused in one form goes once more in the other, and the form
// that worked is the model's from then on: "+CUSD: 4" from a modem that
// wants text, "+CME ERROR" from one that wants packed hex.
TEST(UssdDialog, ACodeRefusedInOneFormIsAcceptedInTheOther)
{
    struct Case {
        const char* state;
        UssdForm kept;    // before
        UssdForm learned; // after
        std::vector<std::string> first;
        std::string second;
    };
    const Case cases[] = {
        {"ussd = text",
         UssdForm::PackedHex,
         UssdForm::Text,
         {"AT+CUSD=1,\"AA986C3602\",15", "AT+CUSD=1,\"*123#\",15"},
         "AT+CUSD=1,\"*123#\",15"},
        {"ussd = hex",
         UssdForm::Text,
         UssdForm::PackedHex,
         {"AT+CUSD=1,\"*123#\",15", "AT+CUSD=1,\"AA986C3602\",15"},
         "AT+CUSD=1,\"AA986C3602\",15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        e2e::Phone phone(e2e::sampleState(c.state));
        phone.form().Ussd->formsByModel.insert("Nokia 6310i", c.kept);
        ASSERT_TRUE(phone.connect());
        phone.clearTranscript();
        UssdWindow window(phone);
        ASSERT_TRUE(window.dialog);
        window.request("*123#", "(Completato)");
        EXPECT_EQ(window.shown(), u("> *123#\n") + kCredit + "\n(Completato)");
        EXPECT_EQ(ussdCommands(phone), c.first);
        EXPECT_EQ(phone.form().Ussd->formsByModel.value("Nokia 6310i"), c.learned);
        phone.clearTranscript();
        window.request("*123#", "(Completato)");
        EXPECT_EQ(ussdCommands(phone), std::vector<std::string>{c.second});
    }
}

// The network stays silent: after the wait the dialog and panel 2 say so,
// the request is ended, and it never goes twice.
TEST(UssdDialog, NoAnswerWithinTheWait)
{
    e2e::Phone phone(e2e::sampleState("ussd_delay_ms = 3600000"));
    ASSERT_TRUE(phone.connect());
    phone.form().Ussd->waitMs = 300;
    phone.clearTranscript();
    UssdWindow window(phone);
    ASSERT_TRUE(window.dialog);
    window.code->lineEdit()->selectAll();
    QTest::keyClicks(window.code->lineEdit(), "*123#");
    QTest::mouseClick(window.ask, Qt::LeftButton);
    // While it waits, no second request and no reply.
    EXPECT_FALSE(window.ask->isEnabled());
    EXPECT_FALSE(window.send->isEnabled());
    window.awaitAnswer("(Nessuna risposta dalla rete entro 1 secondi..)");
    EXPECT_EQ(phone.form().StatusBar1->panelText(2), "Nessuna risposta dalla rete entro 1 secondi..");
    EXPECT_TRUE(window.ask->isEnabled());
    EXPECT_TRUE(e2e::waitFor([&] { return ussdCommands(phone).size() == 2; }));
    EXPECT_EQ(ussdCommands(phone), (std::vector<std::string>{"AT+CUSD=1,\"*123#\",15", "AT+CUSD=2"}));
}

// Characters of the extension table, and an answer in UCS2, each exactly.
TEST(UssdDialog, ExtensionCharactersAndUcs2)
{
    for (const char* state : {"ussd = text", "ussd = hex", "ussd = ucs2"}) {
        SCOPED_TRACE(state);
        e2e::Phone phone(e2e::sampleState(state));
        ASSERT_TRUE(phone.connect());
        UssdWindow window(phone);
        ASSERT_TRUE(window.dialog);
        window.request("*124#", "(Completato)");
        window.request("*144#", "(Completato)");
        EXPECT_EQ(window.shown(), u("> *124#\nPromo [GIGA]: {50 Giga} a 9,99€ ~ solo oggi | ^_^\n(Completato)\n"
                                    "> *144#\nБаланс: 100,50 ₽\n(Completato)"));
        EXPECT_EQ(window.code->count(), 2);
        EXPECT_EQ(window.code->itemText(0), "*144#");
    }
}

// At most ten codes are offered, the latest first; the button is for a
// connected phone, and a disconnection closes the dialog.
TEST(UssdDialog, TenCodesKeptAndTheButtonFollowsTheConnection)
{
    e2e::Phone phone(e2e::sampleState());
    Form1& form = phone.form();
    for (int i = 9; i >= 0; --i)
        form.Ussd->codes << QStringLiteral("*%1#").arg(i);
    ASSERT_TRUE(phone.connect());
    UssdWindow window(phone);
    ASSERT_TRUE(window.dialog);
    EXPECT_EQ(window.code->count(), 10);
    window.request("*123#", "(Completato)");
    EXPECT_EQ(window.code->count(), 10);
    EXPECT_EQ(window.code->itemText(0), "*123#");
    EXPECT_EQ(window.code->itemText(9), "*1#"); // the oldest, "*0#", is gone
    EXPECT_EQ(form.Ussd->codes.size(), 10);

    QTest::mouseClick(form.Command2, Qt::LeftButton); // disconnect
    EXPECT_TRUE(e2e::waitFor([&] { return !window.dialog; }));
    EXPECT_FALSE(form.Command13->isEnabled());
}

} // namespace
