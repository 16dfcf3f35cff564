// SPDX-License-Identifier: GPL-3.0-or-later
// The program speaks Italian whatever the system's language: its own texts
// are Italian, and so are Qt's (dialogs, standard buttons, the command
// line's help), its dates and its numbers.
#pragma once

// Makes the Italian locale the default and installs Qt's Italian
// translation in the application object that exists now, with the program's
// own words for the few texts that translation lacks. Called once for each
// application object, before anything it shows is built. Without the
// translations installed, Qt's texts stay in English but for those few.
void SpeakItalian();
