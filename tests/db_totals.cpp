// The totals statement of the report windows on both engines: its sums agree with the
// generator's, are exact to the cent over a large column of doubles on SQLite, and leave
// out, counted, what is no amount.
#include "TestSupport.h"
#include "db/QueryUnit.h"
#include "reports/ReportTotalsUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonArray>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The totals of `kind` under `filters`, run as the window runs them.
std::vector<TReportTotals::TColumnTotal> Totals(TSqlDataManager& db, TReportKind kind, const TReportFilters& filters)
{
    const TRepository repo(db.DbModel().DbType());
    TQuery q(&db.OpenConnection(), ckStatic);
    q.SetSQL(repo.FillTotalsQuery(kind, filters));
    q.Open();
    return TReportTotals::ReadRow(q, repo.TotalsInHundredths());
}

// The index among the amount columns of the report's column `column`.
int AmountIndex(TReportKind kind, const QString& column)
{
    const TReportDef& def = ReportDef(kind);
    int amount = 0;
    for (int i = 0; i < def.ColumnCount; ++i) {
        if (def.Columns[i].Role != TColumnRole::Amount)
            continue;
        if (QString::fromUtf16(def.Columns[i].Column) == column)
            return amount;
        ++amount;
    }
    return -1;
}

TReportKind KindOfView(const QString& view)
{
    for (int k = 0; k < ReportKindCount; ++k)
        if (QString::fromUtf16(ReportDef(TReportKind(k)).View) == view)
            return TReportKind(k);
    throw std::invalid_argument("no report of this view");
}

// A scratch table named as the sales summary's view, with its amount columns only (enough
// for its totals without filters), filled by `select`.
void BuildScratchAmounts(TSqlDataManager& db, const QString& select)
{
    const QString kind =
        db.FastSql(QStringLiteral("select type from sqlite_master where name = 'SalesSummaryAudit'")).toString();
    if (!kind.isEmpty())
        db.FastSql(QStringLiteral("drop %1 SalesSummaryAudit").arg(kind));
    db.FastSql(QStringLiteral("create table SalesSummaryAudit (TotalSumNoVat NUMERIC(12,2), SumDiscounts NUMERIC(12,2), "
                              "SumVAT NUMERIC(12,2), TotalSumWithVAT NUMERIC(12,2))"));
    db.FastSql(QStringLiteral("insert into SalesSummaryAudit ") + select);
}

// Drops that table when a test ends: left there, it would make the scratch database an audit
// database to the tests that follow.
struct TScratchAmountsGone {
    TSqlDataManager& Db;
    ~TScratchAmountsGone() { Db.FastSql(QStringLiteral("drop table if exists SalesSummaryAudit")); }
};

} // namespace

// Every filter record's sums of the generator, and its totals of every amount column over
// everything, on SQLite and on PostgreSQL.
TEST(ReportTotals, AgreeWithTheGeneratorsSumsOnBothEngines)
{
    for (const TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "SQLite" : "PostgreSQL");
        auto db = TestManager(type);
        for (const QJsonValue& rv : ExpectedNumbers()[QStringLiteral("filters")].toArray()) {
            const QJsonObject rec = rv.toObject();
            SCOPED_TRACE(rec[QStringLiteral("name")].toString().toStdString());
            const QJsonObject sums = rec[QStringLiteral("sums")].toObject();
            ASSERT_FALSE(sums.isEmpty());
            for (auto it = sums.begin(); it != sums.end(); ++it) {
                const QString view = it.key().section(u'.', 0, 0);
                const TReportKind kind = KindOfView(view);
                const auto totals = Totals(*db, kind, FiltersOf(rec));
                const int i = AmountIndex(kind, it.key().section(u'.', 1));
                ASSERT_GE(i, 0) << it.key().toStdString();
                EXPECT_EQ(totals[size_t(i)].Sum.Text(2), it.value().toString()) << it.key().toStdString();
                EXPECT_EQ(totals[size_t(i)].NotNumbers + totals[size_t(i)].Inexact, 0);
            }
        }
        const QJsonObject all = ExpectedNumbers()[QStringLiteral("totals")].toObject();
        ASSERT_GE(all.size(), 9);
        for (auto it = all.begin(); it != all.end(); ++it) {
            const TReportKind kind = KindOfView(it.key().section(u'.', 0, 0));
            const auto totals = Totals(*db, kind, {});
            const int i = AmountIndex(kind, it.key().section(u'.', 1));
            ASSERT_GE(i, 0) << it.key().toStdString();
            EXPECT_EQ(totals[size_t(i)].Sum.Text(2), it.value().toString()) << it.key().toStdString();
        }
    }
}

// A million doubles of up to ten billion with two decimals: SQLite's own sum() is off by
// far more than a cent at this size; the totals equal Python's Decimal sum of the values.
TEST(ReportTotals, SqliteSumIsExactOverAMillionDoubles)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    TScratchAmountsGone gone{*db};
    BuildScratchAmounts(*db, QStringLiteral(
        "select 0, 0, 0, ((x * 2654435761) % 999999999989) / 100.0 from (with recursive c(x) as (select 1 union all "
        "select x + 1 from c where x < 1000000) select x from c)"));
    ASSERT_EQ(db->FastSql(QStringLiteral("select count(*) from SalesSummaryAudit where typeof(TotalSumWithVAT) = 'real'"))
                  .toLongLong(),
              1000000 - db->FastSql(QStringLiteral("select count(*) from SalesSummaryAudit where "
                                                   "typeof(TotalSumWithVAT) = 'integer'"))
                            .toLongLong());

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3, sys\nfrom decimal import Decimal\n"
                                 "c = sqlite3.connect(sys.argv[1])\n"
                                 "print(sum(Decimal(repr(v)) for (v,) in c.execute('select TotalSumWithVAT from "
                                 "SalesSummaryAudit')).quantize(Decimal('0.01')))"),
                  OdbcDataSourceSetting(kScratchDsn, "Database")});
    ASSERT_TRUE(python.waitForFinished(120000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QString exact = QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    ASSERT_FALSE(exact.isEmpty());

    const auto totals = Totals(*db, rkSalesSummary, {});
    EXPECT_EQ(totals[3].Sum.Text(2), exact);
    EXPECT_EQ(totals[3].NotNumbers + totals[3].Inexact, 0);
    EXPECT_EQ(totals[0].Sum.Text(2), QStringLiteral("0.00"));
    // The fault the exact sum avoids, shown by this very column.
    EXPECT_NE(db->FastSql(QStringLiteral("select printf('%.2f', sum(TotalSumWithVAT)) from SalesSummaryAudit"))
                  .toString(),
              exact);
}

// What a hostile SQLite database may store in an amount column: texts that look like
// amounts, texts and blobs, doubles with more decimals than cents, numbers too large to be
// added exactly. None is added; each is counted.
TEST(ReportTotals, SqliteValuesThatAreNoAmountAreLeftOutAndCounted)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    const struct {
        const char* Stored;
        bool Added;
        bool Number;
    } values[] = {
        {"12.5", true, true},         {"0.1", true, true},         {"0.2", true, true},
        {"-3", true, true},           {"'12,50'", false, false},   {"'abc'", false, false},
        {"x'3132'", false, false},    {"1.005", false, true},      {"1e15", false, true},
        {"9223372036854775807", false, true}, {"null", false, false},
    };
    QStringList rows;
    int notNumbers = 0, inexact = 0;
    for (const auto& v : values) {
        rows << QStringLiteral("select 0, 0, 0, %1").arg(QLatin1String(v.Stored));
        const bool isNull = QLatin1String(v.Stored) == QLatin1String("null");
        notNumbers += !v.Number && !isNull ? 1 : 0;
        inexact += v.Number && !v.Added ? 1 : 0;
    }
    TScratchAmountsGone gone{*db};
    BuildScratchAmounts(*db, rows.join(QStringLiteral(" union all ")));
    ASSERT_EQ(db->FastSql(QStringLiteral("select count(*) from SalesSummaryAudit where typeof(TotalSumWithVAT) = 'text'"))
                  .toInt(),
              2) << "the texts are stored as texts";

    const auto totals = Totals(*db, rkSalesSummary, {});
    EXPECT_EQ(totals[3].Sum.Text(2), QStringLiteral("9.80"));
    EXPECT_EQ(totals[3].NotNumbers, notNumbers);
    EXPECT_EQ(totals[3].Inexact, inexact);
}
