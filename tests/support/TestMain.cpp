#include "reports/ReportMemoryUnit.h"

#include <QApplication>
#include <QFile>
#include <clocale>
#include <gtest/gtest.h>

namespace {

// Every test starts with report windows that remember no run: what one test ran must not
// decide how the next one's windows open.
class TForgetReportRuns : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { QFile::remove(TReportMemory::FileName()); }
};

} // namespace

// One QApplication for every test program: the data layer delivers asynchronous
// completions through the event loop, and the widget tests need a GUI application.
int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TForgetReportRuns); // gtest owns it
    return RUN_ALL_TESTS();
}
