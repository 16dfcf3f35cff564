// SPDX-License-Identifier: GPL-3.0-or-later
// Italian whatever the system's language: the command line's help, Qt's
// file dialog with its folders, dates and filters, the program's locale.
#include "window/controls.h"
#include "window/italian.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The program itself, started as a user would in an English session.
TEST(Italian, HelpSpeaksItalianInAnEnglishSession)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZIRCALO_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    for (const char* italian : {"Utilizzo:", "Opzioni:", "Mostra l'aiuto sulle opzioni della riga di comando.",
                                "Mostra le informazioni sulla versione.", "Il dispositivo di \"COM 1\""})
        EXPECT_TRUE(help.contains(QString::fromUtf8(italian))) << italian << "\n" << help.toStdString();
    for (const char* english : {"Usage", "Options:", "Displays"})
        EXPECT_FALSE(help.contains(QLatin1String(english))) << english << "\n" << help.toStdString();
}

// Qt's own dialog, in Italian: folders are "Cartella", dates are written
// the Italian way, the filter names what it shows.
TEST(Italian, TheFileDialogSpeaksItalian)
{
    SpeakItalian();
    EXPECT_EQ(QLocale().language(), QLocale::Italian);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("rubriche")));
    const QString file = dir.filePath(QStringLiteral("sms.csv"));
    {
        QFile csv(file);
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write("Memoria;Posizione\r\n");
        ASSERT_TRUE(csv.flush()); // or the close would stamp it again
        const QDateTime when(QDate(2024, 3, 15), QTime(18, 42));
        ASSERT_TRUE(csv.setFileTime(when, QFileDevice::FileModificationTime));
    }

    QWidget owner;
    CommonDialog dialog(&owner);
    dialog.Folder = dir.path();
    dialog.Filter = QStringLiteral("File CSV (*.csv)");
    QString folderType, fileDate, fileName;
    QStringList filters;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        auto* files = shown->findChild<QFileSystemModel*>();
        QAbstractProxyModel* list = shown->proxyModel();
        ASSERT_TRUE(files && list);
        const QModelIndex folder = list->mapFromSource(files->index(dir.filePath(QStringLiteral("rubriche")), 2));
        const QModelIndex csv = list->mapFromSource(files->index(file, 3));
        folderType = folder.data().toString();
        fileDate = csv.data().toString();
        if (folderType.isEmpty() || fileDate.isEmpty())
            return; // still reading the folder
        filters = shown->nameFilters();
        fileName = csv.siblingAtColumn(0).data().toString();
        watch.stop();
        shown->reject();
    });
    watch.start();
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName, QString()); // cancelled
    EXPECT_EQ(folderType, QStringLiteral("Cartella"));
    EXPECT_EQ(fileName, QStringLiteral("sms.csv"));
    EXPECT_EQ(fileDate, QLocale(QLocale::Italian, QLocale::Italy)
                            .toString(QDateTime(QDate(2024, 3, 15), QTime(18, 42)), QLocale::ShortFormat));
    EXPECT_EQ(filters, QStringList{QStringLiteral("File CSV (*.csv)")});
}

} // namespace
