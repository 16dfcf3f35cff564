#include "window/form1.h"

QString Form1::InviaAT(const QString&) { return QStringLiteral("ERROR"); }
