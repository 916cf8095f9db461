// The SQL of a chosen column order and of a find: the ORDER BY and the find term in every
// dialect, the texts without either left exactly as they were, the command line's column
// names and numbers, and the three-click cycle of a column title.

#include "db/DbEngineUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/ReportFindUnit.h"
#include "reports/ReportSortUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(const QString& s) { return s.toStdString(); }

TReportFilters Page(int page, int perPage)
{
    TReportFilters f;
    f.PageNumber = page;
    f.RecordsPerPage = perPage;
    return f;
}

// The count and page texts of every report in every dialect for a set of filter records,
// one line each, in a fixed order.
QString AllTexts(const std::vector<TReportFilters>& filterSets)
{
    QString all;
    for (TDbType dialect : {dbNone, dbSybase, dbSqlite, dbPostgres}) {
        const TRepository repository(dialect);
        for (int k = 0; k < ReportKindCount; ++k)
            for (const TReportFilters& f : filterSets) {
                QString reportSql, recCountSql;
                repository.FillReportQuery(TReportKind(k), reportSql, recCountSql, f);
                all += recCountSql + u'\n' + reportSql + u'\n';
            }
    }
    return all;
}

// ---- Without a click or a find, the SQL is what it was -------------------------------------

// The filter records below, through the builder as it was before the order and the find
// came: the SHA-256 of the 2 × 12 × 4 × 4 lines of AllTexts.
TEST(ReportSortFindSql, WithoutOrderOrFindTheTextsAreThoseOfBefore)
{
    TReportFilters march = Page(2, 100);
    march.FromDate = DateToDays(QDate(2026, 3, 1));
    march.ToDate = DateToDays(QDate(2026, 3, 31));
    march.StoreN = 5;
    march.FiscalDeviceN = 7;
    march.UserN = 12;
    // A direction without a column and a column outside the report change nothing.
    TReportFilters directionOnly = Page(0, 500);
    directionOnly.SortDescending = true;
    TReportFilters outside = Page(0, 0);
    outside.SortColumn = 99;
    const std::vector<TReportFilters> sets = {Page(0, 0), march, directionOnly, outside};
    const QByteArray digest = QCryptographicHash::hash(AllTexts(sets).toUtf8(), QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(digest.toStdString(), "5a7fa7dd3f4785e7c197aaabbd24ccdb7226a6270d6e09f8c1d378bf98c95ced");
}

// ---- Order ----------------------------------------------------------------------------------

struct OrderCase {
    const char* name;
    TDbType dialect;
    TReportKind kind;
    int column;
    bool descending;
    std::string reportSql; // its tail from FROM
};

TEST(ReportSortFindSql, ChosenColumnFirstThenTheReportsOwnOrder)
{
    const OrderCase cases[] = {
        {"postgres, amount descending", dbPostgres, rkSalesSummary, 10, true,
         "FROM SalesSummaryAudit  ORDER BY TotalSumWithVAT DESC, EndDocDate,UNP LIMIT 100 OFFSET 300"},
        {"sqlite, name ascending", dbSqlite, rkItems, 1, false,
         "FROM ItemsAudit  ORDER BY ItemName, ItemCode LIMIT 100 OFFSET 300"},
        {"sqlite, the report's own first column", dbSqlite, rkItems, 0, true,
         "FROM ItemsAudit  ORDER BY ItemCode DESC, ItemCode LIMIT 100 OFFSET 300"},
        {"sql anywhere, last column", dbSybase, rkUsersLog, 6, false,
         "FROM UsersLogAudit  ORDER BY UNP, ActivityDateTime"},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        TReportFilters f = Page(3, 100);
        f.SortColumn = c.column;
        f.SortDescending = c.descending;
        QString reportSql, recCountSql;
        TRepository(c.dialect).FillReportQuery(c.kind, reportSql, recCountSql, f);
        const std::string sql = U8(reportSql);
        EXPECT_EQ(sql.substr(sql.find("FROM ")), c.reportSql);
        if (c.dialect == dbSybase) {
            EXPECT_EQ(sql.rfind("SELECT TOP 100 START AT 301 ", 0), 0u);
        }
        // The count does not depend on the order.
        QString ownSql, ownCount;
        TRepository(c.dialect).FillReportQuery(c.kind, ownSql, ownCount, Page(3, 100));
        EXPECT_EQ(recCountSql, ownCount);
    }
}

TEST(ReportSortFindSql, ColumnByNameOrNumber)
{
    const TReportDef& summary = ReportDef(rkSalesSummary);
    const struct {
        const char* given;
        int index;
    } cases[] = {
        {"TotalSumWithVAT", 10}, {"totalsumwithvat", 10}, {"1", 0},  {"17", 16},   {"0", -1},  {"18", -1},
        {"01", 0},               {"1x", -1},              {"", -1},  {"УНП", -1},  {" UNP", -1}, {"99999999999", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        EXPECT_EQ(TReportSort::FindColumn(summary, QString::fromUtf8(c.given)), c.index);
    }
}

TEST(ReportSortFindSql, TitleClicksCycleAscendingDescendingOwn)
{
    TReportFilters f;
    const std::pair<int, bool> expected[] = {{4, false}, {4, true}, {-1, false}, {4, false}};
    for (const auto& [column, descending] : expected) {
        TReportSort::Click(f, 4);
        EXPECT_EQ(f.SortColumn, column);
        EXPECT_EQ(f.SortDescending, descending);
    }
    TReportSort::Click(f, 4); // descending on 4 ...
    TReportSort::Click(f, 2); // ... another column starts ascending
    EXPECT_EQ(f.SortColumn, 2);
    EXPECT_FALSE(f.SortDescending);
}

// ---- Find -----------------------------------------------------------------------------------

TEST(ReportSortFindSql, FoldPairsLatinAndCyrillicCapitals)
{
    const std::pair<char32_t, char32_t> pairs[] = {
        {U'A', U'a'}, {U'Z', U'z'}, {U'А', U'а'}, {U'Я', U'я'}, {U'Ѝ', U'ѝ'}, {U'Ё', U'ё'},
        {U'Ѣ', U'ѣ'}, {U'Ѫ', U'ѫ'}, {U'Ä', U'ä'}, {U'Þ', U'þ'},
    };
    for (const auto& [capital, small] : pairs) {
        EXPECT_EQ(TReportFind::Fold(capital), small);
        EXPECT_EQ(TReportFind::Fold(small), small);
        EXPECT_EQ(TReportFind::Capital(small), capital);
        EXPECT_EQ(TReportFind::Capital(capital), 0u);
    }
    for (char32_t other : {U'1', U'%', U'_', U'\\', U'×', U'÷', U'ß', U'中', U'\x1F'}) {
        EXPECT_EQ(TReportFind::Fold(other), other);
        EXPECT_EQ(TReportFind::Capital(other), 0u);
    }
}

struct FindCase {
    const char* name;
    TDbType dialect;
    QString text;
    std::string where; // of the items report
};

TEST(ReportSortFindSql, FindTermOfEachDialect)
{
    const FindCase cases[] = {
        {"sqlite: letters as classes of both cases, wildcards as classes of one", dbSqlite, QStringLiteral("Кa*?[%_'\\"),
         "WHERE (coalesce(CAST(ItemCode AS TEXT),'')||char(31)||coalesce(CAST(ItemName AS TEXT),'')) GLOB "
         "char(42,91,1082,1050,93,91,97,65,93,91,42,93,91,63,93,91,91,93,37,95,39,92,42)"},
        {"postgres: hex of a regular expression, ASCII signs escaped", dbPostgres, QStringLiteral("Кa.'\\"),
         "WHERE pg_catalog.concat_ws(pg_catalog.chr(31), ItemCode, ItemName) COLLATE pg_catalog.\"C\" "
         "OPERATOR(pg_catalog.~) (SELECT "
         "pg_catalog.convert_from(pg_catalog.decode('5bd0bad09a5d5b61415d5c2e5c275c5c', 'hex'), 'UTF8'))"},
        {"a text holding the columns' separator is matched column by column", dbSqlite, QStringLiteral("a\x1f"),
         "WHERE (CAST(ItemCode AS TEXT) GLOB char(42,91,97,65,93,31,42) OR "
         "CAST(ItemName AS TEXT) GLOB char(42,91,97,65,93,31,42))"},
        {"sql anywhere: LIKE classes, quote and backslash as CHAR()", dbSybase, QStringLiteral("К'%\\"),
         "WHERE (CAST(ItemCode AS LONG VARCHAR) LIKE '%[кК]'||CHAR(39)||'[%]'||CHAR(92)||'%' OR "
         "CAST(ItemName AS LONG VARCHAR) LIKE '%[кК]'||CHAR(39)||'[%]'||CHAR(92)||'%')"},
        {"empty: no term", dbPostgres, QString(), ""},
        {"only a NUL: no term", dbSqlite, QString(QChar(0)), ""},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.name);
        TReportFilters f;
        f.FindText = c.text;
        QString reportSql, recCountSql;
        TRepository(c.dialect).FillReportQuery(rkItems, reportSql, recCountSql, f);
        EXPECT_EQ(U8(recCountSql), "SELECT count(*) FROM ItemsAudit " + c.where);
        EXPECT_NE(reportSql.indexOf(recCountSql.mid(16)), -1); // the page has the same FROM part
    }
}

// The find is the last term, after the other filters; it searches the text columns only.
TEST(ReportSortFindSql, FindJoinsTheOtherFiltersAndSearchesTextColumns)
{
    TReportFilters f;
    f.StoreN = 3;
    f.FindText = QStringLiteral("x");
    QString reportSql, recCountSql;
    TRepository(dbPostgres).FillReportQuery(rkSalesSummary, reportSql, recCountSql, f);
    EXPECT_EQ(U8(recCountSql),
              "SELECT count(*) FROM SalesSummaryAudit WHERE  StoreN = 3 AND pg_catalog.concat_ws(pg_catalog.chr(31), "
              "UNP, StoreName, InvoiceNumber, PartnerCode, PartnerName) COLLATE pg_catalog.\"C\" OPERATOR(pg_catalog.~) (SELECT "
              "pg_catalog.convert_from(pg_catalog.decode('5b78585d', 'hex'), 'UTF8'))");
    // Every report has a column to search.
    for (int k = 0; k < ReportKindCount; ++k) {
        TRepository(dbSqlite).FillReportQuery(TReportKind(k), reportSql, recCountSql, f);
        EXPECT_NE(recCountSql.indexOf(QStringLiteral(" GLOB ")), -1) << k;
    }
}

} // namespace
