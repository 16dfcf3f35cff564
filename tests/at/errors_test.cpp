// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/errors.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

struct ErrorCase {
    const char* line;
    int cms;
    int cme;
};

const ErrorCase kErrors[] = {
    {"+CMS ERROR: 321", 321, -1},
    {"+cms error:321", 321, -1},
    {"  +CMS ERROR:  500 ", 500, -1},
    {"+CMS ERROR: invalid memory index", 321, -1},
    {"+CME ERROR: 22", -1, 22},
    {"+CME ERROR: not found", -1, 22},
    {"+CME ERROR: SIM busy", -1, -1},
    {"+CME ERROR: 99999999999", -1, -1},
    {"+CMS ERROR:", -1, -1},
    {"ERROR", -1, -1},
    {"", -1, -1},
};

TEST(ExtendedErrors, CodesOfBothKinds)
{
    for (const ErrorCase& c : kErrors) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(at::CmsError(QString::fromLatin1(c.line)), c.cms);
        EXPECT_EQ(at::CmeError(QString::fromLatin1(c.line)), c.cme);
    }
}

TEST(ExtendedErrors, ReasonsInTheUsersWords)
{
    const std::pair<const char*, const char*> cases[] = {
        {"+CMS ERROR: 330", "numero del centro servizi sconosciuto"},
        {"+cms error:331", "nessuna rete"},
        {"+CMS ERROR: 500", "errore sconosciuto"},
        {"+CMS ERROR: 42", "rete congestionata"},
        {"+CMS ERROR: 999", "errore 999 del cellulare"},
        {"+CME ERROR: 11", "la SIM chiede il PIN"},
        // The phone book's refusals of a write (GSM 07.07 9.2.1).
        {"+CME ERROR: 20", "memoria piena"},
        {"+CME ERROR: 21", "indice non valido"},
        {"+CME ERROR: 24", "nome troppo lungo"},
        {"+CME ERROR: 26", "numero troppo lungo"},
        {"+CME ERROR: 1234", "errore 1234 del cellulare"},
        {"+CMS ERROR: SMSC address unknown", "SMSC address unknown"}, // +CMEE=2
        {"+CMS ERROR:", ""},
        {"ERROR", ""},
        {"", ""},
    };
    for (const auto& [line, reason] : cases)
        EXPECT_EQ(at::ErrorReason(QString::fromLatin1(line)), QString::fromUtf8(reason)) << line;
}

} // namespace
