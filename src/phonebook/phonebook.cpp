#include "window/form1.h"

void Form1::Command1_Click() {}
void Form1::Command7_Click() {}
void Form1::Command8_Click() {}
void Form1::Text5_Change() {}
void Form1::List2_Click() {}
