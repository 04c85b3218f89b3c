#include <QCoreApplication>

#include <gtest/gtest.h>

// The socket tests need an event loop; the others do not mind one.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
