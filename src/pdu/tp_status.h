// SPDX-License-Identifier: GPL-3.0-or-later
// What the TP-Status of a status report says (TS 23.040 9.2.3.15): whether
// the message was delivered, the centre still tries, or it gave up, and the
// reason in words. Pure.
#pragma once

#include <QString>

enum class DeliveryOutcome {
    Delivered, // the transaction completed (0x00..0x1F)
    Pending,   // a temporary error, the centre still tries (0x20..0x3F)
    Failed,    // a permanent error, or a temporary one with no more tries
};

DeliveryOutcome OutcomeOf(int status);

// The status in words with its number: "periodo di validità scaduto, stato
// 70". A reserved value reads as a refused service, as the standard wants.
QString StatusWords(int status);
