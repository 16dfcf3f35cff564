// SPDX-License-Identifier: GPL-3.0-or-later
// The AT dialogue's fixed values and the parts of it that need no port:
// how a command line goes on the wire, how phones' framings are brought to
// one, when a collected answer is complete, and how the answer is cleaned.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace phonelink {

constexpr char kCtrlZ = '\x1A';
constexpr char kEsc = '\x1B'; // leaves the "> " prompt of +CMGS without sending

// Colours of the activity light Label16, red in the low byte.
constexpr quint32 kLightSend = 0xFF0000;    // blue: a command line written
constexpr quint32 kLightData = 0x00FF00;    // green: a read brought characters
constexpr quint32 kLightNothing = 0x0000FF; // red: a read brought nothing
constexpr quint32 kLightRetry = 0x00FFFF;   // yellow: about to send again
constexpr quint32 kLightIdle = 0x000000;    // black: no transaction

// "+CPMS?" goes out as "AT+CPMS?"; so does every line starting with "^".
// Tested before trimming, so " +X" gets no prefix.
QString withPrefix(const QString& command);

// The bytes written for a command line that already carries its prefix.
QByteArray wireLine(const QString& command);

// What a command line is, told once from its text: how the link waits for
// its answer, and whether it may be sent again when the phone stays silent.
struct Command {
    enum class Kind {
        Plain,   // one answer within the deadline
        Listing, // "+CMGL", a range "+CPBR=<i>,<j>": as long as the store, its
                 // deadline counts from the last character received
        Prompt,  // "+CMGS=", "+CMGW=": the phone waits at "> " for a PDU
        Pdu,     // the PDU after the prompt, ended by Ctrl-Z: the network's own deadline
    };
    QString line; // as written, "AT" in front where it takes one
    Kind kind = Kind::Plain;
    // Sent again on silence: only what does the same however often the phone
    // gets it (a read, a selection, a setting, the deletion of one slot).
    // A PIN, a message, a write, anything that creates something or spends a
    // try goes out once: a phone that answers late has still done it.
    bool repeatable = false;
};
Command classify(const QString& command);

// Watches the characters of one answer as they come, each once, for a line
// that may be its final result code or prompt: only then is the answer
// framed (normalise) to see whether it is complete, so that a long answer is
// not framed again from its start on every read.
class FinalWatch {
public:
    // The characters just read; true when the answer may now be complete.
    // It stays true after a possible final line until the characters after
    // another line: a CR that ends the text may still get its LF.
    bool feed(QStringView got);

private:
    static constexpr qsizetype kLongestFinal = 256;
    QString m_line;         // the unfinished line, its first kLongestFinal characters
    bool m_pending = false; // a possible final line, no other line after it
};

// The characters collected so far, in the framing of a textbook phone: NULs
// and blank lines dropped, any line end (CR LF, LF, CR CR LF) made CR LF, the
// unsolicited result codes taken out (the removed lines go to `removed`
// when given), an echo kept as its line and one CR. Once the final result
// code (OK, ERROR, +CME ERROR, +CMS ERROR, the "> " prompt) is there, the
// text is: [echo CR] [CR LF info lines joined by CR LF, CR LF] CR LF final
// CR LF (or CR LF "> "), and anything after the final code is left out.
// Until then a line is judged only when its line end has arrived: an
// unfinished last line comes after CR LF as it stands. A CR that ends the
// text waits for the LF that may follow. Text already in this framing comes
// back unchanged.
QString normalise(const QString& collected, const QString& command, QStringList* removed = nullptr);

// Whether one line (without its line end, blanks allowed around it) is a
// final result code: OK, ERROR, +CME ERROR: n, +CMS ERROR: n (any case) or
// the prompt ">".
bool isFinalLine(const QString& line);

// Where the characters after a complete answer's final result code begin
// in `collected` as it was read: just past the line end of its first line
// that is OK, ERROR, +CME ERROR or +CMS ERROR; -1 when it has none. What
// comes after it (an unsolicited code that followed at once, perhaps only
// its beginning) belongs to no answer and is read as the line between
// transactions is.
qsizetype afterFinalLine(const QString& collected);

// Whether `text` ends inside a line: characters other than blanks after its
// last line end.
bool endsInsideLine(const QString& text);

enum class AnswerEnd {
    None,          // keep waiting
    Final,         // CR LF "OK" CR LF, CR LF "ERROR" CR LF or CR LF "> "
    ExtendedError, // a complete CR LF "+CME ERROR: n" CR LF or "+CMS ERROR: n" line
};

// Whether the answer collected so far is complete. Letter case is ignored and
// the terminators may stand anywhere in it.
AnswerEnd answerEnd(const QString& collected);

// The result for a collected answer: spaces off both ends, one CR LF off
// the front and one off the back, then ">", "OK" and "ERROR" (any case) stand
// as they are; otherwise the closing blank line and "OK" (six characters)
// come off. An answer too short for that is returned as it stands.
QString cleanAnswer(const QString& collected);

} // namespace phonelink
