// SPDX-License-Identifier: GPL-3.0-or-later
// The composer's text work that needs no widget: the recipient taken from
// the field a pick fills, and the packing of "ZIP SMS".
#pragma once

#include "link/phonelink.h"
#include "pdu/pdu.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The recipient in the field: the text before the first "³" (a picked row
// holds number, padding, " ³ ", name), or the whole field; spaces trimmed.
QString RecipientFromField(const QString& field);

// The text of a failed send: `failure` ("Invio sms fallito") with the
// reason the phone gave in `extendedError` ("+CMS ERROR: 330"), or why the
// link gave up (`why`) when `answer` is its give-up, and "..".
QString SendFailure(const QString& failure, const QString& answer, const QString& extendedError,
                    phonelink::GiveUp why = phonelink::GiveUp::Silent);

// Why a command failed (a send, a read), as the status texts put it after a
// colon: the reason the phone gave in `extendedError`, or why the link gave
// up when `answer` is its give-up; empty when neither says.
QString FailureReason(const QString& answer, const QString& extendedError,
                      phonelink::GiveUp why = phonelink::GiveUp::Silent);

// The message reference in the network's confirmation "+CMGS: 12"
// (0..255); none in an answer without one.
std::optional<int> CmgsReference(const QString& answer);

// A long SMS stopped at `part` of `parts` (counted from 1), the parts
// before it sent: "Invio fallito alla parte 3 di 4: 2 parti inviate..",
// with the reason, when there is one, after the part.
QString PartFailure(int part, int parts, const QString& reason = QString());

// Label3 for `text`. Without "SMS lungo": the septets, "n/160". With it:
// "n/160" (septets) or "n/70" (UTF-16 units) for one SMS, and for more
// the units against what the parts hold, "n/306 (2 SMS)", "n/134 (2 SMS)".
QString CounterText(const QString& text, bool longSms);

// Text1's limit with "SMS lungo": ten parts, 1,530 septets or 670 UTF-16
// units. LongSmsLength counts a text as the counter does, and a text that
// needs more than ten parts as past the limit.
constexpr int kLongSmsLimit = 1530;
int LongSmsLength(const QString& text);

// The question before the plain encoder replaces characters: each one
// with what it becomes ("😀 → ?", "ć → c"), and "SMS lungo" offered.
QString ReplacementQuestion(const QList<Replacement>& replaced);

// "ZIP SMS": the words (whatever lies up to and including a space) come out
// alternately in upper and lower case, beginning with upper case, and every
// space goes. "ciao come stai" gives "CIAOcomeSTAI". `yield` runs once per
// character, as the window lets its events run.
QString ZipSms(const QString& text, const std::function<void()>& yield = {});
