#include "window/form1.h"

void Form1::Command4_Click() {}
void Form1::List1_Click() {}
QString Form1::Leggi_SMS(int16_t) { return QString(); }
void Form1::Command11_Click() {}
void Form1::Command6_Click() {}
void Form1::Command9_Click() {}
