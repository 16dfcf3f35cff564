// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of a list box, in order, as the phone-book tests compare them.
#pragma once

#include "window/controls.h"

#include <QStringList>

inline QStringList rowsOf(const ListBox& list)
{
    QStringList rows;
    for (int i = 0; i < list.ListCount(); ++i)
        rows.append(list.List(i));
    return rows;
}
