// SPDX-License-Identifier: GPL-3.0-or-later
// The USSD capability without a window, against the simulated network:
// each dialect decoded, the form that works found once and kept for the
// model, a menu answered and ended, and nothing sent twice on silence.
#include "phone/ussd.h"
#include "phone_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using phonetest::Line;
using phonetest::sample;
using phonetest::u;
using phonetest::waitFor;

const QString kPortClosed = QStringLiteral("Porta non aperta..");

// What the network answered and what failed, as the capability told it.
struct Heard {
    explicit Heard(phone::Ussd& ussd)
    {
        QObject::connect(&ussd, &phone::Ussd::answered, [this](const phone::UssdAnswer& a) { answers.push_back(a); });
        QObject::connect(&ussd, &phone::Ussd::failed, [this](const QString& why) { failures.push_back(why); });
    }
    std::vector<phone::UssdAnswer> answers;
    std::vector<QString> failures;
};

int sent(const Line& line, const std::string& prefix)
{
    const std::vector<std::string> commands = line.sim->commands();
    return int(
        std::count_if(commands.begin(), commands.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

TEST(Ussd, ACreditCheckInEachDialect)
{
    struct Dialect {
        const char* state;
        const char* firstCommand; // what the phone got first
        int sends;                // AT+CUSD=1 commands in all
        UssdForm kept;
    };
    const Dialect dialects[] = {
        {"ussd = text", "AT+CUSD=1,\"*123#\",15", 1, UssdForm::Text},
        {"ussd = hex", "AT+CUSD=1,\"*123#\",15", 2, UssdForm::PackedHex}, // refused as text, then packed
        {"ussd = ucs2", "AT+CUSD=1,\"*123#\",15", 1, UssdForm::Text},
    };
    for (const Dialect& d : dialects) {
        SCOPED_TRACE(d.state);
        Line line(sample(d.state));
        phone::Ussd ussd(line.session, kPortClosed);
        Heard heard(ussd);
        ASSERT_TRUE(ussd.send("*123#"));
        EXPECT_EQ(line.feedback.last(), "Richiesta USSD in corso..");
        EXPECT_EQ(ussd.state(), phone::Ussd::State::Waiting);
        ASSERT_TRUE(waitFor([&] { return !heard.answers.empty(); }));
        EXPECT_EQ(heard.answers[0].m, 0);
        EXPECT_EQ(heard.answers[0].text, u("Credito residuo: 12,50 EUR. Scadenza 31/12/2026."));
        EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
        EXPECT_EQ(line.sim->commands().at(1), d.firstCommand); // after +CGMM
        EXPECT_EQ(sent(line, "AT+CUSD=1,"), d.sends);
        EXPECT_EQ(ussd.formsByModel.value("Nokia 6310i"), d.kept);
        EXPECT_EQ(ussd.codes, QStringList{"*123#"});

        // The next code goes in the form that worked, at once.
        line.sim->clearTranscript();
        ASSERT_TRUE(ussd.send("*144#"));
        ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 2; }));
        EXPECT_EQ(heard.answers[1].text, u("Баланс: 100,50 ₽"));
        EXPECT_EQ(sent(line, "AT+CUSD=1,"), 1);
        EXPECT_EQ(sent(line, "AT+CGMM"), 0);
        EXPECT_TRUE(heard.failures.empty());
    }
}

// A form kept from another run that this phone's network does not take:
// "+CUSD: 4", then the code once more as text, which is kept from then on.
TEST(Ussd, AFormTheNetworkDoesNotTakeIsTriedOnceInTheOther)
{
    Line line(sample("ussd_delay_ms = 20"));
    phone::Ussd ussd(line.session, kPortClosed);
    ussd.formsByModel.insert("Nokia 6310i", UssdForm::PackedHex);
    Heard heard(ussd);
    ASSERT_TRUE(ussd.send("*124#"));
    ASSERT_TRUE(waitFor([&] { return !heard.answers.empty(); }));
    EXPECT_EQ(heard.answers[0].text, u("Promo [GIGA]: {50 Giga} a 9,99€ ~ solo oggi | ^_^"));
    EXPECT_EQ(line.sim->commands(),
              (std::vector<std::string>{"AT+CGMM", "AT+CUSD=1,\"AA988C3602\",15", "AT+CUSD=1,\"*124#\",15"}));
    EXPECT_EQ(ussd.formsByModel.value("Nokia 6310i"), UssdForm::Text);

    // An unknown code is refused in both forms and told as the network said.
    line.sim->clearTranscript();
    ASSERT_TRUE(ussd.send("*999#"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 2; }));
    EXPECT_EQ(heard.answers[1].m, 4);
    EXPECT_EQ(sent(line, "AT+CUSD=1,"), 2);
    EXPECT_EQ(line.feedback.last(), "USSD: Operazione non supportata..");
}

// A refusal that comes while another operation holds the phone: the code
// goes again once the phone is free, with no beep, and only then.
TEST(Ussd, ARetryWaitsForAPhoneThatIsBusy)
{
    Line line(sample("ussd_delay_ms = 20"));
    phone::Ussd ussd(line.session, kPortClosed);
    ussd.formsByModel.insert("Nokia 6310i", UssdForm::PackedHex);
    Heard heard(ussd);
    ASSERT_TRUE(ussd.send("*123#"));
    std::optional<phone::Operation> other(std::in_place, line.session);
    ASSERT_TRUE(other->taken());
    ASSERT_TRUE(waitFor([&] { return line.session.link().notices().contains("+CUSD: 4"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(sent(line, "AT+CUSD=1,"), 1);
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Waiting);
    other.reset();
    ASSERT_TRUE(waitFor([&] { return !heard.answers.empty(); }));
    EXPECT_EQ(heard.answers[0].text, u("Credito residuo: 12,50 EUR. Scadenza 31/12/2026."));
    EXPECT_EQ(sent(line, "AT+CUSD=1,"), 2);
    EXPECT_EQ(line.feedback.beeps, 0);
}

TEST(Ussd, AMenuTwoLevelsDeepAnsweredThenEnded)
{
    Line line(sample("ussd_delay_ms = 20"));
    phone::Ussd ussd(line.session, kPortClosed);
    Heard heard(ussd);
    ASSERT_TRUE(ussd.send("*100#"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 1; }));
    EXPECT_EQ(heard.answers[0].m, 1);
    EXPECT_EQ(heard.answers[0].text, u("Menu\n1 Credito\n2 Offerte\n0 Esci"));
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Menu);
    ASSERT_TRUE(ussd.send("2"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 2; }));
    EXPECT_EQ(heard.answers[1].text, u("Offerte\n1 Giga 50: 9,99 EUR\n2 Minuti 500: 5 EUR\n9 Indietro"));
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Menu);
    ussd.end();
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
    EXPECT_EQ(line.sim->commands().back(), "AT+CUSD=2");
    EXPECT_EQ(ussd.codes, QStringList{"*100#"}); // a reply is no code to keep

    // The network ends a session itself.
    ASSERT_TRUE(ussd.send("*100#"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 3; }));
    ASSERT_TRUE(ussd.send("0"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 4; }));
    EXPECT_EQ(heard.answers[3].m, 2);
    EXPECT_TRUE(heard.answers[3].text.isEmpty());
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
    line.sim->clearTranscript();
    ussd.end(); // nothing open: nothing sent
    EXPECT_TRUE(line.sim->commands().empty());
}

// A phone that answers "+CUSD:" before the OK of the request.
TEST(Ussd, AnAnswerBeforeTheOk)
{
    Line line(sample("ussd_delay_ms = 20"));
    phone::Ussd ussd(line.session, kPortClosed);
    Heard heard(ussd);
    ASSERT_TRUE(ussd.send("*123#"));
    ASSERT_TRUE(waitFor([&] { return !heard.answers.empty(); }));
    // The network's own answer would come long after this one.
    ASSERT_EQ(line.sim->control("set ussd_delay_ms 3600000"), "OK");
    ASSERT_EQ(line.sim->control("fault unsolicited on before +CUSD: 0,\"Saldo 7 EUR\",15"), "OK");
    ASSERT_TRUE(ussd.send("*123#"));
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 2; }));
    EXPECT_EQ(heard.answers[1].text, "Saldo 7 EUR");
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
}

// The phone's silence: the request went once, never again. The network's
// silence: told after the wait, and the request ended.
TEST(Ussd, SilenceIsToldAndNothingGoesTwice)
{
    Line line(sample("ussd_delay_ms = 3600000"));
    phone::Ussd ussd(line.session, kPortClosed);
    ussd.formsByModel.insert("Nokia 6310i", UssdForm::Text);
    ussd.waitMs = 200;
    Heard heard(ussd);
    ASSERT_TRUE(ussd.send("*123#"));
    ASSERT_TRUE(waitFor([&] { return !heard.failures.empty(); }));
    EXPECT_EQ(heard.failures[0], "Nessuna risposta dalla rete entro 1 secondi..");
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
    EXPECT_EQ(line.sim->commands().back(), "AT+CUSD=2");
    EXPECT_EQ(sent(line, "AT+CUSD=1,"), 1);

    line.sim->clearTranscript();
    line.session.link().timing.deadlineMs = 300;
    ASSERT_EQ(line.sim->control("fault late on 3600000 AT+CUSD=1"), "OK");
    QString why;
    EXPECT_FALSE(ussd.send("*123#", &why));
    EXPECT_EQ(why.left(29), "il cellulare non risponde..");
    EXPECT_EQ(sent(line, "AT+CUSD=1,"), 1);
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
}

// What the network sends unasked is told to whoever shows the dialogue,
// never to panel 2; a request it makes may be answered.
TEST(Ussd, WhatTheNetworkSendsUnasked)
{
    Line line(sample("ussd_delay_ms = 20"));
    phone::Ussd ussd(line.session, kPortClosed);
    Heard heard(ussd);
    ASSERT_EQ(line.sim->control("unsolicited +CUSD: 0,\"Credito residuo 5 euro\",15"), "OK");
    ASSERT_TRUE(waitFor([&] { return !heard.answers.empty(); }));
    EXPECT_EQ(heard.answers[0].text, "Credito residuo 5 euro");
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Idle);
    EXPECT_TRUE(line.feedback.statuses.empty());

    ASSERT_EQ(line.sim->control("unsolicited +CUSD: 1,\"Menu\",15"), "OK");
    ASSERT_TRUE(waitFor([&] { return heard.answers.size() == 2; }));
    EXPECT_EQ(ussd.state(), phone::Ussd::State::Menu);
    EXPECT_TRUE(line.feedback.statuses.empty());
}

TEST(Ussd, WhatCannotGoIsRefusedBeforeTheLine)
{
    Line line(sample());
    phone::Ussd ussd(line.session, kPortClosed);
    QString why;
    EXPECT_FALSE(ussd.send("  ", &why));
    EXPECT_EQ(why, "Scrivere un codice..");
    EXPECT_FALSE(ussd.send(u("*ć#"), &why));
    EXPECT_EQ(why, "Il codice ha caratteri che la rete non accetta..");
    EXPECT_FALSE(ussd.send(QString(183, '1'), &why));
    EXPECT_EQ(why, "Codice troppo lungo: al massimo 182 caratteri..");
    EXPECT_EQ(sent(line, "AT+CUSD"), 0);
    line.session.link().close();
    EXPECT_FALSE(ussd.send("*123#", &why));
    EXPECT_EQ(why, kPortClosed);
    EXPECT_EQ(line.feedback.last(), kPortClosed);

    // Ten codes at most, the latest first, each once.
    for (int i = 0; i < 12; ++i)
        ussd.rememberCode(QStringLiteral("*%1#").arg(i));
    ussd.rememberCode("*5#");
    EXPECT_EQ(ussd.codes.size(), phone::Ussd::kKeptCodes);
    EXPECT_EQ(ussd.codes.first(), "*5#");
    EXPECT_EQ(ussd.codes.count("*5#"), 1);
    EXPECT_FALSE(ussd.codes.contains("*0#"));
}

} // namespace
