#include "window/form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setDesktopFileName(QStringLiteral("zircalo"));

    // The window speaks Italian: so do Qt's own dialogs and standard buttons.
    // Without the translations installed they stay in English.
    QTranslator qtItalian;
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (qtItalian.load(QStringLiteral("qtbase_it"), translations)
        || qtItalian.load(QStringLiteral("qt_it"), translations))
        app.installTranslator(&qtItalian);

    Form1 form;
    form.show();
    return app.exec();
}
