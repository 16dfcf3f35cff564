// SPDX-License-Identifier: GPL-3.0-or-later
// What lasts from one run to the next: the device each of "COM 1" and
// "COM 2" stands for and which one is chosen, the five column check boxes,
// "SMS lungo" (not "Flash" and "Ricevuta", choices for one message), the
// folder of the last phone-book file, the window's geometry, the USSD codes
// used last and the form each phone model takes them in, and the message
// being written with its recipients (Text1, Text2). The window
// itself never reads or writes settings: main() loads them before showing
// it and saves them at the end, so a window made elsewhere (the tests)
// starts as it always did.
#pragma once

class Form1;
class QSettings;

// Sets the window from `settings`; an absent or unreadable key leaves its
// control as the window starts, so a first run looks as it always did.
void LoadSettings(Form1& form, QSettings& settings);
// Writes the window's state into `settings`.
void SaveSettings(const Form1& form, QSettings& settings);
// Has the window write its state into `settings` when it ends, just
// before it ends (Termina): by the window's close or "ESCI".
void SaveSettingsAtExit(Form1& form, QSettings& settings);
