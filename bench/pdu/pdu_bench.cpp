// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the codec: full decodes (all five decoders on one stored message)
// and encodes per second. Target: over 1,000,000 of each per second on one
// core, for a 160-character 7-bit message and a 70-character UCS2 one.
#include "pdu/pdu.h"
#include "pdu/ussd.h"

#include <benchmark/benchmark.h>

namespace {

// SMS-DELIVER from +395550100 via +3955500000 with the coding scheme `dcs`,
// up to the user-data length.
QString head(const char* dcs)
{
    return QStringLiteral("0691935505000004099193550501F000") + QLatin1String(dcs) + QStringLiteral("30108241537040");
}

QString sevenBit160()
{
    // 160 septets of "Ciao a tutti! " repeated, packed by the encoder.
    const QString text = QStringLiteral("Ciao a tutti! ").repeated(12).left(160);
    const SubmitPdu s = EncodeSubmit("+39", "1", text, false, false);
    // The SMS-SUBMIT ends with the user-data length and 140 octets.
    return head("00") + s.pdu.right(2 + 2 * 140);
}

QString ucs2Of70()
{
    QString ud = QStringLiteral("8C"); // 140 octets
    const QString text = QStringLiteral("Привет, как дела? ").repeated(4).left(70);
    for (QChar c : text)
        ud += QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return head("08") + ud;
}

void decodeAll(benchmark::State& state, const QString& pak)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(RivNumCS(pak));
        benchmark::DoNotOptimize(RivNumMT(0, pak));
        benchmark::DoNotOptimize(RivOra(0, pak));
        benchmark::DoNotOptimize(RivData(0, pak));
        benchmark::DoNotOptimize(RivTesto(0, pak));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeSevenBit160(benchmark::State& state)
{
    const QString pak = sevenBit160();
    if (RivTesto(0, pak).size() != 160)
        state.SkipWithError("the message does not decode to 160 characters");
    decodeAll(state, pak);
}
BENCHMARK(BM_DecodeSevenBit160);

void BM_DecodeUcs2Of70(benchmark::State& state)
{
    const QString pak = ucs2Of70();
    if (RivTesto(0, pak).size() != 70)
        state.SkipWithError("the message does not decode to 70 characters");
    decodeAll(state, pak);
}
BENCHMARK(BM_DecodeUcs2Of70);

// A stored status report (delivered), decoded in full as the list does.
void BM_DecodeStatusReport(benchmark::State& state)
{
    const QString pak = QStringLiteral("07911614786007F006060B911634092142F4019071011000040190710110450400060000");
    if (PduKind(pak) != SmsKind::StatusReport || RivTesto(0, pak) != u"Consegnato, rif. 6")
        state.SkipWithError("the report does not decode");
    decodeAll(state, pak);
}
BENCHMARK(BM_DecodeStatusReport);

void encode(benchmark::State& state, const QString& text)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeSubmit("+3912345678", "+393331234567", text, false, false));
    state.SetItemsProcessed(state.iterations());
}

void BM_EncodePlain160(benchmark::State& state)
{
    encode(state, QStringLiteral("Ciao a tutti! ").repeated(12).left(160));
}
BENCHMARK(BM_EncodePlain160);

// Accented letters, escape pairs and a letter sent without its accent, cut
// to the 160 septets that one message holds.
void BM_EncodeAccentedFull(benchmark::State& state)
{
    QString text = QString::fromUtf8("Però è già lì, €5 [ô] ").repeated(8);
    while (GsmSeptets(text) > 160)
        text.chop(1);
    if (EncodeSubmit("+39", "1", text, false, false).error != SubmitPdu::Error::None)
        state.SkipWithError("the text does not fit one message");
    encode(state, text);
}
BENCHMARK(BM_EncodeAccentedFull);

// The longest USSD answer, 182 septets as packed hex, read as the modems
// send it (dcs 15) and as a modem that says UCS2 for it (dcs 72), which
// tries every form before the packed one that fits.
void decodeUssd(benchmark::State& state, int dcs)
{
    const QString text = QStringLiteral("Credito residuo 12,50 EUR. ").repeated(7).left(182);
    const QString packed = EncodeUssd(text, UssdForm::PackedHex).value_or(QString());
    if (DecodeUssd(packed, dcs).text != text)
        state.SkipWithError("the answer does not decode to its text");
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeUssd(packed, dcs));
    state.SetItemsProcessed(state.iterations());
}
void BM_DecodeUssdPacked182(benchmark::State& state) { decodeUssd(state, 15); }
BENCHMARK(BM_DecodeUssdPacked182);
void BM_DecodeUssdPacked182AsUcs2(benchmark::State& state) { decodeUssd(state, 72); }
BENCHMARK(BM_DecodeUssdPacked182AsUcs2);

} // namespace
