#include "foundation/pacing.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// Logic tests: an event loop without any display.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
