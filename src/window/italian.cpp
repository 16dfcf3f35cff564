// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/italian.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

// Texts that the user sees and qtbase_it lacks (Qt 6.4), by context and
// source text; every disambiguation of a source text is meant.
struct Missing {
    const char* context;
    const char* source;
    const char* italian;
};

constexpr Missing kMissing[] = {
    {"QCommandLineParser", "Displays help on commandline options.",
     "Mostra l'aiuto sulle opzioni della riga di comando."},
    {"QCommandLineParser", "Displays help, including generic Qt options.",
     "Mostra l'aiuto, con le opzioni generali di Qt."},
    {"QCommandLineParser", "Displays help including Qt specific options.",
     "Mostra l'aiuto con le opzioni proprie di Qt."},
    {"QAbstractFileIconProvider", "Folder", "Cartella"},
    {"QAbstractFileIconProvider", "Drive", "Unità"},
    {"QAbstractFileIconProvider", "File", "File"},
    {"QAbstractFileIconProvider", "%1 File", "File %1"},
};

class OwnWords : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (!context || !sourceText)
            return QString();
        for (const Missing& missing : kMissing)
            if (std::strcmp(context, missing.context) == 0 && std::strcmp(sourceText, missing.source) == 0)
                return QString::fromUtf8(missing.italian);
        return QString();
    }
};

} // namespace

void SpeakItalian()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    static OwnWords own;
    static QTranslator qt;
    static const bool loaded = [] {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        return qt.load(QStringLiteral("qtbase_it"), folder) || qt.load(QStringLiteral("qt_it"), folder);
    }();
    // The last installed is asked first: Qt's translation, then ours.
    QCoreApplication::installTranslator(&own);
    if (loaded)
        QCoreApplication::installTranslator(&qt);
}
