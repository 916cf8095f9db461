// Every report's count and page queries on the SQLite and the PostgreSQL test databases:
// they agree with the generator's own numbers and with each other.
#include "TestSupport.h"
#include "db/QueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonArray>
#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int kPageSize = 100;

// Only the filters a report's window offers reach its query.
TReportFilters OfferedFilters(TReportKind kind, TReportFilters f)
{
    if (kind >= rkItems && kind <= rkUsers)
        return {};
    if (kind == rkUsersLog)
        return {.FromDate = f.FromDate, .ToDate = f.ToDate};
    return f;
}

QString View(TReportKind kind) { return QString::fromUtf16(ReportDef(kind).View); }

// A cell as both engines must agree on it: numbers by value (SQLite hands NUMERIC columns
// back as floating point), everything else by its text.
QString Comparable(const TField& f)
{
    if (f.IsNull())
        return QStringLiteral("<null>");
    if (IsNumericFieldType(f.DataType()))
        return QString::number(f.AsFloat(), 'f', 3);
    return f.AsString();
}

struct Engine {
    TDbType type;
    std::unique_ptr<TSqlDataManager> mgr;
    TRepository repo;
    explicit Engine(TDbType t) : type(t), mgr(TestManager(t)), repo(t) {}
};

class ReportQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sqlite = new Engine(dbSqlite);
        postgres = new Engine(dbPostgres);
    }
    static void TearDownTestSuite()
    {
        delete sqlite;
        delete postgres;
    }
    static Engine* sqlite;
    static Engine* postgres;
};
Engine* ReportQueries::sqlite = nullptr;
Engine* ReportQueries::postgres = nullptr;

TEST_F(ReportQueries, CountsAndPagesMatchTheGeneratorOnBothEngines)
{
    const QJsonArray records = ExpectedNumbers()[QStringLiteral("filters")].toArray();
    ASSERT_GE(records.size(), 8);
    for (const QJsonValue& rv : records) {
        const QJsonObject rec = rv.toObject();
        const QJsonObject counts = rec[QStringLiteral("counts")].toObject();
        for (int k = 0; k < ReportKindCount; ++k) {
            const auto kind = TReportKind(k);
            const TReportDef& def = ReportDef(kind);
            const qint64 expected = counts[View(kind)].toInteger(-1);
            ASSERT_GE(expected, 0) << "no expected count for " << View(kind).toStdString();
            for (Engine* e : {sqlite, postgres}) {
                SCOPED_TRACE(QStringLiteral("%1 / %2 / %3")
                                 .arg(rec[QStringLiteral("name")].toString(), View(kind),
                                      e->type == dbSqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"))
                                 .toStdString());
                TReportFilters f = OfferedFilters(kind, FiltersOf(rec));
                f.RecordsPerPage = kPageSize;
                QString pageSql, countSql;
                e->repo.FillReportQuery(kind, pageSql, countSql, f);
                EXPECT_EQ(e->mgr->FastSql(countSql).toLongLong(), expected);

                // First and last page: full pages, then the remainder.
                const int lastPage = expected == 0 ? 0 : int((expected - 1) / kPageSize);
                for (int page : {0, lastPage}) {
                    f.PageNumber = page;
                    e->repo.FillReportQuery(kind, pageSql, countSql, f);
                    TQuery q(&e->mgr->OpenConnection(), ckStatic);
                    q.SetSQL(pageSql);
                    q.Open();
                    const qint64 rows = expected == 0 ? 0 : std::min<qint64>(kPageSize, expected - qint64(page) * kPageSize);
                    EXPECT_EQ(q.RecordCount(), rows) << "page " << page;
                    ASSERT_EQ(q.FieldCount(), def.ColumnCount);
                    for (int c = 0; c < def.ColumnCount; ++c)
                        EXPECT_EQ(q.Fields(c).FieldName(), QString::fromUtf16(def.Columns[c].Caption));
                }
            }
        }
    }
}

TEST_F(ReportQueries, AmountsAddUpToTheGeneratorsSums)
{
    const QJsonArray records = ExpectedNumbers()[QStringLiteral("filters")].toArray();
    for (const QJsonValue& rv : records) {
        const QJsonObject rec = rv.toObject();
        const QJsonObject sums = rec[QStringLiteral("sums")].toObject();
        const TReportFilters f = FiltersOf(rec);
        const std::pair<TReportKind, const char*> checks[] = {
            {rkSalesSummary, "SalesSummaryAudit.TotalSumWithVAT"},
            {rkSalesDetail, "SalesDetailsAudit.CostSum"},
        };
        for (const auto& [kind, key] : checks) {
            const QString column = QString::fromUtf8(key).section(QLatin1Char('.'), 1);
            const double expected = sums[QString::fromUtf8(key)].toString().toDouble();
            for (Engine* e : {sqlite, postgres}) {
                // The filter clause of the report's own count query, summing instead of counting.
                QString pageSql, countSql;
                e->repo.FillReportQuery(kind, pageSql, countSql, f);
                countSql.replace(QStringLiteral("SELECT count(*) "), QStringLiteral("SELECT sum(%1) ").arg(column));
                EXPECT_NEAR(e->mgr->FastSql(countSql).toDouble(), expected, 0.005)
                    << rec[QStringLiteral("name")].toString().toStdString() << " " << key;
            }
        }
    }
}

TEST_F(ReportQueries, BothEnginesReturnTheSameRows)
{
    // Whole results are compared (the test data is small); a page alone could
    // differ where the ordering has ties (several lines of one sale).
    const QJsonArray records = ExpectedNumbers()[QStringLiteral("filters")].toArray();
    QJsonObject narrow;
    for (const QJsonValue& rv : records)
        if (rv.toObject()[QStringLiteral("name")] == QStringLiteral("all"))
            narrow = rv.toObject();
    ASSERT_FALSE(narrow.isEmpty()) << "expected.json has no filter record \"all\"";
    for (int k = 0; k < ReportKindCount; ++k) {
        const auto kind = TReportKind(k);
        QStringList results[2];
        int i = 0;
        for (Engine* e : {sqlite, postgres}) {
            TReportFilters f = OfferedFilters(kind, FiltersOf(narrow));
            QString pageSql, countSql;
            e->repo.FillReportQuery(kind, pageSql, countSql, f);
            TQuery q(&e->mgr->OpenConnection(), ckForwardOnly);
            q.SetSQL(pageSql);
            q.Open();
            QStringList rows;
            while (!q.Eof()) {
                QStringList cells;
                for (int c = 0; c < q.FieldCount(); ++c)
                    cells << Comparable(q.Fields(c));
                rows << cells.join(QLatin1Char('|'));
                q.Next();
            }
            rows.sort();
            results[i++] = rows;
        }
        EXPECT_FALSE(results[0].isEmpty()) << View(kind).toStdString();
        EXPECT_EQ(results[0], results[1]) << View(kind).toStdString();
    }
}

TEST(Repository, ValidatesTheConnectedDatabase)
{
    EXPECT_EQ(TRepository::CreateRepository(TestModel(dbSqlite))->Dialect(), dbSqlite);
    EXPECT_EQ(TRepository::CreateRepository(TestModel(dbPostgres))->Dialect(), dbPostgres);

    try {
        TRepository::CreateRepository(TestModel(dbSqlite, kScratchDsn));
        FAIL() << "the scratch database has no audit views";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Избраната база данни не е валидна Дравик база!"));
    }

    TSqlDBModel wrong = TestModel(dbPostgres);
    wrong.Password = QStringLiteral("not-the-password");
    try {
        TRepository::CreateRepository(wrong);
        FAIL() << "connected with a wrong password";
    } catch (const Exception& e) {
        const QString prefix = QStringLiteral("Възникна грешка при опит за разпознаване на типа на базата данни : ");
        EXPECT_TRUE(e.Message().startsWith(prefix)) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("password authentication failed"))) << e.what();
    }
}

} // namespace
