// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main for tests that construct widgets: one QApplication for the
// whole run, on the offscreen platform unless the caller chose another.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/data_folder.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir data;
    if (!data.isValid())
        return 1;
    auto* folders = new FreshDataFolder(data); // before the application reads its paths
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(folders);
    return RUN_ALL_TESTS();
}
