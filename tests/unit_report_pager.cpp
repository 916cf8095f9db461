// The report window's pager without widgets: the page each move runs and the captions and
// states of the five page buttons after it, against a table that changes between runs.

#include "reports/ReportPagerUnit.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A window's pager as the window drives it: the page index and the row count of the latest
// run live outside the pager; each move is planned, its page runs (counting the table
// again), then the pager takes the result.
struct PagerDriver {
    TReportPager pager;
    int page = 0;
    int counted = 0;   // row count of the latest run
    int rows;          // rows the table holds now
    int pageSize;

    void Run(TPagerAction action)
    {
        const TReportPager::TMove move = pager.Plan(action, page, TReportPager::PageCount(counted, pageSize));
        page = move.Page;
        counted = rows;
        pager.Commit(move, TReportPager::PageCount(counted, pageSize));
    }

    // "report", "first", "next", "previous", "last"; "size:N" a new page size; "rows:N" the
    // table changes (the next run counts it); "fail:<move>" a move whose page fails to run.
    void Step(const QString& step)
    {
        const QString verb = step.section(QLatin1Char(':'), 0, 0);
        const QString arg = step.section(QLatin1Char(':'), 1);
        if (verb == QLatin1String("size")) {
            pageSize = arg.toInt();
            Run(TPagerAction::paReset);
        } else if (verb == QLatin1String("rows")) {
            rows = arg.toInt();
        } else if (verb == QLatin1String("fail")) {
            pager.Plan(Action(arg), page, TReportPager::PageCount(counted, pageSize)); // never committed
        } else {
            Run(Action(verb));
        }
    }

    static TPagerAction Action(const QString& name)
    {
        if (name == QLatin1String("next"))
            return TPagerAction::paNext;
        if (name == QLatin1String("previous"))
            return TPagerAction::paPrevious;
        if (name == QLatin1String("last"))
            return TPagerAction::paLast;
        EXPECT_TRUE(name == QLatin1String("report") || name == QLatin1String("first")) << name.toStdString();
        return TPagerAction::paReset;
    }
};

struct PagerRow {
    const char* name;
    int rows, pageSize;
    const char* steps; // space-separated
    int page;
    QStringList captions; // First, Previous, Current, Next, Last
    const char* enabled;  // First, Previous, Next, Last: '1' enabled
};

TEST(ReportPager, MovesFollowTheTable)
{
    const QStringList page1 = {"1", "1", "1", "2", "3"};
    const QStringList page2 = {"1", "1", "2", "3", "3"};
    const QStringList page3 = {"1", "2", "3", "3", "3"};
    const PagerRow rows[] = {
        {"before the first run", 1001, 500, "", 0, {"1", "", "", "", ""}, "0000"},
        {"1001 at 500: Report", 1001, 500, "report", 0, page1, "0011"},
        {"Next", 1001, 500, "report next", 1, page2, "1111"},
        {"Next onto the last page", 1001, 500, "report next next", 2, page3, "1100"},
        {"Last", 1001, 500, "report last", 2, page3, "1100"},
        {"Previous from the last page", 1001, 500, "report last previous", 1, page2, "1111"},
        {"Previous onto the first page", 1001, 500, "report last previous previous", 0, page1, "0011"},
        {"First", 1001, 500, "report next next first", 0, page1, "0011"},
        {"no rows", 0, 500, "report", 0, {"1", "1", "1", "0", "0"}, "0000"},
        {"exactly one page", 300, 500, "report", 0, {"1", "1", "1", "1", "1"}, "0000"},
        {"no page size counts no pages", 1001, 0, "report", 0, {"1", "1", "1", "0", "0"}, "0000"},
        {"page size changed on page 3", 1001, 500, "report next next size:100", 0, {"1", "1", "1", "2", "11"}, "0011"},
        {"Last at the new page size", 1001, 500, "report next next size:100 last", 10, {"1", "10", "11", "11", "11"},
         "1100"},
        // Every move counts again; only a fresh run sets the Last caption.
        {"rows added: Next keeps Last", 1001, 500, "report rows:1501 next", 1, page2, "1111"},
        {"rows added: Last goes to the new last page", 1001, 500, "report rows:1501 next last", 3,
         {"1", "3", "4", "4", "3"}, "1100"},
        {"rows added: Previous stops Next at the Last caption", 1001, 500, "report rows:1501 next last previous", 2,
         page3, "1100"},
        {"rows added: a fresh run sets Last", 1001, 500, "report rows:1501 next last first", 0,
         {"1", "1", "1", "2", "4"}, "0011"},
        // Next and Last go by the count held before the move, not the one their run finds.
        {"rows removed before Next", 1001, 500, "report rows:501 next", 1, page2, "1111"},
        {"rows added before Last", 1001, 500, "report rows:1501 last", 2, page3, "1100"},
        // A page that fails to run leaves the pager as it was.
        {"failed Next", 1001, 500, "report next fail:next", 1, page2, "1111"},
        {"failed Report", 1001, 500, "report next fail:report", 1, page2, "1111"},
    };
    for (const PagerRow& row : rows) {
        SCOPED_TRACE(row.name);
        PagerDriver driver{TReportPager(), 0, 0, row.rows, row.pageSize};
        for (const QString& step : QString::fromLatin1(row.steps).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            driver.Step(step);
        const TReportPager& pager = driver.pager;
        EXPECT_EQ(driver.page, row.page);
        QStringList captions;
        for (TPagerButton b : {pbFirst, pbPrevious, pbCurrent, pbNext, pbLast})
            captions << pager.Caption(b);
        EXPECT_EQ(captions.join(QLatin1Char('|')).toStdString(), row.captions.join(QLatin1Char('|')).toStdString());
        std::string enabled;
        for (TPagerButton b : {pbFirst, pbPrevious, pbNext, pbLast})
            enabled += pager.Enabled(b) ? '1' : '0';
        EXPECT_EQ(enabled, row.enabled);
        EXPECT_FALSE(pager.Enabled(pbCurrent));
    }
}

} // namespace
