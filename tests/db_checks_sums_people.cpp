// The sums, reversals and people checks beyond the demo's planted findings: the tolerance,
// the log's activity types that mean a reversal, the filters, and values a hostile database
// stores where a number or a single record is expected.
#include "TestSupport.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "db/QueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QDate kCheckDay(2027, 1, 15);

using TRow = QHash<QString, QString>; // column alias -> its text

std::vector<TRow> Findings(TSqlDataManager& db, const TCheckDef& def, const TReportFilters& filters = {},
                           const TCheckParams& params = {})
{
    const TRepository repo(db.DbModel().DbType());
    TQuery q(&db.OpenConnection(), ckStatic);
    q.SetSQL(TCheckQuery(repo, kCheckDay).FindingsSql(def, filters, params));
    q.Open();
    std::vector<TRow> rows;
    for (q.First(); !q.Eof(); q.Next()) {
        TRow row;
        for (int i = 0; i < def.Grid.ColumnCount; ++i) {
            const QString column = QString::fromUtf16(def.Grid.Columns[i].Column);
            const auto* field = q.FindField(column);
            if (!field) {
                ADD_FAILURE() << def.Key << " has no column " << column.toStdString();
                continue;
            }
            row[column] = field->AsString();
        }
        rows.push_back(row);
    }
    return rows;
}

QString KeyOf(const TCheckDef& def, const TRow& row)
{
    QStringList parts;
    for (int i = 0; i < def.KeyColumnCount; ++i)
        parts << row.value(QString::fromUtf16(def.Grid.Columns[i].Column));
    return parts.join(u'|');
}

QStringList Keys(const TCheckDef& def, const std::vector<TRow>& rows)
{
    QStringList keys;
    for (const TRow& row : rows)
        keys << KeyOf(def, row);
    keys.sort();
    return keys;
}

QStringList ExpectedKeys(const char* key)
{
    QStringList keys;
    for (const QJsonValue& v : ExpectedNumbers().value(QStringLiteral("checks")).toObject().value(QLatin1StringView(key)).toArray())
        keys << v.toString();
    keys.sort();
    return keys;
}

const TCheckDef& Check(const char* key) { return *FindCheckByKey(QString::fromLatin1(key)); }

class ChecksOnDemo : public ::testing::TestWithParam<TDbType> {};

// The planted sales differ from their lines by 0.50, 2.00 and 0.01: the default tolerance
// (0.01) keeps the 0.01 out, none keeps it in, 1.00 also leaves the 0.50 out.
TEST_P(ChecksOnDemo, ToleranceDecidesWhichLineSumsDiffer)
{
    const auto db = TestManager(GetParam());
    const TCheckDef& def = Check("sale-lines");
    const auto at = [&](qint64 cents) {
        TCheckParams params;
        params.ToleranceCents = cents;
        return Findings(*db, def, {}, params);
    };
    const auto difference = [](const TRow& row) { return qRound64(row.value(QStringLiteral("Difference")).toDouble() * 100); };

    const std::vector<TRow> byDefault = at(1);
    ASSERT_EQ(Keys(def, byDefault), ExpectedKeys("sale-lines"));
    QStringList withinLev;
    for (const TRow& row : byDefault) {
        EXPECT_GT(difference(row), 1) << KeyOf(def, row).toStdString();
        if (difference(row) <= 100)
            withinLev << KeyOf(def, row);
    }
    EXPECT_FALSE(withinLev.isEmpty());

    const std::vector<TRow> exact = at(0);
    QStringList added;
    for (const TRow& row : exact)
        if (!Keys(def, byDefault).contains(KeyOf(def, row))) {
            added << KeyOf(def, row);
            EXPECT_EQ(difference(row), 1);
        }
    EXPECT_EQ(added.size(), 1);
    EXPECT_EQ(exact.size(), byDefault.size() + 1);

    QStringList beyondLev = Keys(def, byDefault);
    for (const QString& key : withinLev)
        beyondLev.removeAll(key);
    EXPECT_EQ(Keys(def, at(100)), beyondLev);
}

TEST_P(ChecksOnDemo, ActivityTypesNameTheReversalsInTheLog)
{
    const auto db = TestManager(GetParam());
    const TCheckDef& def = Check("rev-other-operator");
    TCheckParams none;
    none.ReversalActivities.clear();
    EXPECT_TRUE(Findings(*db, def, {}, none).empty());

    TCheckParams hostile;
    hostile.ReversalActivities = {QStringLiteral("x') OR ('1'='1"), QStringLiteral("Сторно \\' \"; --"),
                                  QStringLiteral("Сторниране на продажба")};
    EXPECT_EQ(Keys(def, Findings(*db, def, {}, hostile)), ExpectedKeys("rev-other-operator"));
    hostile.ReversalActivities.removeLast();
    EXPECT_TRUE(Findings(*db, def, {}, hostile).empty());
}

// A filter keeps exactly the unfiltered findings of its store (by their fiscal devices) and
// period (by the finding's date column).
TEST_P(ChecksOnDemo, FiltersKeepTheFindingsOfTheirStoreAndPeriod)
{
    const auto db = TestManager(GetParam());
    QSet<QString> storeDevices;
    {
        TQuery q(&db->OpenConnection(), ckStatic);
        q.SetSQL(QStringLiteral("SELECT DISTINCT FiscalDeviceN FROM SalesSummaryAudit WHERE StoreN = 1"));
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            storeDevices << q.Fields(0).AsString();
    }
    ASSERT_FALSE(storeDevices.isEmpty());
    const QDate from(2026, 1, 1), to(2026, 12, 31);
    struct TCase {
        const char* Name;
        bool Store, Period;
    };
    int kept = 0, dropped = 0;
    for (const TCase& c : {TCase{"store", true, false}, TCase{"period", false, true}, TCase{"both", true, true}}) {
        TReportFilters filters;
        if (c.Store)
            filters.StoreN = 1;
        if (c.Period) {
            filters.FromDate = DateToDays(from);
            filters.ToDate = DateToDays(to);
        }
        for (const TCheckDef& def : CheckList()) {
            if (def.Group != TCheckGroup::Sums && def.Group != TCheckGroup::Reversals && def.Group != TCheckGroup::People)
                continue;
            if ((c.Store && !(def.Filters & rfStore)) || (c.Period && !(def.Filters & rfPeriod)))
                continue;
            const bool hasDevice = std::any_of(def.Grid.Columns, def.Grid.Columns + def.Grid.ColumnCount,
                                               [](const TReportColumn& col) { return QStringView(col.Column) == u"FiscalDeviceN"; });
            if (c.Store && !hasDevice) {
                Findings(*db, def, filters); // op-inactive: its rows name no device; it still runs
                continue;
            }
            SCOPED_TRACE(std::string(c.Name) + " " + def.Key);
            const QString dateColumn = QString::fromLatin1(def.Key) == u"op-inactive"          ? QStringLiteral("WorkDate")
                                       : QString::fromLatin1(def.Key) == u"masterdata-changed" ? QStringLiteral("ChangeDate")
                                                                                               : QStringLiteral("EndDocDate");
            QStringList expected;
            const std::vector<TRow> all = Findings(*db, def);
            for (const TRow& row : all) {
                QDate day = QDate::fromString(row.value(dateColumn), QStringLiteral("dd.MM.yyyy"));
                if (!day.isValid())
                    day = QDate::fromString(row.value(dateColumn), Qt::ISODate);
                ASSERT_TRUE(!c.Period || day.isValid()) << row.value(dateColumn).toStdString();
                if ((!c.Store || storeDevices.contains(row.value(QStringLiteral("FiscalDeviceN")))) &&
                    (!c.Period || (day >= from && day <= to)))
                    expected << KeyOf(def, row);
            }
            expected.sort();
            EXPECT_EQ(Keys(def, Findings(*db, def, filters)), expected);
            kept += int(expected.size());
            dropped += int(all.size() - expected.size());
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(dropped, 0);
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ChecksOnDemo, ::testing::Values(dbSqlite, dbPostgres),
                         [](const auto& info) { return info.param == dbSqlite ? "Sqlite" : "Postgres"; });

// Scratch tables named as the views, dropped again when the test ends (left there, they
// would make the scratch database an audit database to the tests that follow).
class TScratchViews {
public:
    TScratchViews(TSqlDataManager& db, QStringList creates) : FDb(db)
    {
        for (const QString& create : creates) {
            const QString name = create.section(u' ', 2, 2);
            Drop(name);
            FNames << name;
            FDb.FastSql(create);
        }
    }
    ~TScratchViews()
    {
        for (const QString& name : FNames)
            Drop(name);
    }
    void Sql(const QString& sql) { FDb.FastSql(sql); }

private:
    void Drop(const QString& name)
    {
        const QString kind =
            FDb.DbModel().DbType() == dbPostgres
                ? FDb.FastSql(QStringLiteral("select case relkind when 'v' then 'view' else 'table' end from pg_class "
                                             "where relname = lower('%1') and relnamespace = 'public'::regnamespace")
                                  .arg(name))
                      .toString()
                : FDb.FastSql(QStringLiteral("select type from sqlite_master where name = '%1'").arg(name)).toString();
        // On PostgreSQL the views other tests build on a scratch table go with it.
        if (!kind.isEmpty())
            FDb.FastSql(QStringLiteral("drop %1 %2%3")
                            .arg(kind, name, FDb.DbModel().DbType() == dbPostgres ? QStringLiteral(" cascade") : QString()));
    }
    TSqlDataManager& FDb;
    QStringList FNames;
};

class ChecksOnScratch : public ::testing::TestWithParam<TDbType> {
protected:
    std::unique_ptr<TSqlDataManager> Db()
    {
        return TestManager(GetParam(), GetParam() == dbSqlite ? kScratchDsn : kScratchPgDsn);
    }
    QString Day(const char* iso) const
    {
        return GetParam() == dbPostgres ? QStringLiteral("date '%1'").arg(QLatin1StringView(iso))
                                        : QStringLiteral("'%1'").arg(QLatin1StringView(iso));
    }
};

// An activity type with quotes and backslashes reaches the statement as the very text the
// log holds: it finds the reversal logged under it and nothing else.
TEST_P(ChecksOnScratch, HostileActivityTypeIsMatchedAsItIs)
{
    const auto db = Db();
    const QString hostile = QStringLiteral("Сторно' OR '1'='1 \\' \" --");
    QString stored = hostile;
    stored.replace(u'\'', QStringLiteral("''"));
    TScratchViews views(*db, {QStringLiteral("create table SalesSummaryAudit (UNP varchar(30), UserKod integer, "
                                             "DocNomer integer, FiscalDeviceN integer, StoreName varchar(30), "
                                             "EndDocDate date, StoreN integer, UserN integer)"),
                              QStringLiteral("create table UsersLogAudit (UserID integer, UserName varchar(30), "
                                             "ActivityDateTime timestamp, ActivityType varchar(60), UNP varchar(30), "
                                             "EndDocDate date)")});
    views.Sql(QStringLiteral("insert into SalesSummaryAudit values ('U1', 5, 1, 1, 'Обект', %1, 1, 5), "
                             "('U2', 5, 2, 1, 'Обект', %1, 1, 5)")
                  .arg(Day("2026-03-02")));
    views.Sql(QStringLiteral("insert into UsersLogAudit values (7, 'Иван', null, '%1', 'U1', %2), "
                             "(8, 'Петър', null, 'Сторниране на продажба', 'U2', %2)")
                  .arg(stored, Day("2026-03-02")));
    const TCheckDef& def = Check("rev-other-operator");
    TCheckParams params;
    params.ReversalActivities = {hostile};
    EXPECT_EQ(Keys(def, Findings(*db, def, {}, params)), QStringList{QStringLiteral("U1|7")});
    EXPECT_EQ(Keys(def, Findings(*db, def)), QStringList{QStringLiteral("U2|8")});
}

// An item code with more than one record: a line counts only when none of them was active
// on its day.
TEST_P(ChecksOnScratch, ItemWithManyRecordsIsInactiveOnlyWhenNoneIsActive)
{
    const auto db = Db();
    TScratchViews views(*db, {QStringLiteral("create table ItemsAudit (ItemCode varchar(20), ItemName varchar(30), "
                                             "ItemCreateDate date, ItemLastChangeDate date, ItemDeactivatedDate date)"),
                              QStringLiteral("create table SalesDetailsAudit (UNP varchar(30), DocNomer integer, "
                                             "ItemCode varchar(20), ItemName varchar(30), CostSum numeric(12,2), "
                                             "EndDocDate date, StoreN integer, FiscalDeviceN integer, UserN integer)")});
    views.Sql(QStringLiteral("insert into ItemsAudit values ('X', 'Стока', %1, %1, %2), ('X', 'Стока', %3, %3, null), "
                             "('Y', 'Друга', %4, %4, null)")
                  .arg(Day("2025-01-01"), Day("2025-03-01"), Day("2025-06-01"), Day("2025-05-01")));
    const struct {
        const char* Unp;
        const char* Code;
        const char* Day;
    } lines[] = {
        {"L1", "X", "2025-02-01"}, // the first record is active
        {"L2", "X", "2025-03-01"}, // its deactivation day still counts
        {"L3", "X", "2025-04-15"}, // between the two: none is active
        {"L4", "X", "2025-07-01"}, // the second record is active
        {"L5", "Y", "2025-04-01"}, // before its only record was added
    };
    for (const auto& line : lines)
        views.Sql(QStringLiteral("insert into SalesDetailsAudit values ('%1', 1, '%2', 'Стока', 1.00, %3, 1, 1, 1)")
                      .arg(QLatin1StringView(line.Unp), QLatin1StringView(line.Code), Day(line.Day)));
    const TCheckDef& def = Check("item-inactive");
    EXPECT_EQ(Keys(def, Findings(*db, def)), (QStringList{QStringLiteral("X|L3"), QStringLiteral("Y|L5")}));
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ChecksOnScratch, ::testing::Values(dbSqlite, dbPostgres),
                         [](const auto& info) { return info.param == dbSqlite ? "Sqlite" : "Postgres"; });

// Amounts that are not numbers on SQLite (a text, NULL) flag their sale as such; an amount
// with more than 2 decimals counts rounded to stotinki.
TEST(ChecksOnHostileSqlite, AmountsThatAreNoNumbersFlagTheirSale)
{
    const auto db = TestManager(dbSqlite, kScratchDsn);
    TScratchViews views(*db, {QStringLiteral("create table SalesSummaryAudit (UNP varchar(30), DocNomer integer, "
                                             "FiscalDeviceN integer, StoreName varchar(30), UserN integer, StoreN integer, "
                                             "EndDocDate date, TotalSumWithVAT numeric(12,2), SumVAT numeric(12,2))"),
                              QStringLiteral("create table SalesDetailsAudit (UNP varchar(30), EndDocDate date, "
                                             "StoreN integer, FiscalDeviceN integer, UserN integer, "
                                             "CostSum numeric(12,2), VATSum numeric(12,2))")});
    const struct {
        const char* Unp;
        const char* Total;
        std::vector<const char*> Lines;
    } sales[] = {
        {"A", "10.00", {"5.00", "5.00"}},           // adds up
        {"B", "10.00", {"5.00", "'пет'"}},          // a text in a line
        {"C", "null", {"10.00"}},                   // no amount due
        {"D", "10.00", {"5.00", "null"}},           // a line without an amount
        {"E", "10.00", {"3.334", "3.333", "3.333"}}, // 3.33 x 3: 0.01 short
        {"F", "'10,00'", {"10.00"}},                // an amount due stored as a text
        {"G", "10.004", {"10.00"}},                 // the same in stotinki
    };
    for (const auto& sale : sales) {
        views.Sql(QStringLiteral("insert into SalesSummaryAudit values ('%1', 1, 1, 'Обект', 1, 1, '2026-03-02', %2, 0)")
                      .arg(QLatin1StringView(sale.Unp), QLatin1StringView(sale.Total)));
        for (const char* cost : sale.Lines)
            views.Sql(QStringLiteral("insert into SalesDetailsAudit values ('%1', '2026-03-02', 1, 1, 1, %2, 0)")
                          .arg(QLatin1StringView(sale.Unp), QLatin1StringView(cost)));
    }
    const TCheckDef& def = Check("sale-lines");
    const std::vector<TRow> found = Findings(*db, def);
    EXPECT_EQ(Keys(def, found), (QStringList{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                                             QStringLiteral("F")}));
    for (const TRow& row : found)
        EXPECT_EQ(row.value(QStringLiteral("Finding")), QStringLiteral("Сума без стойност или не е число"));
    TCheckParams exact;
    exact.ToleranceCents = 0;
    EXPECT_EQ(Keys(def, Findings(*db, def, {}, exact)),
              (QStringList{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E"),
                           QStringLiteral("F")}));
}

} // namespace
