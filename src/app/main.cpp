// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "app/settings.h"
#include "link/atlog.h"
#include "window/form1.h"
#include "window/italian.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

int main(int argc, char* argv[])
{
    // --help and --version answer without a display: the command line is
    // read before the window system is reached.
    CommandLine line;
    {
        QCoreApplication reader(argc, argv);
        reader.setApplicationName(QStringLiteral("zircalo"));
        reader.setApplicationVersion(ProgramVersion());
        SpeakItalian(); // --help in Italian too
        line = ParseCommandLine(reader.arguments());
    }
    if (line.exit && line.exitCode == 0) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    SpeakItalian();
    app.setDesktopFileName(QStringLiteral("zircalo"));
    app.setOrganizationName(QStringLiteral("zircalo"));
    app.setApplicationName(QStringLiteral("zircalo"));
    app.setApplicationVersion(ProgramVersion());
    // Read again without the options that Qt takes for itself (-platform ...).
    line = ParseCommandLine(app.arguments());
    if (line.exit) {
        std::fputs(line.output.toLocal8Bit().constData(), line.exitCode == 0 ? stdout : stderr);
        return line.exitCode;
    }

    if (!line.log.isEmpty()) {
        QString error;
        if (!atlog::OpenFile(line.log, &error)) {
            std::fprintf(stderr, "zircalo: impossibile scrivere il log %s: %s\n", line.log.toLocal8Bit().constData(),
                         error.toLocal8Bit().constData());
            return 1;
        }
    }

    // ~/.config/zircalo/zircalo.conf
    QSettings settings;
    Form1 form;
    LoadSettings(form, settings);
    ApplyCommandLine(form, line);
    SaveSettingsAtExit(form, settings);
    form.show();
    return app.exec();
}
