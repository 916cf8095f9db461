// The last run of each report window, kept per data source in a file of the user's own.
#include "reports/ReportMemoryUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ReportMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", FHome.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", FOldHome); }
    static void WriteFile(const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(TReportMemory::FileName()).absolutePath());
        QFile f(TReportMemory::FileName());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir FHome;
    QByteArray FOldHome;
};

TEST_F(ReportMemory, EachReportOfEachDataSourceKeepsItsOwnRun)
{
    ASSERT_TRUE(TReportMemory::FileName().startsWith(FHome.path()));
    EXPECT_FALSE(TReportMemory::Recall(QStringLiteral("AuditDemo"), rkSalesSummary));

    TReportFilters sales{.FromDate = DateToDays(QDate(2025, 3, 1)), .ToDate = DateToDays(QDate(2025, 3, 31)),
                         .StoreN = 4, .FiscalDeviceN = 12, .UserN = 7, .PageNumber = 9, .RecordsPerPage = 1000,
                         .SortColumn = 10, .SortDescending = true, .FindText = QStringLiteral("кафе 'Лаваца' \\ %")};
    const TReportFilters items{.RecordsPerPage = 100, .SortColumn = 1};
    TReportMemory::Remember(QStringLiteral("AuditDemo"), rkSalesSummary, sales);
    TReportMemory::Remember(QStringLiteral("AuditDemo"), rkItems, items);
    TReportMemory::Remember(QStringLiteral("Друг източник"), rkSalesSummary, TReportFilters{.RecordsPerPage = 50});

    sales.PageNumber = 0; // a window opens on its first page
    const auto recalled = TReportMemory::Recall(QStringLiteral("AuditDemo"), rkSalesSummary);
    ASSERT_TRUE(recalled);
    EXPECT_EQ(*recalled, sales);
    EXPECT_EQ(*TReportMemory::Recall(QStringLiteral("AuditDemo"), rkItems), items);
    EXPECT_EQ(TReportMemory::Recall(QStringLiteral("Друг източник"), rkSalesSummary)->RecordsPerPage, 50);
    EXPECT_FALSE(TReportMemory::Recall(QStringLiteral("AuditDemo"), rkPayments));
    EXPECT_FALSE(TReportMemory::Recall(QStringLiteral("AuditDemoPg"), rkSalesSummary));

    // The user's alone: the file and its folder.
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    EXPECT_EQ(mode(TReportMemory::FileName()), 0600);
    EXPECT_EQ(mode(QFileInfo(TReportMemory::FileName()).absolutePath()), 0700);
}

// What a damaged or foreign file holds is never taken as it stands: no run, or the
// values that make sense with the rest at their defaults.
TEST_F(ReportMemory, ADamagedFileGivesNoRunOrSaneValues)
{
    const struct {
        const char* file;
        bool found;
        TReportFilters expected;
    } cases[] = {
        {"not json", false, {}},
        {R"({"version": 2, "sources": {"AuditDemo": {"Items": {"pageSize": 100}}}})", false, {}},
        {R"({"version": 1, "sources": {"AuditDemo": {"Items": 5}}})", false, {}},
        {R"({"version": 1, "sources": {"AuditDemo": {"Items": {"pageSize": 100, "sortColumn": 5, "descending": true,
             "store": -3, "operator": 2.5, "fiscalDevice": "7", "from": "2025-02-30", "to": "2025-03-01"}}}})",
         true, {.RecordsPerPage = 100}},
        {R"({"version": 1, "sources": {"AuditDemo": {"Items": {"pageSize": 1e12, "sortColumn": 4, "descending": true,
             "from": "2025-01-01", "to": "2025-01-31", "find": 12}}}})",
         true, {.FromDate = DateToDays(QDate(2025, 1, 1)), .ToDate = DateToDays(QDate(2025, 1, 31)), .SortColumn = 4,
                .SortDescending = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        WriteFile(c.file);
        const auto recalled = TReportMemory::Recall(QStringLiteral("AuditDemo"), rkItems);
        ASSERT_EQ(bool(recalled), c.found);
        if (recalled) {
            EXPECT_EQ(*recalled, c.expected);
        }
    }
    // A damaged file is replaced by the next run.
    WriteFile("not json");
    TReportMemory::Remember(QStringLiteral("AuditDemo"), rkItems, TReportFilters{.RecordsPerPage = 200});
    EXPECT_EQ(TReportMemory::Recall(QStringLiteral("AuditDemo"), rkItems)->RecordsPerPage, 200);
}

} // namespace
