// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "window/form1.h"

#include <QCommandLineParser>

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ZIRCALO: gli SMS e le rubriche di un telefono GSM su una porta seriale."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption com1(QStringLiteral("com1"),
                                  QStringLiteral("Il dispositivo di \"COM 1\" (sopra ZIRCALO_COM1)."),
                                  QStringLiteral("DISPOSITIVO"));
    const QCommandLineOption com2(QStringLiteral("com2"),
                                  QStringLiteral("Il dispositivo di \"COM 2\" (sopra ZIRCALO_COM2)."),
                                  QStringLiteral("DISPOSITIVO"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Scrive il dialogo AT con il telefono in FILE."),
                                 QStringLiteral("FILE"));
    parser.addOptions({com1, com2, log});

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.exit = true;
        line.exitCode = 2;
        line.output = parser.errorText() + QLatin1Char('\n') + parser.helpText();
        return line;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        line.exit = true;
        line.output = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.exit = true;
        line.output = QStringLiteral("zircalo %1\n").arg(ProgramVersion());
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.exit = true;
        line.exitCode = 2;
        line.output =
            QStringLiteral("Argomento sconosciuto: %1\n").arg(parser.positionalArguments().first()) + parser.helpText();
        return line;
    }
    line.com1 = parser.value(com1);
    line.com2 = parser.value(com2);
    line.log = parser.value(log);
    return line;
}

void ApplyCommandLine(Form1& form, const CommandLine& line)
{
    if (!line.com1.isEmpty())
        form.LegaPorta(1, line.com1);
    if (!line.com2.isEmpty())
        form.LegaPorta(2, line.com2);
}
