#include "window/form1.h"

void Form1::InitAT() {}
void Form1::Command2_Click() {}
void Form1::Command3_Click() {}
void Form1::Form_Unload() {}
void Form1::StatusBar1_PanelClick(int) {}
