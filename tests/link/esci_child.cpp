// SPDX-License-Identifier: GPL-3.0-or-later
// A window that a test runs as a child process to see the program end on
// "ESCI". ZIRCALO_COM1 names the phone. The mode is the first argument:
//   closed  click "ESCI" with the port closed
//   open    connect, then click "ESCI"
//   window  connect, then close the window
//   wait    connect, print "CONNESSO", read a line from standard input, then
//           send +CSQ and click "ESCI" while its answer is awaited
// The program must end through Form_Unload with status 0; coming back here
// after the click exits with status 3.
#include "window/form1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    Form1 form;

    if (mode != "closed") {
        form.Command2_Click();
        if (form.StatusBar1->panelText(1) != QLatin1String("CONNESSO"))
            return 2;
    }
    if (mode == "wait") {
        std::cout << "CONNESSO" << std::endl;
        std::string go;
        std::getline(std::cin, go);
        QTimer::singleShot(0, &form, [&form] { form.StatusBar1_PanelClick(3); });
        form.InviaAT(QStringLiteral("+CSQ"));
    } else if (mode == "window") {
        form.close();
    } else {
        form.StatusBar1_PanelClick(3);
    }
    return 3;
}
