// The audit checks on the demo database of both engines: each finds exactly the findings
// the generator planted and recorded (none missed, none invented), and the statements the
// window, the overview and the exporter wrap around a check's findings agree with them.
#include "TestSupport.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "db/QueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

// The day the tests make the checks on: after the demo's last day.
const QDate kCheckDay(2027, 1, 15);

// Each finding's key: its leading key columns' texts joined with "|", sorted.
QStringList FindingKeys(TSqlDataManager& db, const TCheckDef& def, const TReportFilters& filters)
{
    const TRepository repo(db.DbModel().DbType());
    const TCheckQuery checks(repo, kCheckDay);
    TQuery q(&db.OpenConnection(), ckStatic);
    q.SetSQL(checks.FindingsSql(def, filters, TCheckParams{}));
    q.Open();
    QStringList keys;
    for (q.First(); !q.Eof(); q.Next()) {
        QStringList parts;
        for (int i = 0; i < def.KeyColumnCount; ++i)
            parts << q.FindField(QString::fromUtf16(def.Grid.Columns[i].Column))->AsString();
        keys << parts.join(u'|');
    }
    keys.sort();
    return keys;
}

QStringList ExpectedKeys(const char* key)
{
    const QJsonObject checks = ExpectedNumbers().value(QStringLiteral("checks")).toObject();
    const QJsonValue found = checks.value(QLatin1StringView(key));
    if (!found.isArray())
        ADD_FAILURE() << "expected.json records no findings for " << key;
    QStringList keys;
    for (const QJsonValue& v : found.toArray())
        keys << v.toString();
    keys.sort();
    return keys;
}

class Checks : public ::testing::TestWithParam<TDbType> {};

TEST_P(Checks, EachFindsExactlyWhatTheGeneratorPlanted)
{
    const auto db = TestManager(GetParam());
    for (const TCheckDef& def : CheckList()) {
        SCOPED_TRACE(def.Key);
        EXPECT_EQ(FindingKeys(*db, def, TReportFilters{}), ExpectedKeys(def.Key));
    }
}

TEST_P(Checks, CountPageTotalsAndOverviewAgreeWithTheFindings)
{
    const auto db = TestManager(GetParam());
    const TRepository repo(GetParam());
    const TCheckQuery checks(repo, kCheckDay);
    for (const TCheckDef& def : CheckList()) {
        SCOPED_TRACE(def.Key);
        const int findings = int(FindingKeys(*db, def, TReportFilters{}).size());
        TReportFilters filters;
        filters.RecordsPerPage = 3;
        filters.PageNumber = 1;
        QString pageSql, countSql;
        checks.FillQuery(def, filters, TCheckParams{}, pageSql, countSql);
        TQuery count(&db->OpenConnection(), ckStatic);
        count.SetSQL(countSql);
        count.Open();
        EXPECT_EQ(count.Fields(0).AsString().toInt(), findings);
        TQuery page(&db->OpenConnection(), ckStatic);
        page.SetSQL(pageSql);
        page.Open();
        EXPECT_EQ(page.FieldCount(), def.Grid.ColumnCount);
        EXPECT_EQ(page.RecordCount(), std::clamp(findings - 3, 0, 3));
        TQuery overview(&db->OpenConnection(), ckStatic);
        overview.SetSQL(checks.OverviewSql(def, TReportFilters{}, TCheckParams{}));
        overview.Open();
        EXPECT_EQ(overview.Fields(0).AsString().toInt(), findings);
        EXPECT_EQ(overview.FieldCount(), def.AmountColumn >= 0 ? 4 : 1);
        const QString totals = checks.TotalsSql(def, TReportFilters{}, TCheckParams{});
        if (!totals.isEmpty()) {
            TQuery sums(&db->OpenConnection(), ckStatic);
            sums.SetSQL(totals);
            sums.Open();
            EXPECT_EQ(sums.RecordCount(), 1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothEngines, Checks, ::testing::Values(dbSqlite, dbPostgres),
                         [](const auto& info) { return info.param == dbSqlite ? "Sqlite" : "Postgres"; });

} // namespace
