// The find term on the engines: a text is a plain substring in the report's text columns,
// Latin and Cyrillic letters match in either case whatever the column's locale, and texts
// with quotes, backslashes and wildcards find what they say and nothing else, also on a
// PostgreSQL database with standard_conforming_strings off. The order of a chosen column
// runs on both engines.
#include "TestSupport.h"
#include "db/QueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// An items table whose codes are numbers (the text column holds no text) and whose names
// are the cases; on PostgreSQL the names are of `pgCollation`: by default "C", which folds
// no Cyrillic.
void BuildFindItems(TSqlDataManager& db, const QString& pgCollation = QStringLiteral("\"C\""))
{
    const bool pg = db.DbModel().DbType() == dbPostgres;
    db.FastSql(QStringLiteral("drop view if exists PartnersAudit"));
    db.FastSql(QStringLiteral("drop view if exists PayTypesAudit"));
    db.FastSql(QStringLiteral("drop table if exists ItemsAudit"));
    db.FastSql(QStringLiteral("create table ItemsAudit (ItemCode integer, ItemName varchar(60)%1, ItemCreateDate "
                              "date, ItemLastChangeDate date, ItemDeactivatedDate date)")
                   .arg(pg ? QStringLiteral(" collate ") + pgCollation : QString()));
    // Quotes are doubled and no backslash is special in either engine's literals here (the
    // PostgreSQL session of the set-up has standard_conforming_strings on).
    const char* const rows[] = {
        "1, 'Кафе'",
        "2, 'КАФЕ еспресо'",
        "3, 'кафе-бар'",
        "4, 'Чай'",
        "5, 'O''Brien'",
        "6, 'a\\b'",
        "7, '100%'",
        "8, 'a_b'",
        "9, 'axb'",
        "10, 'Ѝ ЁЖ'",
        "11, null",
        "12, 'ПРОЦЕНТ 50% ОТСТЪПКА'",
        "13, 'x\\''y'",
        "14, 'Straße'",
        "123, 'число'",
    };
    for (const char* row : rows)
        db.FastSql(QStringLiteral("insert into ItemsAudit (ItemCode, ItemName) values (%1)").arg(QString::fromUtf8(row)));
}

struct FindCase {
    QString text;
    QStringList codes; // in the report's order (ItemCode)
};

const std::vector<FindCase>& FindCases()
{
    static const std::vector<FindCase> cases = {
        {QStringLiteral("кафе"), {"1", "2", "3"}},
        {QStringLiteral("КаФе"), {"1", "2", "3"}},
        {QStringLiteral("ѝ ёж"), {"10"}},
        {QStringLiteral("%"), {"7", "12"}},
        {QStringLiteral("50% о"), {"12"}},
        {QStringLiteral("_"), {"8"}},
        {QStringLiteral("a_b"), {"8"}},
        {QStringLiteral("'"), {"5", "13"}},
        {QStringLiteral("o'b"), {"5"}},
        {QStringLiteral("\\"), {"6", "13"}},
        {QStringLiteral("\\'"), {"13"}},
        {QStringLiteral("a\\b"), {"6"}},
        {QStringLiteral("12"), {"12", "123"}}, // the number column, searched in its digits
        {QStringLiteral("STRAßE"), {"14"}},
        {QStringLiteral("strasse"), {}},
        {QStringLiteral(".*"), {}},
        {QStringLiteral("[кК]"), {}},
        {QStringLiteral("' OR 1=1 --"), {}},
        {QStringLiteral("%'; drop table ItemsAudit; --"), {}},
        {QStringLiteral("\\'; drop table ItemsAudit; --"), {}},
        {QStringLiteral("кафе\x1f"), {}}, // the columns' separator: matched column by column
        {QString(), {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "123"}},
    };
    return cases;
}

void CheckFindCases(TSqlDataManager& db)
{
    const TRepository repository(db.DbModel().DbType());
    for (const FindCase& c : FindCases()) {
        SCOPED_TRACE(c.text.toStdString());
        TReportFilters f;
        f.FindText = c.text;
        QString reportSql, recCountSql;
        repository.FillReportQuery(rkItems, reportSql, recCountSql, f);
        EXPECT_EQ(db.FastSql(recCountSql).toInt(), c.codes.size());
        TQuery page(&db.Connection(), ckForwardOnly);
        page.SetSQL(reportSql);
        page.Open();
        QStringList codes;
        for (; !page.Eof(); page.Next())
            codes << page.Fields(0).AsString();
        EXPECT_EQ(codes, c.codes);
    }
    // Nothing was run but the reads.
    EXPECT_EQ(db.FastSql(QStringLiteral("select count(*) from ItemsAudit")).toInt(), 15);
}

TEST(ReportFind, HostileTextsOnSqlite)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    BuildFindItems(*db);
    CheckFindCases(*db);
    // LIKE's pragma does not reach the find.
    db->FastSql(QStringLiteral("pragma case_sensitive_like = on"));
    CheckFindCases(*db);
}

TEST(ReportFind, HostileTextsOnPostgresAlsoWithoutStandardConformingStrings)
{
    {
        auto db = TestManager(dbPostgres, kScratchPgDsn);
        BuildFindItems(*db);
        CheckFindCases(*db);
        // A collation that regular expressions refuse, and that ignores case itself.
        db->FastSql(QStringLiteral("create collation if not exists find_nd (provider = icu, "
                                   "locale = 'und-u-ks-level2', deterministic = false)"));
        BuildFindItems(*db, QStringLiteral("find_nd"));
        CheckFindCases(*db);
        BuildFindItems(*db);
        db->FastSql(QStringLiteral("alter database auditscratch_test set standard_conforming_strings = off"));
    }
    struct TReset {
        ~TReset()
        {
            TestManager(dbPostgres, kScratchPgDsn)
                ->FastSql(QStringLiteral("alter database auditscratch_test reset standard_conforming_strings"));
        }
    } reset;
    auto db = TestManager(dbPostgres, kScratchPgDsn); // a new session takes the database's setting
    ASSERT_EQ(db->FastSql(QStringLiteral("select current_setting('standard_conforming_strings')")).toString(), QStringLiteral("off"));
    CheckFindCases(*db);
}

// A chosen column orders the whole result on both engines, the report's own order breaking
// the ties, and the pages of that order join up.
TEST(ReportFind, ChosenOrderPagesJoinUp)
{
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "sqlite" : "postgres");
        auto db = TestManager(type, type == dbSqlite ? kScratchDsn : kScratchPgDsn);
        BuildFindItems(*db);
        const TRepository repository(type);
        QStringList all;
        for (int page = 0; page < 4; ++page) {
            TReportFilters f;
            f.SortColumn = 1; // ItemName
            f.SortDescending = true;
            f.FindText = QStringLiteral("А"); // the Latin and the Cyrillic capital A are two letters
            f.PageNumber = page;
            f.RecordsPerPage = 2;
            QString reportSql, recCountSql;
            repository.FillReportQuery(rkItems, reportSql, recCountSql, f);
            TQuery q(&db->Connection(), ckForwardOnly);
            q.SetSQL(reportSql);
            q.Open();
            for (; !q.Eof(); q.Next())
                all << q.Fields(1).AsString();
        }
        // Cyrillic "а" in either case, in descending order of their bytes; NULLs and the
        // Latin-only names are not found.
        EXPECT_EQ(all, QStringList({"кафе-бар", "Чай", "ПРОЦЕНТ 50% ОТСТЪПКА", "Кафе", "КАФЕ еспресо"}))
            << all.join(u'|').toStdString();
    }
}

} // namespace
