// The numbering and time checks beyond their demo findings: the windowless form (the one SQL
// Anywhere runs) finds what the window form finds, the filters keep exactly the findings of
// their store, device and period, the open-minutes limit and the opening hours change the
// findings as they say, and values a hostile database stores go where the checks put them.
#include "TestSupport.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "checks/CheckSqlUnit.h"
#include "db/FieldUnit.h"
#include "db/QueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <map>

namespace {

const QDate kCheckDay(2027, 1, 15);

bool Ours(const TCheckDef& def) { return def.Group == TCheckGroup::Numbering || def.Group == TCheckGroup::Times; }

struct TFindingRows {
    QStringList Keys;                            // the key columns joined with "|", sorted
    std::vector<std::map<QString, QString>> Rows; // every column by alias
    QStringList Texts;                           // every row's columns joined, sorted
};

TFindingRows Findings(TSqlDataManager& db, const TCheckDef& def, const TReportFilters& filters = {},
                      const TCheckParams& params = {}, bool windowless = false)
{
    const TRepository repo(db.DbModel().DbType());
    TCheckSql sql(repo, filters, params, kCheckDay);
    sql.SetWindowless(windowless);
    TQuery q(&db.OpenConnection(), ckStatic);
    q.SetSQL(def.Build(sql));
    q.Open();
    TFindingRows out;
    for (q.First(); !q.Eof(); q.Next()) {
        std::map<QString, QString> row;
        QStringList all;
        for (int i = 0; i < def.Grid.ColumnCount; ++i) {
            const QString alias = QString::fromUtf16(def.Grid.Columns[i].Column);
            TField* field = q.FindField(alias);
            EXPECT_NE(field, nullptr) << alias.toStdString();
            row[alias] = field ? (field->IsNull() ? QStringLiteral("<null>") : field->AsString()) : QString();
            all << row[alias];
        }
        QStringList key;
        for (int i = 0; i < def.KeyColumnCount; ++i)
            key << row[QString::fromUtf16(def.Grid.Columns[i].Column)];
        out.Keys << key.join(u'|');
        out.Texts << all.join(u'|');
        out.Rows.push_back(std::move(row));
    }
    out.Keys.sort();
    out.Texts.sort();
    return out;
}

QStringList JsonList(const QJsonValue& v)
{
    QStringList list;
    for (const QJsonValue& e : v.toArray())
        list << e.toString();
    list.sort();
    return list;
}

class NumberingTimes : public ::testing::TestWithParam<TDbType> {};

// Every column of every finding, not only the keys: the windowless statement is the only
// text SQL Anywhere runs, so it must say exactly what the window form says.
TEST_P(NumberingTimes, WindowlessFormFindsWhatTheWindowFormFinds)
{
    const auto db = TestManager(GetParam());
    int findings = 0;
    for (const TCheckDef& def : CheckList()) {
        if (!Ours(def))
            continue;
        SCOPED_TRACE(def.Key);
        const TFindingRows window = Findings(*db, def);
        EXPECT_EQ(Findings(*db, def, {}, {}, true).Texts, window.Texts);
        findings += int(window.Texts.size());
    }
    EXPECT_GT(findings, 0);
}

struct TFilterCase {
    const char* Name;
    TReportFilters Filters;
};

// A filter keeps a finding when its device, its store and every day it involves (both sides
// of a gap, of a double, of a back-in-time pair) are the filter's.
TEST_P(NumberingTimes, FiltersKeepExactlyTheFindingsOfTheirStoreDeviceAndPeriod)
{
    const auto db = TestManager(GetParam());
    std::map<int, QString> storeNames;
    {
        TQuery q(&db->OpenConnection(), ckStatic);
        q.SetSQL(QStringLiteral("SELECT StoreN, StoreName FROM StoreFilterAudit"));
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            storeNames[q.Fields(0).AsString().toInt()] = q.Fields(1).AsString();
    }
    TReportFilters store, device, year;
    store.StoreN = 1;
    device.FiscalDeviceN = 9;
    year.FromDate = DateToDays(QDate(2026, 1, 1));
    year.ToDate = DateToDays(QDate(2026, 12, 31));
    const TFilterCase cases[] = {{"store 1", store}, {"device 9", device}, {"2026", year}};
    // The days a finding involves, by the columns that hold them.
    const std::map<QString, QStringList> days = {
        {QStringLiteral("unp-gaps"), {"PrevDate", "NextDate"}},   {QStringLiteral("doc-gaps"), {"PrevDate", "NextDate"}},
        {QStringLiteral("unp-doubles"), {"FirstDate", "LastDate"}}, {QStringLiteral("doc-doubles"), {"FirstDate", "LastDate"}},
        {QStringLiteral("unp-order"), {"ClosedDate", "PrevDate"}}, {QStringLiteral("doc-order"), {"ClosedDate", "PrevDate"}},
    };
    std::map<std::string, int> keptCount, allCount;
    for (const TCheckDef& def : CheckList()) {
        if (!Ours(def))
            continue;
        SCOPED_TRACE(def.Key);
        const TFindingRows all = Findings(*db, def);
        const auto found = days.find(QString::fromLatin1(def.Key));
        const QStringList dayColumns = found != days.end() ? found->second : QStringList{QStringLiteral("EndDocDate")};
        for (const TFilterCase& c : cases) {
            SCOPED_TRACE(c.Name);
            QStringList kept;
            for (size_t i = 0; i < all.Rows.size(); ++i) {
                const auto& row = all.Rows[i];
                bool keep = true;
                if (c.Filters.StoreN)
                    keep = keep && row.at(QStringLiteral("StoreName")) == storeNames[c.Filters.StoreN];
                if (c.Filters.FiscalDeviceN)
                    keep = keep && row.at(QStringLiteral("FiscalDeviceN")).toInt() == c.Filters.FiscalDeviceN;
                if (c.Filters.FromDate != 0)
                    for (const QString& column : dayColumns) {
                        // A date column as a date, a computed one on SQLite as its ISO text.
                        QDate d = QDate::fromString(row.at(column), QStringLiteral("dd.MM.yyyy"));
                        if (!d.isValid())
                            d = QDate::fromString(row.at(column), Qt::ISODate);
                        EXPECT_TRUE(d.isValid()) << column.toStdString();
                        keep = keep && d >= DaysToDate(c.Filters.FromDate) && d <= DaysToDate(c.Filters.ToDate);
                    }
                if (keep) {
                    QStringList key;
                    for (int k = 0; k < def.KeyColumnCount; ++k)
                        key << row.at(QString::fromUtf16(def.Grid.Columns[k].Column));
                    kept << key.join(u'|');
                }
            }
            kept.sort();
            EXPECT_EQ(Findings(*db, def, c.Filters).Keys, kept);
            keptCount[c.Name] += int(kept.size());
            allCount[c.Name] += int(all.Keys.size());
        }
    }
    for (const TFilterCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_GT(keptCount[c.Name], 0);
        EXPECT_LT(keptCount[c.Name], allCount[c.Name]);
    }
}

TEST_P(NumberingTimes, OpenMinutesLimitDecidesWhichSalesWereOpenTooLong)
{
    const auto db = TestManager(GetParam());
    const TCheckDef* def = FindCheckByKey(u"time-long-open");
    ASSERT_NE(def, nullptr);
    const QStringList atDefault = JsonList(ExpectedNumbers()[QStringLiteral("checks")][QStringLiteral("time-long-open")]);
    const QStringList at30 =
        JsonList(ExpectedNumbers()[QStringLiteral("checksWithParams")][QStringLiteral("time-long-open OpenMinutes=30")]);
    ASSERT_FALSE(atDefault.isEmpty());
    ASSERT_GT(at30.size(), atDefault.size()) << "a sale open just under an hour";
    const auto run = [&](int minutes) {
        TCheckParams params;
        params.OpenMinutes = minutes;
        return Findings(*db, *def, {}, params);
    };
    EXPECT_EQ(run(30).Keys, at30);
    EXPECT_EQ(run(60).Keys, atDefault);
    // The longest plant is open 302 minutes: over 301, not over 302.
    const TFindingRows at301 = run(301);
    ASSERT_EQ(at301.Rows.size(), 1u);
    EXPECT_TRUE(atDefault.contains(at301.Keys[0]));
    EXPECT_EQ(at301.Rows[0].at(QStringLiteral("OpenMinutes")), QStringLiteral("302"));
    EXPECT_EQ(at301.Rows[0].at(QStringLiteral("Finding")), QStringLiteral("Отворена 302 мин. 0 сек., над 301 мин."));
    EXPECT_TRUE(run(302).Keys.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothEngines, NumberingTimes, ::testing::Values(dbSqlite, dbPostgres),
                         [](const auto& info) { return info.param == dbSqlite ? "Sqlite" : "Postgres"; });

// ---- a scratch database of a few sales on two devices, with the irregularities and the
// values a hostile database may hold

struct TScratchSale {
    const char* Unp; // nullptr: NULL
    const char* DocNomer;
    const char* Device;
    const char* Start; // "date time"
    const char* End;
    const char* Invoice = "null";
};

// Device 1 (serial AB000001) and device 2 (AB000002), in the order they were issued.
const TScratchSale kScratchSales[] = {
    {"AB000001-0001-0000001", "101", "1", "2025-03-01 09:59:00", "2025-03-01 10:00:00"},
    {"AB000001-0001-0000002", "102", "1", "2025-03-01 10:06:00", "2025-03-01 10:05:00"}, // closed before opened
    // number 3 / 103: a revoked sale of three lines (below)
    {"AB000001-0002-0000003", "104", "1", "2025-03-01 10:19:00", "2025-03-01 10:20:00"}, // number 3 again
    {"AB000001-0001-0000006", "105", "1", "2025-03-01 09:00:00", "2025-03-01 10:30:00"}, // after a gap; 90 min
    {"AB000001-0001-0000008", "106", "1", "2025-03-01 10:24:00", "2025-03-01 10:25:00"}, // back in time
    {"ab000001-0001-0000009", "107", "1", "2025-03-01 10:59:00", "2025-03-01 11:00:00"}, // lowercase: not numbered
    {nullptr, "108", "1", "2025-03-01 11:04:00", "2025-03-01 11:05:00"},                 // no UNP
    {"AB000001-0001-0000010", "'abc'", "1", "2025-03-01 11:09:00", "2025-03-01 11:10:00"}, // text number
    {"AB000001-0001-0000011", "110", "1", "2025-03-01 noon", "2025-03-01 11:15:00"},        // opening time no time
    {"AB000002-0001-0000001", "1", "2", "2025-04-01 08:00:00", "2025-04-01 09:00:00", "'2025-03-30'"},
    {"AB000002-0001-0000002", "2", "2", "2025-04-01 09:09:00", "2025-04-01 09:10:00"}, // also revoked (below)
    {"AB000002-0001-0000003", "3", "2", "2025-04-01 09:19:00", "2025-04-01 09:20:00"},
    {"AB000002-0001-0000004", "-5", "2", "2025-04-01 09:29:00", "2025-04-01 09:30:00"},
    {"AB000002-0001-0000005", "5", "2", "2031-01-01 09:00:00", "2031-01-01 09:01:00"}, // in the future
    {"AB000002-0001-0000006", "6", "null", "2025-04-01 09:49:00", "2025-04-01 09:50:00"}, // no device
    {"AB000002-0001-0000007", "7", "2", "2025-04-01 20:58:00", "2025-04-01 21:02:00"},
    {"AB000002-0001-0000008", "8", "2", "2025-04-01 23:58:00", "2025-04-02 00:02:00"}, // over midnight
    {"AB000002-0001-0000009", "9", "2", "2025-04-02 05:50:00", "2025-04-02 06:10:00"},
};

QString Lit(const QString& text) { return u'\'' + text + u'\''; }

// Drops a table or view of the scratch database by its name.
void DropScratch(TSqlDataManager& db, const QString& name)
{
    if (db.DbModel().DbType() == dbSqlite) {
        const QString kind =
            db.FastSql(QStringLiteral("select type from sqlite_master where name = '%1'").arg(name)).toString();
        if (!kind.isEmpty())
            db.FastSql(QStringLiteral("drop %1 %2").arg(kind, name));
        return;
    }
    const QString kind =
        db.FastSql(QStringLiteral("select relkind from pg_class where relname = lower('%1')").arg(name)).toString();
    if (kind == QStringLiteral("v"))
        db.FastSql(QStringLiteral("drop view %1").arg(name));
    else if (kind == QStringLiteral("r"))
        db.FastSql(QStringLiteral("drop table %1").arg(name));
}

// The two views the checks read, as tables of the scratch database; on PostgreSQL the values
// no typed column takes are NULL.
struct TScratchSales {
    explicit TScratchSales(TSqlDataManager& db) : Db(db)
    {
        Drop();
        const bool pg = db.DbModel().DbType() == dbPostgres;
        db.FastSql(QStringLiteral(
            "create table SalesSummaryAudit (UNP varchar(21), DocNomer integer, StoreName varchar(100), StartDocDate date, "
            "StartDocTime time, EndDocDate date, EndDocTime time, InvoiceDate date, TotalSumWithVAT numeric(12,2), "
            "StoreN integer, FiscalDeviceN integer, UserN integer)"));
        db.FastSql(QStringLiteral("create table SalesRevokedAudit (UNP varchar(21), DocNomer integer, StoreName "
                                  "varchar(100), SaleRevokedTime time, EndDocDate date, StoreN integer, FiscalDeviceN "
                                  "integer, UserN integer, ItemCode varchar(20))"));
        const auto typed = [pg](const QString& literal, bool time) {
            if (!pg)
                return literal;
            if (literal == QStringLiteral("'abc'") || (time && literal == QStringLiteral("'noon'")))
                return QStringLiteral("null");
            return literal;
        };
        for (const TScratchSale& s : kScratchSales) {
            const QString start = QString::fromUtf8(s.Start), end = QString::fromUtf8(s.End);
            const QString device = QString::fromUtf8(s.Device);
            db.FastSql(QStringLiteral("insert into SalesSummaryAudit values (%1, %2, %3, %4, %5, %6, %7, %8, 10.50, %9, "
                                      "%10, 1)")
                           .arg(s.Unp ? Lit(QString::fromUtf8(s.Unp)) : QStringLiteral("null"), typed(QString::fromUtf8(s.DocNomer), false),
                                QStringLiteral("'Обект %1'").arg(device), Lit(start.section(u' ', 0, 0)),
                                typed(u'\'' + start.section(u' ', 1) + u'\'', true),
                                Lit(end.section(u' ', 0, 0)), Lit(end.section(u' ', 1)),
                                QString::fromUtf8(s.Invoice), device)
                           .arg(device));
        }
        for (int line = 1; line <= 3; ++line)
            db.FastSql(QStringLiteral("insert into SalesRevokedAudit values ('AB000001-0001-0000003', 103, 'Обект 1', "
                                      "'10:10:00', '2025-03-01', 1, 1, 1, '%1')")
                           .arg(line));
        for (int line = 1; line <= 2; ++line)
            db.FastSql(QStringLiteral("insert into SalesRevokedAudit values ('AB000002-0001-0000002', 2, 'Обект 2', "
                                      "'09:05:00', '2025-04-01', 2, 2, 1, '%1')")
                           .arg(line));
    }
    ~TScratchSales() { Drop(); }
    void Drop()
    {
        DropScratch(Db, QStringLiteral("SalesSummaryAudit"));
        DropScratch(Db, QStringLiteral("SalesRevokedAudit"));
    }
    TSqlDataManager& Db;
};

class ScratchSales : public ::testing::TestWithParam<TDbType> {};

// Each check's findings on the scratch sales, and that the windowless form finds the same.
TEST_P(ScratchSales, EachCheckFindsWhatTheSalesHoldAndNoMore)
{
    auto db = TestManager(GetParam(), GetParam() == dbSqlite ? kScratchDsn : kScratchPgDsn);
    TScratchSales sales(*db);
    const std::map<QString, QStringList> expected = {
        // The malformed UNP and the revoked sale leave numbers 4-5, 7 and 9 missing; number 3
        // is a revoked sale of three lines and a sale.
        {"unp-gaps", {"AB000001|4|5", "AB000001|7|7", "AB000001|9|9"}},
        {"unp-doubles", {"AB000001|3", "AB000002|2"}},
        {"unp-order", {"AB000001|8", "AB000002|6"}},
        {"unp-form", {"<null>|Продажба", "ab000001-0001-0000009|Продажба"}},
        // The text number, the negative one and the sale without a device are not numbered.
        {"doc-gaps", {"1|109|109", "2|4|4", "2|6|6"}},
        {"doc-doubles", {"2|2"}},
        {"doc-order", {"1|106", "2|7"}},
        {"doc-form",
         {"AB000001-0001-0000010|Продажба", "AB000002-0001-0000004|Продажба", "AB000002-0001-0000006|Продажба"}},
        {"time-closed-before-opened", {"AB000001-0001-0000002"}},
        {"time-long-open", {"AB000001-0001-0000006"}},
        {"time-other-day", {"AB000002-0001-0000008"}},
        {"time-invoice-before", {"AB000002-0001-0000001"}},
        {"time-future", {"AB000002-0001-0000005"}},
        {"time-outside-hours", {}},
    };
    for (const TCheckDef& def : CheckList()) {
        if (!Ours(def))
            continue;
        SCOPED_TRACE(def.Key);
        const TFindingRows found = Findings(*db, def);
        QStringList want = expected.at(QString::fromLatin1(def.Key));
        want.sort();
        EXPECT_EQ(found.Keys, want);
        EXPECT_EQ(Findings(*db, def, {}, {}, true).Texts, found.Texts);
    }
    // What the findings say of the doubled number and the gap after it.
    const TFindingRows doubles = Findings(*db, *FindCheckByKey(u"unp-doubles"));
    ASSERT_EQ(doubles.Rows.size(), 2u);
    EXPECT_EQ(doubles.Rows[0].at(QStringLiteral("Times")), QStringLiteral("2"));
    EXPECT_EQ(doubles.Rows[0].at(QStringLiteral("Finding")), QStringLiteral("Номерът е издаден 2 пъти"));
    const TFindingRows gaps = Findings(*db, *FindCheckByKey(u"unp-gaps"));
    ASSERT_EQ(gaps.Rows.size(), 3u);
    const auto& gap = gaps.Rows[0]; // 4-5: after the doubled number 3, before number 6
    EXPECT_EQ(gap.at(QStringLiteral("MissingCount")), QStringLiteral("2"));
    EXPECT_EQ(gap.at(QStringLiteral("Finding")), QStringLiteral("Липсват 2 номера"));
    EXPECT_EQ(gap.at(QStringLiteral("PrevUNP")), QStringLiteral("AB000001-0001-0000003"));
    EXPECT_EQ(gap.at(QStringLiteral("PrevDate")), QStringLiteral("<null>")) << "two documents: no one closing day";
    EXPECT_EQ(gap.at(QStringLiteral("NextUNP")), QStringLiteral("AB000001-0001-0000006"));
}

TEST_P(ScratchSales, OpeningHoursFlagSalesOpenedOrClosedOutsideThem)
{
    auto db = TestManager(GetParam(), GetParam() == dbSqlite ? kScratchDsn : kScratchPgDsn);
    TScratchSales sales(*db);
    const TCheckDef* def = FindCheckByKey(u"time-outside-hours");
    ASSERT_NE(def, nullptr);
    const struct {
        const char* Hours;
        std::map<QString, QString> Expected; // UNP -> what it says
    } cases[] = {
        // Both ends belong to the hours: 08:00 opens the first sale of device 2.
        {"08:00-21:00",
         {{"AB000002-0001-0000007", "Приключена извън работното време"},
          {"AB000002-0001-0000008", "Открита и приключена извън работното време"},
          {"AB000002-0001-0000009", "Открита и приключена извън работното време"}}},
        // Hours over midnight.
        {"06:00-01:00", {{"AB000002-0001-0000009", "Открита извън работното време"}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Hours);
        const auto hours = TCheckParams::ParseOpeningHours(QString::fromLatin1(c.Hours));
        ASSERT_TRUE(hours.has_value());
        TCheckParams params;
        params.OpensAt = hours->first;
        params.ClosesAt = hours->second;
        const TFindingRows found = Findings(*db, *def, {}, params);
        std::map<QString, QString> said;
        for (const auto& row : found.Rows)
            said[row.at(QStringLiteral("UNP"))] = row.at(QStringLiteral("Finding"));
        EXPECT_EQ(said, c.Expected);
        EXPECT_EQ(Findings(*db, *def, {}, params, true).Texts, found.Texts);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ScratchSales, ::testing::Values(dbSqlite, dbPostgres),
                         [](const auto& info) { return info.param == dbSqlite ? "Sqlite" : "Postgres"; });

} // namespace
