// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main for tests that need an event loop and no widgets.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/data_folder.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    QTemporaryDir data;
    if (!data.isValid())
        return 1;
    auto* folders = new FreshDataFolder(data); // before the application reads its paths
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(folders);
    return RUN_ALL_TESTS();
}
