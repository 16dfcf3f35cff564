// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for what reads the phone's words: the answer parsers and
// the link's framing. Input: one selector byte, one byte of piece size,
// then the characters as they came on the line (Latin-1): the selector's
// low bits choose the command they answer. Besides the sanitizers' checks:
//  - an answer fed to the final watch in pieces is flagged whenever the
//    answer so far is complete;
//  - what the parsers give keeps the bounds they promise.
// The "+CUSD:" parser and the USSD decoder run on the same text.
#include "at/cmgr.h"
#include "at/cnmi.h"
#include "at/cpbr.h"
#include "at/cpbw.h"
#include "at/cpin.h"
#include "at/cpms.h"
#include "at/csca.h"
#include "at/cusd.h"
#include "at/errors.h"
#include "at/numbers.h"
#include "at/unsolicited.h"
#include "link/framing.h"
#include "pdu/ussd.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

const char* const kCommands[] = {"AT+CMGR=1",    "AT+CMGL=4", "AT+CPBR=1,250", "AT+CPMS?",
                                 "AT+CMGS=14\r", "AT+CSCA?",  "ATZ",           ""};

void frame(const QString& collected, const QString& command, qsizetype piece)
{
    phonelink::FinalWatch watch;
    bool complete = false;
    bool flagged = false;
    for (qsizetype at = 0; at < collected.size(); at += piece) {
        const bool flag = watch.feed(QStringView(collected).mid(at, piece));
        const bool now = phonelink::answerEnd(phonelink::normalise(collected.left(at + piece), command))
                         != phonelink::AnswerEnd::None;
        if (now && !complete)
            flagged = flag;
        else if (now && flag)
            flagged = true;
        complete = now;
        // Once complete, an answer stays complete as characters follow: the
        // rest is left out.
        if (complete)
            break;
    }
    check(!complete || flagged);
    // What follows a final line begins inside the text, past that line.
    const qsizetype after = phonelink::afterFinalLine(collected);
    check(after == -1 || (after > 0 && after <= collected.size()));
    if (after >= 0)
        phonelink::endsInsideLine(collected.mid(after));
    const QString answer = phonelink::cleanAnswer(phonelink::normalise(collected, command));
    // Line ends become CR LF: twice the characters at most, and the framing around.
    check(answer.size() <= 2 * collected.size() + 8);
}

void parse(const QString& answer)
{
    const at::CmgrAnswer slot = at::ParseCmgr(answer, answer.left(20));
    check(slot.tipo >= -1 && slot.tipo <= 255);
    for (const at::CmglEntry& entry : at::ParseCmgl(answer))
        check(entry.pak == at::PduLine(entry.pak));
    if (const auto listed = at::ParseCmglStore(answer, 30, int(at::ParseCmgl(answer).size()))) {
        for (const at::CmglEntry& entry : *listed)
            check(entry.index >= 1 && entry.index <= 30);
    }
    const at::CpbrRange range = at::ParseCpbrRange(answer);
    if (range.valid)
        check(range.numberLength >= 0 && range.numberLength <= 80 && range.nameLength >= 0 && range.nameLength <= 250);
    if (const auto entries = at::ParseCpbrEntries(answer, 1, 250)) {
        for (const at::CpbrEntry& entry : *entries)
            check(entry.index >= 1 && entry.index <= 250);
    }
    if (const auto limits = at::ParseBookLimits(answer))
        check(limits->first <= limits->last && limits->numberLength <= 80 && limits->nameLength <= 250);
    // A contact's number and name never bring a "+" or a control byte to
    // the command line.
    if (const auto number = at::ContactNumberOf(answer)) {
        check(!number->digits.isEmpty() && !number->digits.contains(QLatin1Char('+')));
        check(number->type == 129 || number->type == 145);
        check(!at::ContactNumberText(number->digits, number->type).startsWith(QLatin1String("++")));
    }
    if (const auto name = at::PhonebookNameArgument(answer, QStringLiteral("GSM"))) {
        check(name->size() == answer.size());
        for (const QChar c : *name)
            check(c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('"'));
    }
    check(at::NameCost(answer) >= answer.size());
    at::CpmsSelected(answer);
    if (const auto capacity = at::CpmsCapacity(answer, u"SM"))
        check(*capacity >= 0);
    if (const auto used = at::CpmsUsed(answer, u"SM"))
        check(*used >= 0);
    at::ParseCsca(answer);
    at::ParseCpin(answer);
    if (const auto tries = at::ParsePinTries(answer))
        check(*tries >= 0);
    // A setting is only ever made of what the phone offered.
    if (const auto offer = at::ParseCnmiTest(answer)) {
        if (const auto setting = at::CnmiSetting(*offer)) {
            const QStringList values = setting->split(QLatin1Char(','));
            check(values.size() >= 2 && size_t(values.size()) <= std::max<size_t>(2, offer->size()));
            for (qsizetype i = 0; i < values.size(); ++i)
                check(values[i].isEmpty()
                      || (size_t(i) < offer->size() && offer->at(size_t(i)).count(values[i].toInt())));
        }
    }
    if (const auto stored = at::ParseStoredIndication(answer))
        check(stored->slot >= 0 && stored->slot <= 65535 && !stored->store.isEmpty());
    if (const auto pdu = at::ParseCdsPdu(answer))
        check(!pdu->isEmpty());
    at::ErrorReason(answer);
    at::DialledNumber(answer);
    at::LeadingNumber(answer);
    const at::Unsolicited taken = at::RemoveUnsolicited(answer, QStringLiteral("AT+CREG?"));
    check(taken.kept.size() <= answer.size());
    check(taken.unfinished >= -1 && taken.unfinished <= taken.kept.size());
    // A USSD answer is read as its coding says, as another form, or as it
    // came; never longer than it came.
    if (const auto cusd = at::ParseCusd(answer)) {
        check(cusd->m >= 0 && cusd->m <= 999 && (!cusd->dcs || (*cusd->dcs >= 0 && *cusd->dcs <= 255)));
        if (cusd->str) {
            const UssdText text = DecodeUssd(*cusd->str, cusd->dcs);
            check(text.text.size() <= cusd->str->size());
            check(text.reading != UssdReading::AsSent || text.text == *cusd->str);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QString command = QString::fromLatin1(kCommands[data[0] % 8]);
    const qsizetype piece = 1 + data[1] % 64;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    frame(text, command, piece);
    parse(text);
    return 0;
}
