// SPDX-License-Identifier: GPL-3.0-or-later
// The object that owns the tests' precompiled headers (pch.h).
