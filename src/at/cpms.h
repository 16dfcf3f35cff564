// SPDX-License-Identifier: GPL-3.0-or-later
// The message stores: the answers to "+CPMS=<mem>" and "+CPMS?"
// (GSM 07.05 3.2.2), and the fields of an information line, which the
// other answer parsers share.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace at {

// A store holds at most this many slots; a phone that reports more sends a
// malformed answer.
constexpr int kMaxStoreCapacity = 10000;

// The parameters of an information line split at the commas that stand
// outside double quotes; each field loses the blanks around it and one pair
// of double quotes around its text ('"SM", 8, 20' gives SM, 8 and 20).
QStringList InfoFields(QStringView parameters);

// A field that is a plain decimal number from 0 to `max`, blanks around it
// allowed; absent for anything else (an empty field, a sign, a letter, a
// value beyond `max`).
std::optional<int> FieldNumber(QStringView field, int max);

// The parameters of the first line of `answer` that starts with `prefix`
// ("+CPMS:", letter case ignored, blanks before it allowed); absent when no
// line does.
std::optional<QString> InfoLine(const QString& answer, QLatin1String prefix);

// Whether the answer to a store selection "+CPMS=<mem>" says the store was
// selected: "+CPMS: <used>,<total>,..." or a bare "OK". "ERROR" in any
// letter case (the link's give-up "error" too) and anything else: not
// selected.
bool CpmsSelected(const QString& answer);

// The number of slots of `store` ("SM", "ME") in the answer to "+CPMS?",
// '+CPMS: "ME",3,150,"SM",5,20,"SM",5,20': the total of the first group that
// names the store, letter case ignored, quotes present or not, blanks around
// the fields allowed, the stores in any order. Absent when the answer is no
// "+CPMS:" line, does not name the store, or its group has no total from 0
// to kMaxStoreCapacity.
std::optional<int> CpmsCapacity(const QString& answer, QStringView store);

// The slots of `store` in use: in the answer to "+CPMS?", the used count of
// the group CpmsCapacity reads; in the answer to the selection
// "+CPMS=<store>", '+CPMS: 9,20,9,20,9,20', the first pair, which is the
// store just selected. Absent when the answer has no such pair, or its used
// count is no number or exceeds its total.
std::optional<int> CpmsUsed(const QString& answer, QStringView store);

} // namespace at
