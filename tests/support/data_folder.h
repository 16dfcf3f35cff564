// SPDX-License-Identifier: GPL-3.0-or-later
// What the program keeps in the user's data folder (the record of the
// messages sent) goes, in the tests, to a folder of the run, never to the
// user's; and each test starts with an empty one of its own, however the
// test program is run.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class FreshDataFolder : public ::testing::EmptyTestEventListener {
public:
    // XDG_DATA_HOME names a folder of `run` from here on.
    explicit FreshDataFolder(const QTemporaryDir& run) : m_root(run.path()) { point(m_root + QStringLiteral("/0")); }
    void OnTestStart(const ::testing::TestInfo&) override
    {
        point(m_root + QLatin1Char('/') + QString::number(++m_tests));
    }

private:
    static void point(const QString& folder)
    {
        QDir().mkpath(folder);
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
    }
    QString m_root;
    int m_tests = 0;
};
