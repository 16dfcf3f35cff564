// SPDX-License-Identifier: GPL-3.0-or-later
// A long SMS of ten parts (1530 septets, "SMS lungo" checked) on a phone
// paced like a real line (19200 baud 8N1, 30 ms of thinking per command),
// wall time of:
//   WindowLongSms  "Invia SMS" (Command5) in the window
//   BareSender     the same ten +CMGS dialogues (the length, the "> "
//                  prompt, the PDU and Ctrl-Z, "+CMGS: <mr>" and OK),
//                  written and read on the pty by this program, nothing else
// Goal: WindowLongSms within 1.2x of BareSender.
#include "common/bare_line.h"
#include "support/e2e.h"

#include "pdu/pdu.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kParts = 10;

const std::string Paced = "fault.slow = on 30\n";
const QString ServiceCentre = QStringLiteral("+393359609600");
const QString Recipient = QStringLiteral("+393471234567");
const QString Text = QString(153 * kParts, QLatin1Char('a'));

void WindowLongSms(benchmark::State& state)
{
    e2e::Phone phone(e2e::sampleState(Paced));
    if (!phone.connect()) {
        state.SkipWithError("the window did not connect");
        return;
    }
    Form1& form = phone.form();
    form.Text4->setText(ServiceCentre);
    form.Text2->setText(Recipient);
    form.Check8->click();
    form.Text1->setText(Text);
    for (auto _ : state) {
        const size_t before = phone.sim().sentPdus().size();
        phone.clearTranscript();
        form.Command5_Click();
        if (phone.sim().sentPdus().size() - before != kParts) {
            state.SkipWithError("the window did not send ten parts");
            break;
        }
        // Two lines a part: the length and the PDU.
        state.counters["commands"] = double(phone.commands().size());
    }
}

void BareSender(benchmark::State& state)
{
    const SubmitParts message = EncodeSubmitParts(ServiceCentre, Recipient, Text, false, false, 7);
    if (message.parts.size() != kParts) {
        state.SkipWithError("the text is not ten parts");
        return;
    }
    e2e::Phone phone(e2e::sampleState(Paced));
    const int fd = bareline::OpenFor(state, phone.device());
    if (fd < 0)
        return;
    std::string answer;
    for (auto _ : state) {
        const size_t before = phone.sim().sentPdus().size();
        for (const SubmitPdu& part : message.parts) {
            if (!bareline::Exchange(fd, "AT+CMGS=" + std::to_string(part.cmgsLength) + "\r", "> ", answer)
                || !bareline::Exchange(fd, part.pdu.toStdString() + "\x1A", "\r\nOK\r\n", answer)) {
                state.SkipWithError("the phone refused the bare sender");
                break;
            }
        }
        if (phone.sim().sentPdus().size() - before != kParts) {
            state.SkipWithError("the bare sender did not send ten parts");
            break;
        }
    }
    close(fd);
}

} // namespace

BENCHMARK(WindowLongSms)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BareSender)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
