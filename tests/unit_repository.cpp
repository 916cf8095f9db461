// The report query builder: the exact texts of the count and page queries for every
// filter combination and dialect, and the report catalogue they are built from.

#include "db/Exception.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using FillOp = void (TRepository::*)(QString&, QString&, TReportFilters) const;

// Expected texts are UTF-8 std::strings so that a mismatch prints as a readable diff.
std::string U8(const QString& s) { return s.toStdString(); }

double Day(int y, int m, int d) { return DateToDays(QDate(y, m, d)); }

TReportFilters Filters(double from, double to, int32_t store, int32_t device, int32_t user, int32_t page,
                       int32_t perPage)
{
    return TReportFilters{.FromDate = from, .ToDate = to, .StoreN = store, .FiscalDeviceN = device, .UserN = user,
                          .PageNumber = page, .RecordsPerPage = perPage};
}

const std::string kSummaryItems =
    " UNP as \"УНП\",  DocNomer as \"Номер документ\",  StoreName as \"Търговски Обект\", "
    " StartDocDate as \"Дата откриване продажба\",  StartDocTime as \"Време откриване продажба\", "
    " PosId as \"Код на работно място\",  UserKod as \"Код на оператор\", "
    " TotalSumNoVat as \"Сума лв. без ДДС\",  SumDiscounts as \"Отстъпка лв.\",  SumVAT as \"ДДС сума\", "
    " TotalSumWithVAT as \"Дължима сума\",  InvoiceNumber as \"Номер фактура\", "
    " InvoiceDate as \"Дата фактура\",  EndDocDate as \"Дата приключване продажба\", "
    " EndDocTime as \"Време приключване продажба\",  PartnerCode as \"Клиент код\", "
    " PartnerName as \"Клиент име\" ";

const std::string kItemsItems =
    " ItemCode as \"Код на стоката\",  ItemName as \"Наименование\", "
    " ItemCreateDate as \"Дата на добавяне на стоката\",  ItemLastChangeDate as \"Дата на последна промяна\", "
    " ItemDeactivatedDate as \"Дата на деактивиране\" ";

// ---- Date helpers ------------------------------------------------------------------------

TEST(RepositoryDates, DayCountsFromTheLastDaysOf1899)
{
    struct Case {
        QDate date;
        double days;
    };
    const Case cases[] = {
        {QDate(1899, 12, 30), 0},     {QDate(1899, 12, 29), -1},    {QDate(1900, 1, 1), 2},
        {QDate(2000, 1, 1), 36526},   {QDate(2026, 3, 1), 46082},   {QDate(2026, 3, 31), 46112},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(DateToDays(c.date), c.days);
        EXPECT_EQ(DaysToDate(c.days), c.date);
    }
}

TEST(RepositoryDates, TimeOfDayIsDropped)
{
    EXPECT_EQ(DaysToDate(46082.999), QDate(2026, 3, 1));
    EXPECT_EQ(DaysToDate(46082.5), QDate(2026, 3, 1));
    // Before the day zero the fraction still is the time of day, not a step back.
    EXPECT_EQ(DaysToDate(-1.25), QDate(1899, 12, 29));
}

// ---- Whole texts of the documented examples, in every dialect ------------------------------

struct WholeTextCase {
    const char* name;
    TDbType dialect;
    FillOp fill;
    TReportFilters filters;
    std::string reportSql;
    std::string recCountSql;
};

TEST(RepositoryQueries, WholeTextsOfTheExamples)
{
    const TReportFilters march = Filters(Day(2026, 3, 1), Day(2026, 3, 31), 5, 0, 12, 2, 100);
    const TReportFilters firstPage = Filters(0, 0, 0, 0, 0, 0, 100);
    const std::string summaryWhere =
        "WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260331 AND  StoreN = 5 AND  UserN = 12";
    const std::string summaryWhereIso =
        "WHERE EndDocDate >= '2026-03-01' AND EndDocDate <= '2026-03-31' AND  StoreN = 5 AND  UserN = 12";

    const WholeTextCase cases[] = {
        {"sybase sales summary", dbSybase, &TRepository::FillSalesSummaryQuery, march,
         "SELECT TOP 100 START AT 201" + kSummaryItems + "FROM SalesSummaryAudit " + summaryWhere +
             " ORDER BY EndDocDate,UNP",
         "SELECT count(*) FROM SalesSummaryAudit " + summaryWhere},
        {"no engine type writes the SQL Anywhere text", dbNone, &TRepository::FillSalesSummaryQuery, march,
         "SELECT TOP 100 START AT 201" + kSummaryItems + "FROM SalesSummaryAudit " + summaryWhere +
             " ORDER BY EndDocDate,UNP",
         "SELECT count(*) FROM SalesSummaryAudit " + summaryWhere},
        {"sybase items", dbSybase, &TRepository::FillItemsQuery, firstPage,
         "SELECT TOP 100 START AT 1" + kItemsItems + "FROM ItemsAudit  ORDER BY ItemCode",
         "SELECT count(*) FROM ItemsAudit "},
        {"sqlite sales summary", dbSqlite, &TRepository::FillSalesSummaryQuery, march,
         "SELECT " + kSummaryItems + "FROM SalesSummaryAudit " + summaryWhereIso +
             " ORDER BY EndDocDate,UNP LIMIT 100 OFFSET 200",
         "SELECT count(*) FROM SalesSummaryAudit " + summaryWhereIso},
        {"postgres sales summary", dbPostgres, &TRepository::FillSalesSummaryQuery, march,
         "SELECT " + kSummaryItems + "FROM SalesSummaryAudit " + summaryWhereIso +
             " ORDER BY EndDocDate,UNP LIMIT 100 OFFSET 200",
         "SELECT count(*) FROM SalesSummaryAudit " + summaryWhereIso},
        {"sqlite items", dbSqlite, &TRepository::FillItemsQuery, firstPage,
         "SELECT " + kItemsItems + "FROM ItemsAudit  ORDER BY ItemCode LIMIT 100 OFFSET 0",
         "SELECT count(*) FROM ItemsAudit "},
        {"postgres items", dbPostgres, &TRepository::FillItemsQuery, firstPage,
         "SELECT " + kItemsItems + "FROM ItemsAudit  ORDER BY ItemCode LIMIT 100 OFFSET 0",
         "SELECT count(*) FROM ItemsAudit "},
    };
    for (const WholeTextCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TRepository repository(c.dialect);
        QString reportSql = QStringLiteral("left over"), recCountSql = QStringLiteral("left over");
        (repository.*c.fill)(reportSql, recCountSql, c.filters);
        EXPECT_EQ(U8(reportSql), c.reportSql);
        EXPECT_EQ(U8(recCountSql), c.recCountSql);
    }
}

// ---- Filter clause ------------------------------------------------------------------------

struct FilterCase {
    const char* name;
    TReportFilters filters;
    std::string where;    // SQL Anywhere
    std::string whereIso; // SQLite and PostgreSQL
};

TEST(RepositoryQueries, FilterClauseCombinations)
{
    const double mar1 = Day(2026, 3, 1);
    const double mar31 = Day(2026, 3, 31);
    const FilterCase cases[] = {
        {"nothing set", Filters(0, 0, 0, 0, 0, 0, 0), "", ""},
        {"only the first date", Filters(mar1, 0, 0, 0, 0, 0, 0), "", ""},
        {"only the last date", Filters(0, mar31, 0, 0, 0, 0, 0), "", ""},
        {"only the first date and a store", Filters(mar1, 0, 5, 0, 0, 0, 0), "WHERE  StoreN = 5",
         "WHERE  StoreN = 5"},
        {"one single day", Filters(mar1, mar1, 0, 0, 0, 0, 0),
         "WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260301",
         "WHERE EndDocDate >= '2026-03-01' AND EndDocDate <= '2026-03-01'"},
        {"times of day are dropped", Filters(mar1 + 0.75, mar31 + 0.999, 0, 0, 0, 0, 0),
         "WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260331",
         "WHERE EndDocDate >= '2026-03-01' AND EndDocDate <= '2026-03-31'"},
        {"reversed period is not corrected", Filters(mar31, Day(2026, 1, 5), 0, 0, 0, 0, 0),
         "WHERE EndDocDate >= 20260331 AND EndDocDate <= 20260105",
         "WHERE EndDocDate >= '2026-03-31' AND EndDocDate <= '2026-01-05'"},
        {"only the fiscal device", Filters(0, 0, 0, 7, 0, 0, 0), "WHERE  FiscalDeviceN = 7",
         "WHERE  FiscalDeviceN = 7"},
        {"only the user", Filters(0, 0, 0, 0, 12, 0, 0), "WHERE  UserN = 12", "WHERE  UserN = 12"},
        {"store, device and user without a period", Filters(0, 0, 5, 7, 12, 0, 0),
         "WHERE  StoreN = 5 AND  FiscalDeviceN = 7 AND  UserN = 12",
         "WHERE  StoreN = 5 AND  FiscalDeviceN = 7 AND  UserN = 12"},
        {"period and device", Filters(mar1, mar31, 0, 7, 0, 0, 0),
         "WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260331 AND  FiscalDeviceN = 7",
         "WHERE EndDocDate >= '2026-03-01' AND EndDocDate <= '2026-03-31' AND  FiscalDeviceN = 7"},
        {"everything", Filters(mar1, mar31, 5, 7, 12, 0, 0),
         "WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260331 AND  StoreN = 5 AND  FiscalDeviceN = 7 AND  UserN = 12",
         "WHERE EndDocDate >= '2026-03-01' AND EndDocDate <= '2026-03-31' AND  StoreN = 5 AND  FiscalDeviceN = 7 "
         "AND  UserN = 12"},
        {"negative numbers are terms too", Filters(0, 0, -1, -7, INT32_MIN, 0, 0),
         "WHERE  StoreN = -1 AND  FiscalDeviceN = -7 AND  UserN = -2147483648",
         "WHERE  StoreN = -1 AND  FiscalDeviceN = -7 AND  UserN = -2147483648"},
        {"largest numbers", Filters(0, 0, INT32_MAX, 0, 0, 0, 0), "WHERE  StoreN = 2147483647",
         "WHERE  StoreN = 2147483647"},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (TDbType dialect : {dbSybase, dbSqlite, dbPostgres}) {
            SCOPED_TRACE(int(dialect));
            const std::string& where = dialect == dbSybase ? c.where : c.whereIso;
            const TRepository repository(dialect);
            QString reportSql, recCountSql;
            repository.FillSalesSummaryQuery(reportSql, recCountSql, c.filters);
            // No paging here, so the page query is the same in every dialect but for the dates.
            EXPECT_EQ(U8(recCountSql), "SELECT count(*) FROM SalesSummaryAudit " + where);
            EXPECT_EQ(U8(reportSql),
                      "SELECT " + kSummaryItems + "FROM SalesSummaryAudit " + where + " ORDER BY EndDocDate,UNP");
        }
    }
}

// The users' log shows and orders by ActivityDateTime but its period compares EndDocDate.
TEST(RepositoryQueries, UsersLogPeriodComparesEndDocDate)
{
    const TRepository repository(dbSybase);
    QString reportSql, recCountSql;
    repository.FillUsersLogQuery(reportSql, recCountSql, Filters(Day(2026, 3, 1), Day(2026, 3, 31), 0, 0, 0, 0, 0));
    const std::string tail =
        "FROM UsersLogAudit WHERE EndDocDate >= 20260301 AND EndDocDate <= 20260331 ORDER BY ActivityDateTime";
    EXPECT_EQ(U8(recCountSql), "SELECT count(*) FROM UsersLogAudit WHERE EndDocDate >= 20260301 AND "
                               "EndDocDate <= 20260331");
    EXPECT_TRUE(U8(reportSql).ends_with(" UNP as \"УНП\" " + tail)) << U8(reportSql);
}

// ---- Paging clause ------------------------------------------------------------------------

struct PagingCase {
    TDbType dialect;
    int32_t page;
    int32_t perPage;
    std::string afterSelect; // between "SELECT " and the first item's own space
    std::string afterOrder;  // after " ORDER BY ItemCode"
};

TEST(RepositoryQueries, PagingClause)
{
    const PagingCase cases[] = {
        {dbSybase, 0, 300, "TOP 300 START AT 1", ""},
        {dbSybase, 1, 300, "TOP 300 START AT 301", ""},
        {dbSybase, 3, 300, "TOP 300 START AT 901", ""},
        {dbSybase, 7, 5000, "TOP 5000 START AT 35001", ""},
        {dbSybase, 0, 0, "", ""},
        {dbSybase, 3, 0, "", ""},
        {dbSybase, 3, -100, "", ""},
        {dbSybase, 30000, 100000, "TOP 100000 START AT 3000000001", ""}, // past 32 bits
        {dbSqlite, 0, 300, "", " LIMIT 300 OFFSET 0"},
        {dbSqlite, 1, 300, "", " LIMIT 300 OFFSET 300"},
        {dbSqlite, 3, 300, "", " LIMIT 300 OFFSET 900"},
        {dbSqlite, 3, 0, "", ""},
        {dbSqlite, 3, -100, "", ""},
        {dbPostgres, 3, 300, "", " LIMIT 300 OFFSET 900"},
        {dbPostgres, 0, 0, "", ""},
        {dbPostgres, 30000, 100000, "", " LIMIT 100000 OFFSET 3000000000"},
    };
    for (const PagingCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dialect " << int(c.dialect) << ", page " << c.page << " of "
                                          << c.perPage);
        const TRepository repository(c.dialect);
        QString reportSql, recCountSql;
        repository.FillItemsQuery(reportSql, recCountSql, Filters(0, 0, 0, 0, 0, c.page, c.perPage));
        EXPECT_EQ(U8(reportSql),
                  "SELECT " + c.afterSelect + kItemsItems + "FROM ItemsAudit  ORDER BY ItemCode" + c.afterOrder);
        EXPECT_EQ(U8(recCountSql), "SELECT count(*) FROM ItemsAudit ");
    }
}

// ---- Catalogue ----------------------------------------------------------------------------

struct CatalogueCase {
    TReportKind kind;
    FillOp fill;
    const char* name;
    const char* view;
    int columnCount;
    std::string selectList;
    const char* orderBy;
};

TEST(RepositoryCatalogue, EveryReportsViewColumnsAndOrdering)
{
    const std::string detailItems =
        " UNP as \"УНП\",  DocNomer as \"Номер документ\",  ItemCode as \"Код на стоката\", "
        " ItemName as \"Наименование на стоката\",  SoldItems as \"Количество\", "
        " UnitPrice as \"Единична цена (без отстъпка) – без ДДС, в лв.\", "
        " Discount as \"Отстъпка (сума) – в лв.\",  VAT as \"ДДС ставка\", "
        " VATSum as \"ДДС – сума, в лв.\",  CostSum as \"Обща сума – в лв.\" ";
    const std::string itemLines =
        " UNP as \"УНП\",  DocNomer as \"Номер документ\",  StoreName as \"Търговски Обект\", "
        " ItemCode as \"Код на стоката\",  ItemName as \"Наименование на стоката\",  SoldItems as \"Количество\", "
        " UnitPrice as \"Единична цена (без отстъпка) – без ДДС, в лв.\", "
        " Discount as \"Отстъпка (сума) – в лв.\",  VAT as \"ДДС ставка\", "
        " VATSum as \"ДДС – сума, в лв.\",  CostSum as \"Обща сума – в лв.\", ";

    const CatalogueCase cases[] = {
        {rkSalesSummary, &TRepository::FillSalesSummaryQuery, "SalesSummary", "SalesSummaryAudit", 17,
         kSummaryItems, " ORDER BY EndDocDate,UNP"},
        {rkSalesDetail, &TRepository::FillSalesDetailQuery, "SalesDetail", "SalesDetailsAudit", 10, detailItems,
         " ORDER BY EndDocDate,UNP"},
        {rkPayments, &TRepository::FillPaymentsQuery, "Payments", "SalesPaymentsAudit", 14,
         " UNP as \"УНП\",  DocNomer as \"Номер документ\",  StoreName as \"Търговски Обект\", "
         " StartDocDate as \"Дата откриване продажба\",  UserCode as \"Код на оператор\", "
         " TotalSumNoVat as \"Сума лв. без ДДС\",  TotalSumWithVAT as \"Платена сума, лв.\", "
         " SumVAT as \"ДДС - сума - в лв.\",  EndDocDate as \"Дата приключване продажба\", "
         " PartnerCode as \"Клиент код\",  PartnerName as \"Клиент име\",  FiscalDeviceN as \"Номер на ФУ\", "
         " PayDate as \"Дата на плащане\",  PayTypeName as \"Начин на плащане\" ",
         " ORDER BY EndDocDate,UNP"},
        {rkReversedSales, &TRepository::FillReversedSalesQuery, "ReversedSales", "SalesReversedAudit", 17,
         itemLines +
             " EndDocDate as \"Дата приключване продажба\",  EndDocTime as \"Време на приключване на продажба\", "
             " SaleReversedDate as \"Дата на сторниране на продажбата\", "
             " SaleReversedTime as \"Време на сторниране на продажбата\",  FiscalDeviceN as \"Номер на ФУ\", "
             " UserN as \"Код на оператор\" ",
         " ORDER BY EndDocDate,UNP"},
        {rkRevokedSales, &TRepository::FillRevokedSalesQuery, "RevokedSales", "SalesRevokedAudit", 17,
         itemLines +
             " StartDocDate as \"Дата откриване продажба\",  StartDocTime as \"Време на откриване на продажба\", "
             " SaleRevokedDate as \"Дата на анулиране на продажбата\", "
             " SaleRevokedTime as \"Време на анулиране на продажбата\",  FiscalDeviceN as \"Номер на ФУ\", "
             " UserN as \"Код на оператор\" ",
         " ORDER BY EndDocDate,UNP"},
        {rkItems, &TRepository::FillItemsQuery, "Items", "ItemsAudit", 5, kItemsItems, " ORDER BY ItemCode"},
        {rkPartners, &TRepository::FillPartnersQuery, "Partners", "PartnersAudit", 5,
         " Bulstat as \"БУЛСТАТ\",  PartnerName as \"Име на партньора\", "
         " PartnerCreateDate as \"Дата на добавяне на партньора\", "
         " PartnerLastChangeDate as \"Дата на последна промяна\", "
         " PartnerDeactivatedDate as \"Дата на деактивиране\" ",
         " ORDER BY Bulstat"},
        {rkActivityTypes, &TRepository::FillActivityTypesQuery, "ActivityTypes", "OperationsAudit", 5,
         " OperationCode as \"Код\",  OperationName as \"Наименование\", "
         " OperationCreateDate as \"Дата на добавяне в системата\", "
         " OperationChangeDate as \"Дата на последна промяна\", "
         " OperationDeactivateDate as \"Дата на деактивиране\" ",
         " ORDER BY OperationCode"},
        {rkPayTypes, &TRepository::FillPayTypesQuery, "PayTypes", "PayTypesAudit", 5,
         " PayTypeCode as \"Код\",  PayTypeName as \"Наименование\", "
         " PayTypeCreateDate as \"Дата на добавяне в системата\", "
         " PayTypeChangeDate as \"Дата на последна промяна\",  PayTypeDate as \"Дата на деактивиране\" ",
         " ORDER BY PayTypeCode"},
        {rkStores, &TRepository::FillStoresQuery, "Stores", "StoreNamesAudit", 6,
         " PartnerCode as \"Код\",  PartnerName as \"Наименование\",  PartnerAddress as \"Местонахождение\", "
         " PartnerCreateDate as \"Дата на добавяне в системата\", "
         " PartnerLastChangeDate as \"Дата на последна промяна\", "
         " PartnerDeactivatedDate as \"Дата на деактивиране\" ",
         " ORDER BY PartnerCode"},
        {rkUsers, &TRepository::FillUsersQuery, "Users", "UsersAudit", 7,
         " UserID as \"Уникален код\",  UserName as \"Имена по документ за самоличност\", "
         " UserCreateDate as \"Дата на добавяне в системата\",  UserChangeDate as \"Дата на последна промяна\", "
         " UserDeactivatedDate as \"Дата на деактивиране\",  ActivitiesForPeriod as \"Присвоени роли\", "
         " Notes as \"Бележки\" ",
         " ORDER BY UserID"},
        {rkUsersLog, &TRepository::FillUsersLogQuery, "UsersLog", "UsersLogAudit", 7,
         " UserID as \"Код оператор\",  UserName as \"Име оператор\",  Role as \"Роля\", "
         " ActivityDateTime as \"Дата и час\",  ActivityType as \"Вид дейност\",  ActivityText as \"Описание\", "
         " UNP as \"УНП\" ",
         " ORDER BY ActivityDateTime"},
    };
    static_assert(std::size(cases) == ReportKindCount);

    for (const CatalogueCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TReportDef& def = ReportDef(c.kind);
        EXPECT_EQ(def.Kind, c.kind);
        EXPECT_EQ(U8(QString::fromUtf16(def.Name)), c.name);
        EXPECT_EQ(U8(QString::fromUtf16(def.View)), c.view);
        EXPECT_EQ(U8(QString::fromUtf16(def.OrderBy)), c.orderBy);
        ASSERT_EQ(def.ColumnCount, c.columnCount);

        const TRepository repository(dbSybase);
        QString reportSql, recCountSql;
        (repository.*c.fill)(reportSql, recCountSql, TReportFilters{});
        const std::string from = std::string("FROM ") + c.view + " ";
        EXPECT_EQ(U8(reportSql), "SELECT " + c.selectList + from + c.orderBy);
        EXPECT_EQ(U8(recCountSql), "SELECT count(*) " + from);

        // The generic entry point gives the same texts as the named operation.
        QString genericSql, genericCount;
        repository.FillReportQuery(c.kind, genericSql, genericCount, TReportFilters{});
        EXPECT_EQ(genericSql, reportSql);
        EXPECT_EQ(genericCount, recCountSql);
    }
}

// Four captions carry an en dash (U+2013) and the payments' VAT caption plain hyphens; the
// two look alike in source text, so they are checked by code point.
TEST(RepositoryCatalogue, DashesInCaptionsAreTheRightCharacters)
{
    const QChar enDash(0x2013);
    const QString hyphenCaption =
        QString::fromUtf16(u"\u0414\u0414\u0421 - \u0441\u0443\u043c\u0430 - \u0432 \u043b\u0432.");
    for (int k = 0; k < ReportKindCount; ++k) {
        const TReportDef& def = ReportDef(TReportKind(k));
        SCOPED_TRACE(U8(QString::fromUtf16(def.Name)));
        int enDashCaptions = 0;
        for (int i = 0; i < def.ColumnCount; ++i) {
            const QString caption = QString::fromUtf16(def.Columns[i].Caption);
            if (caption.contains(enDash))
                ++enDashCaptions;
            if (caption.contains(u'-')) {
                EXPECT_EQ(caption, hyphenCaption);
            }
        }
        const bool itemLines = k == rkSalesDetail || k == rkReversedSales || k == rkRevokedSales;
        EXPECT_EQ(enDashCaptions, itemLines ? 4 : 0);
    }
    EXPECT_EQ(QString::fromUtf16(ReportDef(rkPayments).Columns[7].Caption), hyphenCaption);
    EXPECT_EQ(QString::fromUtf16(ReportDef(rkSalesDetail).Columns[5].Caption),
              QString::fromUtf16(u"\u0415\u0434\u0438\u043d\u0438\u0447\u043d\u0430 \u0446\u0435\u043d\u0430 "
                                 u"(\u0431\u0435\u0437 \u043e\u0442\u0441\u0442\u044a\u043f\u043a\u0430) \u2013 "
                                 u"\u0431\u0435\u0437 \u0414\u0414\u0421, \u0432 \u043b\u0432."));
}

// ---- Validation of the database ------------------------------------------------------------

TEST(RepositoryCreate, UnsupportedDatabaseTypeGivesTheWrappedManagerMessage)
{
    TSqlDBModel descriptor(QStringLiteral("AnyDsn"), QStringLiteral("Some Other Driver"));
    ASSERT_EQ(descriptor.DbType(), dbNone);
    try {
        TRepository::CreateRepository(descriptor);
        FAIL() << "a repository was created for a database of no supported type";
    } catch (const Exception& e) {
        EXPECT_EQ(U8(e.Message()), "Възникна грешка при опит за разпознаване на типа на базата данни : "
                                   "Not Implemented DbType in SqlDataManager.CreateManager!");
    }
}

} // namespace
