// SPDX-License-Identifier: GPL-3.0-or-later
// What the end-to-end tests of the message store share: a few stored
// messages, a small phone to read them from, and phone-book rows for List2.
#pragma once

#include "support/e2e.h"

#include "phone/messages/message_rows.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
// Failures show the text, not its UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace storetest {

inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }
inline QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

// Messages of the sample phone (sim/tools/make_sample_pdus.py), service
// centre +393359609600.
// From +393471234567, 15/03/24 18:42:07.
inline const char* const CiaoStasera =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D0"
    "6C960BA190C146683E66F769AFE0689C3F21F";
inline const char* const CiaoStaseraText = "Ciao! Ci vediamo stasera alle 20:30 al solito bar?";
// From +393391122334, 24/12/23 20:30:00.
inline const char* const AuguriNatale =
    "0791933395066900040C9193331921324300003221420203004030C1FAB92E4F83C86990B8FE76839C617A985D069541E6323B3D2E8"
    "3C26EF71BE4AEBFEDEF10C8F976BBC3";
inline const char* const AuguriNataleText = "Auguri di buon Natale e felice anno nuovo! Nonna";
// Stored, to +393331112222.
inline const char* const ArrivoTraDieci =
    "079193339506690011000C919333131122220000AA3241B93C6D7F83E8F230889C2E8FD3A076DA5DA7A759A0F01C5EA6D3C3ED3488"
    "1CB687DDF43428CC0689C37217";
inline const char* const ArrivoTraDieciText = "Arrivo tra dieci minuti, aspettami davanti al bar.";
// From 3331234567 (national), 22/03/24 13:45:01.
inline const char* const ChiaviTrovateText = "Ho trovato le chiavi, erano in macchina :-)";
inline const char* const ChiaviTrovate =
    "0791933395066900040A8133133254760000423022315410402BC837882E7FDBC3F437885D068DD1E9B03DCD0295E561F71B947683D"
    "AE1F1189D768741BA560A";

// A phone with three SIM slots (1 read, 2 empty, 3 stored unsent) and two
// phone slots (1 unread, 2 read), and a SIM phone book whose +CPBR=? gives
// LungNumero 20 and LungNome 14. `extra` lines are appended.
inline std::string smallPhone(const std::string& extra = std::string())
{
    return std::string("sms.SM.capacity = 3\n") + "sms.SM.1 = 1 " + CiaoStasera + "\n" + "sms.SM.3 = 2 "
           + ArrivoTraDieci + "\n" + "sms.ME.capacity = 2\n" + "sms.ME.1 = 0 " + AuguriNatale + "\n" + "sms.ME.2 = 1 "
           + ChiaviTrovate + "\n" + "pb.SM.range = 1-10\n" + "pb.SM.number_length = 20\n" + "pb.SM.name_length = 14\n"
           + "cpbs = SM\n" + extra + "\n";
}

// A Form1 connected to a simulator with this state, its transcript cleared.
inline std::unique_ptr<e2e::Phone> connectedPhone(const std::string& state, e2e::Time time = e2e::Time::Real)
{
    auto phone = std::make_unique<e2e::Phone>(state, time);
    EXPECT_TRUE(phone->connect()) << "the window did not connect to the simulator";
    phone->clearTranscript();
    return phone;
}

// A phone-book row of List2 as the phone-book reader writes it, for a store
// of `last` entries and widths 20 and 14.
inline QString phoneBookRow(int index, int last, const QString& number, const QString& name)
{
    const int digits = int(QString::number(last).size());
    return QString::number(index).rightJustified(digits, QLatin1Char('0')) + QLatin1Char('/') + QString::number(last)
           + u(" ´ ") + store::Padded(number, 20) + u(" ³ ") + store::Padded(name, 14);
}

// Panel 2 without the use of the stores that ends it after a list read or
// a change ("SIM 9/20, cellulare 5/150").
inline QString statusOf(Form1& form)
{
    static const QRegularExpression use(QStringLiteral(" (SIM \\d+/\\d+(, )?)?(cellulare \\d+/\\d+)?$"));
    return form.StatusBar1->panelText(2).remove(use);
}

inline std::vector<QString> rowsOf(const ListBox* list)
{
    std::vector<QString> rows;
    for (int i = 0; i < list->ListCount(); ++i)
        rows.push_back(list->List(i));
    return rows;
}

inline store::Columns allColumns() { return store::Columns{}; }

} // namespace storetest
