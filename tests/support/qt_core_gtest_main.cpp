// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main for tests that need an event loop and no widgets.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
