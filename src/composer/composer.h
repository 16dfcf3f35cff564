// SPDX-License-Identifier: GPL-3.0-or-later
// The composer's text work that needs no widget: the recipient taken from
// the field a pick fills, and the packing of "ZIP SMS".
#pragma once

#include "link/phonelink.h"

#include <QString>

#include <functional>

// The recipient in the field: the text before the first "³" (a picked row
// holds number, padding, " ³ ", name), or the whole field; spaces trimmed.
QString RecipientFromField(const QString& field);

// The text of a failed send: `failure` ("Invio sms fallito") with the
// reason the phone gave in `extendedError` ("+CMS ERROR: 330"), or why the
// link gave up (`why`) when `answer` is its give-up, and "..".
QString SendFailure(const QString& failure, const QString& answer, const QString& extendedError,
                    phonelink::GiveUp why = phonelink::GiveUp::Silent);

// "ZIP SMS": the words (whatever lies up to and including a space) come out
// alternately in upper and lower case, beginning with upper case, and every
// space goes. "ciao come stai" gives "CIAOcomeSTAI". `yield` runs once per
// character, as the window lets its events run.
QString ZipSms(const QString& text, const std::function<void()>& yield = {});
