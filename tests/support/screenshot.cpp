// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the window as a person sees it and saves it as a PNG, for looking
// at the layout: screenshot OUTPUT.png [rows|phone|long|-] [maximised]
// With "rows", a few list rows are filled in so that the box lines show; with
// "phone", it connects to the phone named in ZIRCALO_COM1, reads the phone
// books and the message list and opens the first message. With "maximised"
// the window fills the screen (xvfb-run -s "-screen 0 1280x900x24" gives
// 1280 x 900); without a window manager to maximise it, it is given the
// screen's free area.
#include "window/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png [rows|phone|long|-] [maximised]\n");
        return 2;
    }
    Form1 form;
    form.Termina = [] {};
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == QLatin1String("phone")) {
        form.show();
        form.Command2_Click();
        form.Command1_Click();
        form.Command4_Click();
        form.List1->setListIndex(2);
        form.Text1->setText(QStringLiteral("Ciao, ci vediamo domani alle 10?"));
    } else if (mode == QLatin1String("long")) {
        // "SMS lungo" with the longest counter it shows.
        form.Check8->setChecked(true);
        form.Text1->setText(QStringLiteral("Ciao! ").repeated(255));
    } else if (mode == QLatin1String("rows")) {
        form.Label5->setText(QString::fromUtf8(
            "Mem:   ³ Centro servizi:     ³ Tipo:  ³ Mitten./Dest.:      ³ Ora:     ³ Data:    ³ Testo:"));
        form.List1->AddItem(QString::fromUtf8(
            "S: 01/20 ´ +393359609600       ³ Nuovo  ³ Mario               ³ 12:34:56 ³ 31/12/03 ³ Ciao"));
        form.List1->AddItem(QString::fromUtf8(
            "S: 02/20 ´                     ³        ³                     ³          ³          ³ "));
        form.List2->AddItem(QString::fromUtf8("ÄÄÄÄÄÄÂÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÂÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ"));
        form.List2->AddItem(QString::fromUtf8("01/10 ´ +390123456789        ³ Mario, Rossi  "));
        form.List2->AddItem(QString::fromUtf8("ÄÄÄÄÄÄÁÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÁÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ"));
        form.Text1->setText(QStringLiteral("Ciao, ci vediamo domani alle 10?"));
    }
    const bool maximised = argc > 3 && QLatin1String(argv[3]) == QLatin1String("maximised");
    if (maximised) {
        form.showMaximized();
        QElapsedTimer waited;
        waited.start();
        while (form.size() == Form1::DefaultSize && waited.elapsed() < 2000)
            app.processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (form.size() == Form1::DefaultSize)
            form.setGeometry(form.screen()->availableGeometry());
    } else {
        form.show();
    }
    app.processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
