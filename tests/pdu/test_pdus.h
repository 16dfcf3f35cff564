// SPDX-License-Identifier: GPL-3.0-or-later
// Building test PDUs by hand: septet packing and an SMS-DELIVER around given
// user data. The packing agrees with the encoder on the published vectors
// of submit_test.cpp.
#pragma once

#include "pdu/pdu.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// GoogleTest shows a QString as its UTF-8 text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace testpdu {

// One stored message and what each decoder gives for it; nullptr where a
// row does not check a field, no kind where it does not check PduKind.
struct Fields {
    const char* name;
    int16_t tipo;
    const char* pak;
    const char* serviceCentre;
    const char* number;
    const char* time;
    const char* date;
    const char* text;
    std::optional<SmsKind> kind = std::nullopt;
};

inline void PrintTo(const Fields& f, std::ostream* os) { *os << f.name; }

inline std::string rowName(const testing::TestParamInfo<Fields>& info) { return info.param.name; }

// Every field a row checks, each failure naming its decoder.
inline void expectFields(const Fields& m)
{
    const QString pak = QString::fromLatin1(m.pak);
    const auto expect = [](const char* field, const char* expected, const QString& actual) {
        if (expected) {
            EXPECT_EQ(QString::fromUtf8(expected), actual) << field;
        }
    };
    expect("RivNumCS", m.serviceCentre, RivNumCS(pak));
    expect("RivNumMT", m.number, RivNumMT(m.tipo, pak));
    expect("RivOra", m.time, RivOra(m.tipo, pak));
    expect("RivData", m.date, RivData(m.tipo, pak));
    expect("RivTesto", m.text, RivTesto(m.tipo, pak));
    if (m.kind) {
        EXPECT_EQ(int(*m.kind), int(PduKind(pak))) << "PduKind";
    }
}

inline std::string hex(const std::vector<int>& octets)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (int o : octets) {
        s += digits[(o >> 4) & 15];
        s += digits[o & 15];
    }
    return s;
}

// Septet k at bits fill + 7k .. fill + 7k + 6, least significant first;
// `fill` zero bits come first (after a user-data header).
inline std::string packed(const std::vector<int>& septets, int fill = 0)
{
    std::vector<int> octets((fill + 7 * septets.size() + 7) / 8, 0);
    for (size_t k = 0; k < septets.size(); ++k)
        for (int b = 0; b < 7; ++b)
            if (septets[k] >> b & 1) {
                const size_t bit = fill + 7 * k + b;
                octets[bit / 8] |= 1 << (bit % 8);
            }
    return hex(octets);
}

inline std::vector<int> codesOf(const char* ascii)
{
    std::vector<int> codes;
    for (const char* c = ascii; *c; ++c)
        codes.push_back(*c);
    return codes;
}

// SMS-DELIVER without service centre, originator "+" (no digits), stamp
// 2003-01-28 14:35:07.
inline QString deliver(const std::string& firstOctet, const std::string& dcs, const std::string& udl,
                       const std::string& ud)
{
    return QString::fromStdString("00" + firstOctet + "0091" + "00" + dcs + "30108241537040" + udl + ud);
}

} // namespace testpdu
