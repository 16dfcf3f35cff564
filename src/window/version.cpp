// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/version.h"

#ifndef ZIRCALO_VERSION
#define ZIRCALO_VERSION "0"
#endif

QString ProgramVersion() { return QStringLiteral(ZIRCALO_VERSION); }
