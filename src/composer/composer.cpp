#include "window/form1.h"

void Form1::Command5_Click() {}
void Form1::Text1_Change() {}
void Form1::Text1_GotFocus() {}
void Form1::Text2_GotFocus() {}
void Form1::Command12_Click() {}
void Form1::Command10_Click() {}
