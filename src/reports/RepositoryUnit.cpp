// The report query builder and the report definitions it builds from.
#include "RepositoryUnit.h"

#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/SqlDataManagerUnit.h"
#include "reports/ReportFindUnit.h"
#include "reports/ReportSortUnit.h"

#include <QStringList>
#include <cmath>
#include <functional>
#include <exception>
#include <iterator>

namespace {

QDate DayZero() { return QDate(1899, 12, 30); }

// ---- Report catalogue ------------------------------------------------------------------

constexpr const char16_t* kSalesOrder = u" ORDER BY EndDocDate,UNP";

constexpr TReportColumn kSalesSummaryColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"StartDocDate", u"Дата откриване продажба"},
    {u"StartDocTime", u"Време откриване продажба"},
    {u"PosId", u"Код на работно място"},
    {u"UserKod", u"Код на оператор"},
    {u"TotalSumNoVat", u"Сума лв. без ДДС", TColumnRole::Amount},
    {u"SumDiscounts", u"Отстъпка лв.", TColumnRole::Amount},
    {u"SumVAT", u"ДДС сума", TColumnRole::Amount},
    {u"TotalSumWithVAT", u"Дължима сума", TColumnRole::Amount},
    {u"InvoiceNumber", u"Номер фактура", TColumnRole::Text},
    {u"InvoiceDate", u"Дата фактура"},
    {u"EndDocDate", u"Дата приключване продажба"},
    {u"EndDocTime", u"Време приключване продажба"},
    {u"PartnerCode", u"Клиент код", TColumnRole::Text},
    {u"PartnerName", u"Клиент име", TColumnRole::Text},
};

constexpr TReportColumn kSalesDetailColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"ItemCode", u"Код на стоката", TColumnRole::Text},
    {u"ItemName", u"Наименование на стоката", TColumnRole::Text},
    {u"SoldItems", u"Количество"},
    {u"UnitPrice", u"Единична цена (без отстъпка) – без ДДС, в лв."},
    {u"Discount", u"Отстъпка (сума) – в лв.", TColumnRole::Amount},
    {u"VAT", u"ДДС ставка"},
    {u"VATSum", u"ДДС – сума, в лв.", TColumnRole::Amount},
    {u"CostSum", u"Обща сума – в лв.", TColumnRole::Amount},
};

constexpr TReportColumn kPaymentsColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"StartDocDate", u"Дата откриване продажба"},
    {u"UserCode", u"Код на оператор"},
    {u"TotalSumNoVat", u"Сума лв. без ДДС", TColumnRole::Amount},
    {u"TotalSumWithVAT", u"Платена сума, лв.", TColumnRole::Amount},
    {u"SumVAT", u"ДДС - сума - в лв.", TColumnRole::Amount},
    {u"EndDocDate", u"Дата приключване продажба"},
    {u"PartnerCode", u"Клиент код", TColumnRole::Text},
    {u"PartnerName", u"Клиент име", TColumnRole::Text},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"PayDate", u"Дата на плащане"},
    {u"PayTypeName", u"Начин на плащане", TColumnRole::Text},
};

constexpr TReportColumn kReversedSalesColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"ItemCode", u"Код на стоката", TColumnRole::Text},
    {u"ItemName", u"Наименование на стоката", TColumnRole::Text},
    {u"SoldItems", u"Количество"},
    {u"UnitPrice", u"Единична цена (без отстъпка) – без ДДС, в лв."},
    {u"Discount", u"Отстъпка (сума) – в лв.", TColumnRole::Amount},
    {u"VAT", u"ДДС ставка"},
    {u"VATSum", u"ДДС – сума, в лв.", TColumnRole::Amount},
    {u"CostSum", u"Обща сума – в лв.", TColumnRole::Amount},
    {u"EndDocDate", u"Дата приключване продажба"},
    {u"EndDocTime", u"Време на приключване на продажба"},
    {u"SaleReversedDate", u"Дата на сторниране на продажбата"},
    {u"SaleReversedTime", u"Време на сторниране на продажбата"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"UserN", u"Код на оператор"},
};

constexpr TReportColumn kRevokedSalesColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"ItemCode", u"Код на стоката", TColumnRole::Text},
    {u"ItemName", u"Наименование на стоката", TColumnRole::Text},
    {u"SoldItems", u"Количество"},
    {u"UnitPrice", u"Единична цена (без отстъпка) – без ДДС, в лв."},
    {u"Discount", u"Отстъпка (сума) – в лв.", TColumnRole::Amount},
    {u"VAT", u"ДДС ставка"},
    {u"VATSum", u"ДДС – сума, в лв.", TColumnRole::Amount},
    {u"CostSum", u"Обща сума – в лв.", TColumnRole::Amount},
    {u"StartDocDate", u"Дата откриване продажба"},
    {u"StartDocTime", u"Време на откриване на продажба"},
    {u"SaleRevokedDate", u"Дата на анулиране на продажбата"},
    {u"SaleRevokedTime", u"Време на анулиране на продажбата"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"UserN", u"Код на оператор"},
};

constexpr TReportColumn kItemsColumns[] = {
    {u"ItemCode", u"Код на стоката", TColumnRole::Text},
    {u"ItemName", u"Наименование", TColumnRole::Text},
    {u"ItemCreateDate", u"Дата на добавяне на стоката"},
    {u"ItemLastChangeDate", u"Дата на последна промяна"},
    {u"ItemDeactivatedDate", u"Дата на деактивиране"},
};

constexpr TReportColumn kPartnersColumns[] = {
    {u"Bulstat", u"БУЛСТАТ", TColumnRole::Text},
    {u"PartnerName", u"Име на партньора", TColumnRole::Text},
    {u"PartnerCreateDate", u"Дата на добавяне на партньора"},
    {u"PartnerLastChangeDate", u"Дата на последна промяна"},
    {u"PartnerDeactivatedDate", u"Дата на деактивиране"},
};

constexpr TReportColumn kActivityTypesColumns[] = {
    {u"OperationCode", u"Код"},
    {u"OperationName", u"Наименование", TColumnRole::Text},
    {u"OperationCreateDate", u"Дата на добавяне в системата"},
    {u"OperationChangeDate", u"Дата на последна промяна"},
    {u"OperationDeactivateDate", u"Дата на деактивиране"},
};

constexpr TReportColumn kPayTypesColumns[] = {
    {u"PayTypeCode", u"Код"},
    {u"PayTypeName", u"Наименование", TColumnRole::Text},
    {u"PayTypeCreateDate", u"Дата на добавяне в системата"},
    {u"PayTypeChangeDate", u"Дата на последна промяна"},
    {u"PayTypeDate", u"Дата на деактивиране"},
};

constexpr TReportColumn kStoresColumns[] = {
    {u"PartnerCode", u"Код"},
    {u"PartnerName", u"Наименование", TColumnRole::Text},
    {u"PartnerAddress", u"Местонахождение", TColumnRole::Text},
    {u"PartnerCreateDate", u"Дата на добавяне в системата"},
    {u"PartnerLastChangeDate", u"Дата на последна промяна"},
    {u"PartnerDeactivatedDate", u"Дата на деактивиране"},
};

constexpr TReportColumn kUsersColumns[] = {
    {u"UserID", u"Уникален код"},
    {u"UserName", u"Имена по документ за самоличност", TColumnRole::Text},
    {u"UserCreateDate", u"Дата на добавяне в системата"},
    {u"UserChangeDate", u"Дата на последна промяна"},
    {u"UserDeactivatedDate", u"Дата на деактивиране"},
    {u"ActivitiesForPeriod", u"Присвоени роли", TColumnRole::Text},
    {u"Notes", u"Бележки", TColumnRole::Text},
};

constexpr TReportColumn kUsersLogColumns[] = {
    {u"UserID", u"Код оператор"},
    {u"UserName", u"Име оператор", TColumnRole::Text},
    {u"Role", u"Роля", TColumnRole::Text},
    {u"ActivityDateTime", u"Дата и час"},
    {u"ActivityType", u"Вид дейност", TColumnRole::Text},
    {u"ActivityText", u"Описание", TColumnRole::Text},
    {u"UNP", u"УНП", TColumnRole::Text},
};

#define REPORT(kind, name, view, columns, orderBy) \
    {kind, name, view, columns, int(std::size(columns)), orderBy}

// Indexed by TReportKind.
constexpr TReportDef kReports[] = {
    REPORT(rkSalesSummary, u"SalesSummary", u"SalesSummaryAudit", kSalesSummaryColumns, kSalesOrder),
    REPORT(rkSalesDetail, u"SalesDetail", u"SalesDetailsAudit", kSalesDetailColumns, kSalesOrder),
    REPORT(rkPayments, u"Payments", u"SalesPaymentsAudit", kPaymentsColumns, kSalesOrder),
    REPORT(rkReversedSales, u"ReversedSales", u"SalesReversedAudit", kReversedSalesColumns, kSalesOrder),
    REPORT(rkRevokedSales, u"RevokedSales", u"SalesRevokedAudit", kRevokedSalesColumns, kSalesOrder),
    REPORT(rkItems, u"Items", u"ItemsAudit", kItemsColumns, u" ORDER BY ItemCode"),
    REPORT(rkPartners, u"Partners", u"PartnersAudit", kPartnersColumns, u" ORDER BY Bulstat"),
    REPORT(rkActivityTypes, u"ActivityTypes", u"OperationsAudit", kActivityTypesColumns,
           u" ORDER BY OperationCode"),
    REPORT(rkPayTypes, u"PayTypes", u"PayTypesAudit", kPayTypesColumns, u" ORDER BY PayTypeCode"),
    REPORT(rkStores, u"Stores", u"StoreNamesAudit", kStoresColumns, u" ORDER BY PartnerCode"),
    REPORT(rkUsers, u"Users", u"UsersAudit", kUsersColumns, u" ORDER BY UserID"),
    REPORT(rkUsersLog, u"UsersLog", u"UsersLogAudit", kUsersLogColumns, u" ORDER BY ActivityDateTime"),
};

#undef REPORT

static_assert(std::size(kReports) == ReportKindCount);

constexpr bool CatalogueIndexedByKind()
{
    for (int i = 0; i < ReportKindCount; ++i)
        if (kReports[i].Kind != i)
            return false;
    return true;
}
static_assert(CatalogueIndexedByKind());

// " Column as \"Caption\", " for every column, the last one ending in a single space.
QString SelectList(const TReportDef& def)
{
    QString list;
    for (int i = 0; i < def.ColumnCount; ++i) {
        list += u' ';
        list += QStringView(def.Columns[i].Column);
        list += u" as \"";
        list += QStringView(def.Columns[i].Caption);
        list += i + 1 < def.ColumnCount ? u"\", " : u"\" ";
    }
    return list;
}

} // namespace

double DateToDays(QDate date)
{
    return double(DayZero().daysTo(date));
}

QDate DaysToDate(double days)
{
    return DayZero().addDays(qint64(std::trunc(days)));
}

const TReportDef& ReportDef(TReportKind kind)
{
    return kReports[kind];
}

// ---- TRepository -----------------------------------------------------------------------

TRepository::TRepository(TDbType dialect) : FDialect(dialect), FEngine(FindDbEngine(dialect))
{
    if (!FEngine)
        FEngine = &DbEngine(dbSybase);
}

namespace {

// A repository of `dialect` when `isAuditDb` finds the audit views.
std::unique_ptr<TRepository> CheckedRepository(TDbType dialect, const std::function<bool()>& isAuditDb)
{
    static const QString kRecognitionError =
        QStringLiteral("Възникна грешка при опит за разпознаване на типа на базата данни : ");

    bool found = false;
    try {
        found = isAuditDb();
    } catch (const Exception& e) {
        throw Exception(kRecognitionError + e.Message());
    } catch (const std::exception& e) {
        throw Exception(kRecognitionError + QString::fromUtf8(e.what()));
    }
    if (!found)
        throw Exception(QStringLiteral("Избраната база данни не е валидна Дравик база!"));
    return std::make_unique<TRepository>(dialect);
}

} // namespace

std::unique_ptr<TRepository> TRepository::CreateRepository(const TSqlDBModel& aDbModel)
{
    return CheckedRepository(aDbModel.DbType(), [&aDbModel] {
        // The checking manager has a connection of its own; leaving this block frees it.
        std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&aDbModel);
        return manager && manager->IsTableExists(QStringLiteral("SalesSummaryAudit"));
    });
}

std::unique_ptr<TRepository> TRepository::CreateRepository(TSqlDataManager& manager)
{
    return CheckedRepository(manager.DbModel().DbType(),
                             [&manager] { return manager.IsTableExists(QStringLiteral("SalesSummaryAudit")); });
}

QString TRepository::FormatSqlDate(double date) const
{
    const QDate d = DaysToDate(date);
    const QString year = QString::number(d.year()).rightJustified(4, u'0');
    const QString month = QString::number(d.month()).rightJustified(2, u'0');
    const QString day = QString::number(d.day()).rightJustified(2, u'0');
    if (FEngine->DateLiterals == TDateLiteralForm::QuotedIso)
        return QLatin1Char('\'') + year + QLatin1Char('-') + month + QLatin1Char('-') + day + QLatin1Char('\'');
    return year + month + day;
}

QString TRepository::BuildWhereClause(TReportKind kind, TReportFilters reportFilters) const
{
    QString where;
    if (reportFilters.FromDate != 0 && reportFilters.ToDate != 0) {
        where += QStringLiteral("EndDocDate >= ") + FormatSqlDate(reportFilters.FromDate) +
                 QStringLiteral(" AND EndDocDate <= ") + FormatSqlDate(reportFilters.ToDate);
    }
    const auto addTerm = [&where](const char16_t* term, int32_t value) {
        if (value == 0)
            return;
        if (!where.isEmpty())
            where += u" AND ";
        where += QStringView(term);
        where += QString::number(value);
    };
    addTerm(u" StoreN = ", reportFilters.StoreN);
    addTerm(u" FiscalDeviceN = ", reportFilters.FiscalDeviceN);
    addTerm(u" UserN = ", reportFilters.UserN);
    const QString find = TReportFind::WhereTerm(*FEngine, ReportDef(kind), reportFilters.FindText);
    if (!find.isEmpty()) {
        if (!where.isEmpty())
            where += u" AND ";
        where += find;
    }
    if (!where.isEmpty())
        where.prepend(QStringLiteral("WHERE "));
    return where;
}

QString TRepository::BuildPagingClause(TReportFilters reportFilters) const
{
    if (reportFilters.RecordsPerPage <= 0)
        return {};
    const qint64 pageSize = reportFilters.RecordsPerPage;
    const qint64 skipped = pageSize * reportFilters.PageNumber;
    if (FEngine->Paging == TPagingForm::LimitOffset)
        return QStringLiteral(" LIMIT ") + QString::number(pageSize) + QStringLiteral(" OFFSET ") +
               QString::number(skipped);
    return QStringLiteral("TOP ") + QString::number(pageSize) + QStringLiteral(" START AT ") +
           QString::number(skipped + 1);
}

void TRepository::FillReportQuery(TReportKind kind, QString& reportSql, QString& recCountSql,
                                  TReportFilters reportFilters) const
{
    const TReportDef& def = ReportDef(kind);
    FillQueryFrom(def, QString::fromUtf16(def.View), BuildWhereClause(kind, reportFilters), reportSql, recCountSql,
                  reportFilters);
}

void TRepository::FillQueryFrom(const TReportDef& def, const QString& source, const QString& where,
                                QString& reportSql, QString& recCountSql, const TReportFilters& reportFilters) const
{
    const QString fromPart = QStringLiteral("FROM ") + source + QLatin1Char(' ') + where;
    recCountSql = QStringLiteral("SELECT count(*) ") + fromPart;

    const QString paging = BuildPagingClause(reportFilters);
    reportSql = QStringLiteral("SELECT ");
    if (FEngine->Paging == TPagingForm::TopStartAt)
        reportSql += paging;
    reportSql += SelectList(def);
    reportSql += fromPart;
    reportSql += TReportSort::OrderBy(def, reportFilters);
    if (FEngine->Paging == TPagingForm::LimitOffset)
        reportSql += paging;
}

QString TRepository::FindTerm(const TReportDef& def, const QString& text) const
{
    return TReportFind::WhereTerm(*FEngine, def, text);
}

namespace {

// One amount column's three totals on SQLite. A value is added as hundredths when it is a
// whole number, or a double that is the nearest double to a number of two decimals (it is
// equal to its own rounding to two places), and well inside the range where a double holds
// every hundredth: such sums are exact 64-bit integers. A stored text or blob is no number;
// a double with more decimals, or a number too large for that, cannot be added exactly.
QString SqliteAmountTotals(QStringView column)
{
    const QString c = column.toString();
    const QString exact =
        QStringLiteral("(typeof(%1) = 'integer' AND %1 BETWEEN -1e12 AND 1e12 OR typeof(%1) = 'real' AND "
                       "%1 BETWEEN -1e12 AND 1e12 AND %1 = round(%1, 2))")
            .arg(c);
    return QStringLiteral("sum(CASE WHEN %2 THEN CAST(round(%1 * 100) AS INTEGER) END), "
                          "sum(typeof(%1) IN ('text', 'blob')), "
                          "sum(typeof(%1) IN ('integer', 'real') AND NOT %2)")
        .arg(c, exact);
}

} // namespace

bool TRepository::TotalsInHundredths() const { return FDialect == dbSqlite; }

QString TRepository::FillTotalsQuery(TReportKind kind, TReportFilters reportFilters) const
{
    const TReportDef& def = ReportDef(kind);
    return TotalsQueryFrom(def, QString::fromUtf16(def.View), BuildWhereClause(kind, reportFilters));
}

QString TRepository::TotalsSelectList(const TReportDef& def) const
{
    QStringList sums;
    for (int i = 0; i < def.ColumnCount; ++i) {
        if (def.Columns[i].Role != TColumnRole::Amount)
            continue;
        const QStringView column(def.Columns[i].Column);
        if (TotalsInHundredths())
            sums << SqliteAmountTotals(column);
        else if (FDialect == dbPostgres) // a double column's values are added as the decimals they show
            sums << QStringLiteral("CAST(sum(CAST(%1 AS numeric)) AS varchar), 0, 0").arg(column);
        else
            sums << QStringLiteral("CAST(sum(%1) AS varchar(100)), 0, 0").arg(column);
    }
    return sums.join(QStringLiteral(", "));
}

QString TRepository::TotalsQueryFrom(const TReportDef& def, const QString& source, const QString& where) const
{
    const QString sums = TotalsSelectList(def);
    if (sums.isEmpty())
        return {};
    return QStringLiteral("SELECT ") + sums + QStringLiteral(" FROM ") + source + QLatin1Char(' ') + where;
}

void TRepository::FillSalesSummaryQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkSalesSummary, reportSql, recCountSql, reportFilters);
}

void TRepository::FillSalesDetailQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkSalesDetail, reportSql, recCountSql, reportFilters);
}

void TRepository::FillPaymentsQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkPayments, reportSql, recCountSql, reportFilters);
}

void TRepository::FillReversedSalesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkReversedSales, reportSql, recCountSql, reportFilters);
}

void TRepository::FillRevokedSalesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkRevokedSales, reportSql, recCountSql, reportFilters);
}

void TRepository::FillItemsQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkItems, reportSql, recCountSql, reportFilters);
}

void TRepository::FillPartnersQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkPartners, reportSql, recCountSql, reportFilters);
}

void TRepository::FillActivityTypesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkActivityTypes, reportSql, recCountSql, reportFilters);
}

void TRepository::FillPayTypesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkPayTypes, reportSql, recCountSql, reportFilters);
}

void TRepository::FillStoresQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkStores, reportSql, recCountSql, reportFilters);
}

void TRepository::FillUsersQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkUsers, reportSql, recCountSql, reportFilters);
}

void TRepository::FillUsersLogQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const
{
    FillReportQuery(rkUsersLog, reportSql, recCountSql, reportFilters);
}
