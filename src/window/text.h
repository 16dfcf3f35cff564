// Small text helpers shared by the subsystems of the window.
#pragma once

#include <QString>

// The text without the spaces at both ends; tabs and line breaks stay
// (they are not spaces to a phone's answer or to a name field).
QString TrimSpaces(const QString& text);
