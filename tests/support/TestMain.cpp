#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

// One QApplication for every test program: the data layer delivers asynchronous
// completions through the event loop, and the widget tests need a GUI application.
int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
