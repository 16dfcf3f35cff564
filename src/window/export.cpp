// Exporting the lists: the stored messages as CSV, the phone book as vCards.
#include "window/form1.h"

void Form1::EsportaMessaggi() {}

void Form1::EsportaRubrica() {}
