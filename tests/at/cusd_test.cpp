// SPDX-License-Identifier: GPL-3.0-or-later
// "+CUSD:" lines as phones and modems write them, and a USSD string that
// spans lines taken out of the text around it whole.
#include "at/cusd.h"
#include "at/unsolicited.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Line {
    const char* name;
    const char16_t* line;
    std::optional<int> m; // none: not a +CUSD line
    std::optional<const char16_t*> str;
    std::optional<int> dcs;
};

const Line kLines[] = {
    {"status alone", u"+CUSD: 2", 2, std::nullopt, std::nullopt},
    {"no blank, lower case", u"+cusd:4", 4, std::nullopt, std::nullopt},
    {"the usual three fields", u"+CUSD: 0,\"Credito residuo 5,00 EUR\",15", 0, u"Credito residuo 5,00 EUR", 15},
    {"blanks after the commas", u"+CUSD: 1, \"1 Saldo\", 72", 1, u"1 Saldo", 72},
    {"no dcs", u"+CUSD: 0,\"Saldo\"", 0, u"Saldo", std::nullopt},
    {"an empty dcs", u"+CUSD: 0,\"Saldo\",", 0, u"Saldo", std::nullopt},
    {"a quote inside, unescaped", u"+CUSD: 0,\"Offerta \"Giga\" attiva\",15", 0, u"Offerta \"Giga\" attiva", 15},
    {"a comma and a number inside", u"+CUSD: 0,\"Saldo: 5,00\",15", 0, u"Saldo: 5,00", 15},
    {"hex, no quotes (old Siemens)", u"+CUSD: 0,D3309BFC06,15", 0, u"D3309BFC06", 15},
    {"cut before its quote", u"+CUSD: 1,\"1 Saldo", 1, u"1 Saldo", std::nullopt},
    {"line ends inside", u"+CUSD: 1,\"1 Saldo\r\n2 Offerte\",15", 1, u"1 Saldo\n2 Offerte", 15},
    {"an empty string", u"+CUSD: 0,\"\",15", 0, u"", 15},
    {"a dcs out of range", u"+CUSD: 0,\"x\",999", 0, u"x", std::nullopt},
    {"no status", u"+CUSD: ,\"x\",15", std::nullopt, std::nullopt, std::nullopt},
    {"another code", u"+CUSATP: 0", std::nullopt, std::nullopt, std::nullopt},
    {"nothing", u"", std::nullopt, std::nullopt, std::nullopt},
};

TEST(Cusd, EachFormOfTheLine)
{
    for (const Line& l : kLines) {
        SCOPED_TRACE(l.name);
        const std::optional<at::Cusd> got = at::ParseCusd(QString::fromUtf16(l.line));
        ASSERT_EQ(got.has_value(), l.m.has_value());
        if (!got)
            continue;
        EXPECT_EQ(got->m, *l.m);
        ASSERT_EQ(got->str.has_value(), l.str.has_value());
        if (got->str) {
            EXPECT_EQ(got->str->toStdString(), QString::fromUtf16(*l.str).toStdString());
        }
        EXPECT_EQ(got->dcs, l.dcs);
    }
}

TEST(Cusd, StatusInWords)
{
    EXPECT_EQ(at::UssdStatusText(0), QStringLiteral("Completato"));
    EXPECT_EQ(at::UssdStatusText(1), QStringLiteral("La rete attende una risposta"));
    EXPECT_EQ(at::UssdStatusText(2), QStringLiteral("Sessione terminata dalla rete"));
    EXPECT_EQ(at::UssdStatusText(4), QStringLiteral("Operazione non supportata"));
    EXPECT_EQ(at::UssdStatusText(5), QStringLiteral("Tempo scaduto sulla rete"));
    EXPECT_EQ(at::UssdStatusText(9), QStringLiteral("stato 9"));
}

TEST(Cusd, AStringOverSeveralLinesIsTakenOutWhole)
{
    const QString menu = "+CUSD: 1,\"Menu\r\n1 Saldo\r\n\r\n2 Offerte\",15";
    // Between an answer's lines, and alone with LF line ends.
    at::Unsolicited got = at::RemoveUnsolicited("\r\n+CSQ: 21,99\r\n\r\n" + menu + "\r\n\r\nOK\r\n", "AT+CSQ");
    ASSERT_EQ(got.removed.size(), 1);
    EXPECT_EQ(got.removed.at(0), QStringLiteral("+CUSD: 1,\"Menu\n1 Saldo\n\n2 Offerte\",15"));
    EXPECT_EQ(got.kept, QStringLiteral("\r\n+CSQ: 21,99\r\n\r\n\r\nOK\r\n"));
    EXPECT_EQ(got.unfinished, -1);
    got = at::RemoveUnsolicited("\n+CUSD: 0,\"a\nb\",15\n");
    EXPECT_EQ(got.removed, QStringList{"+CUSD: 0,\"a\nb\",15"});

    // Until the closing quote comes, the code waits in what is kept.
    const QString head = "\r\n+CUSD: 1,\"Menu\r\n1 Saldo\r\n";
    got = at::RemoveUnsolicited(head);
    EXPECT_TRUE(got.removed.isEmpty());
    EXPECT_EQ(got.kept, head);
    EXPECT_EQ(got.unfinished, 2);

    // A string that never closes goes as its first line.
    QString endless = "+CUSD: 1,\"x\r\n";
    while (endless.size() < 2 * at::kLongestUssd)
        endless += "riga senza fine\r\n";
    got = at::RemoveUnsolicited(endless);
    ASSERT_FALSE(got.removed.isEmpty());
    EXPECT_EQ(got.removed.at(0), QStringLiteral("+CUSD: 1,\"x"));
}

} // namespace
