// SPDX-License-Identifier: GPL-3.0-or-later
// Unsolicited result codes: the lines a phone sends on its own (a call
// ringing, a message arrived, the network changed), which can fall before,
// inside or after the answer to a command.
#pragma once

#include <QString>
#include <QStringList>

namespace at {

struct Unsolicited {
    QString kept;        // the text without the unsolicited lines
    QStringList removed; // each one removed, in order, without its line end
    // Where in `kept` an unsolicited code begins whose rest has not come
    // (a "+CMT:" without its PDU line, a "+CUSD:" string still open); -1: none.
    qsizetype unfinished = -1;
};

// Takes the unsolicited result codes out of `text`, the characters collected
// so far (it may still grow). Only complete lines are judged, a line being
// complete when its LF has arrived, or its CR and a character after it (a
// CR that ends the text may yet get its LF); an unfinished last line stays in
// `kept` as it came. Each removed line goes with its own line end (CR LF, LF
// or CR); the blank lines that framed it stay for the caller to drop. A
// "+CMT:", "+CDS:" or "+CBM:" line goes with the PDU line after it, as one
// entry of `removed` joined by CR LF; while that PDU line is unfinished the
// header stays in `kept`. A "+CUSD:" string may hold line ends: its lines
// up to the closing quote go as one entry, joined by LF, and while the
// quote has not come (for at most kLongestUssd characters) they stay in `kept`.
//
// `command` is the command line just sent ("AT+CREG?", "+CREG?" or empty):
// a line named as the command ("+CREG: 0,1" after AT+CREG?, "^SYSINFO:"
// after AT^SYSINFO) is its answer and stays.
constexpr qsizetype kLongestUssd = 4096;
Unsolicited RemoveUnsolicited(const QString& text, const QString& command = QString());

// Whether one line (without its line end) is an unsolicited result code
// when `command` was just sent.
bool IsUnsolicited(const QString& line, const QString& command = QString());

// Whether an unsolicited line says that the phone has just started: "RDY",
// "^SYSSTART", "+CFUN: 1", "+CPIN: READY", "SMS Ready", "Call Ready", "PB
// DONE", as common modems send them after a power-on or a reset. A phone
// that restarts has forgotten its settings (the character set first).
// Letter case and the blanks after the colon do not count.
bool IsRestart(const QString& line);

} // namespace at
