// SPDX-License-Identifier: GPL-3.0-or-later
// The program's version, as the build knows it ("1.5"): the window's title,
// --version and the AT log's header show it.
#pragma once

#include <QString>

QString ProgramVersion();
