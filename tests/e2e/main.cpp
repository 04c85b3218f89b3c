#include <QCoreApplication>

#include <gtest/gtest.h>

// QProcess, which starts the X servers, the program and the tools, wants an
// application object for its whole life.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
