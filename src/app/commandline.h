// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line:
//   zircalo [--com1 DEVICE] [--com2 DEVICE] [--log FILE] [--help] [--version]
#pragma once

#include "window/version.h"

#include <QString>
#include <QStringList>

class Form1;

struct CommandLine {
    QString com1; // the device "COM 1" stands for in this run; empty: not given
    QString com2;
    QString log; // the file the AT dialogue is written to; empty: none
    // --help, --version or a mistake: print `output` (to standard error
    // when exitCode is not 0) and end with exitCode instead of starting.
    bool exit = false;
    int exitCode = 0;
    QString output;
};

// Reads `arguments` (the program's name first, as QCoreApplication gives them).
CommandLine ParseCommandLine(const QStringList& arguments);

// Binds "COM 1" and "COM 2" to the devices given, for this run only: they
// win over ZIRCALO_COM1, ZIRCALO_COM2 and the remembered ports.
void ApplyCommandLine(Form1& form, const CommandLine& line);
