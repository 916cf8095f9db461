// The checks of times of sales that cannot be or stand out: closed before opened, open too long, over midnight, invoiced before, in the future, outside opening hours.
#include "CheckTimesUnit.h"

#include "CheckSqlUnit.h"

namespace {

// Every time check reads the closed sales (SalesSummaryAudit) with all four filters, on the
// closing day, and shows the sale with its amount due.

QString Opened(const TCheckSql& sql)
{
    return sql.MomentSeconds(QStringLiteral("StartDocDate"), QStringLiteral("StartDocTime"));
}

QString Closed(const TCheckSql& sql)
{
    return sql.MomentSeconds(QStringLiteral("EndDocDate"), QStringLiteral("EndDocTime"));
}

QString Text(const QString& value) { return QStringLiteral("CAST(%1 AS VARCHAR(20))").arg(value); }

// "5 мин. 3 сек." for a number of seconds of 0 or more.
QString Duration(const TCheckSql& sql, const QString& seconds)
{
    const QString minutes = sql.WholeDivision(seconds, 60);
    return QStringLiteral("%1 || ' мин. ' || %2 || ' сек.'")
        .arg(Text(minutes), Text(QStringLiteral("(%1) - 60 * %2").arg(seconds, minutes)));
}

// The sale's columns every time check shows, then `more` (", InvoiceDate" …).
QString SaleColumns(const QString& more = {})
{
    return QStringLiteral("UNP, DocNomer, StoreName, FiscalDeviceN, UserN, StartDocDate, StartDocTime, EndDocDate, "
                          "EndDocTime") +
           more + QStringLiteral(", TotalSumWithVAT");
}

// The sales with the sale's columns, `computed` (", <expr> AS Name" …) and the filters, as a
// row source "(…) t" for the findings' condition on them.
QString Sales(const TCheckSql& sql, const QString& computed, const QString& more = {})
{
    return QStringLiteral("(SELECT %1%2 FROM SalesSummaryAudit%3) t")
        .arg(SaleColumns(more), computed, sql.WhereFilters());
}

// ---- time-closed-before-opened

QString ClosedBeforeOpenedSql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT %1, 'Приключена ' || %2 || ' преди откриването' AS Finding FROM %3 WHERE Closed < Opened")
        .arg(SaleColumns(), Duration(sql, QStringLiteral("Opened - Closed")),
             Sales(sql, QStringLiteral(", %1 AS Opened, %2 AS Closed").arg(Opened(sql), Closed(sql))));
}

// ---- time-long-open

QString LongOpenSql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT %1, %2 AS OpenMinutes, 'Отворена ' || %3 || ', над %4 мин.' AS Finding FROM %5 WHERE "
                          "OpenSeconds > %6")
        .arg(SaleColumns(), sql.WholeDivision(QStringLiteral("OpenSeconds"), 60), Duration(sql, QStringLiteral("OpenSeconds")))
        .arg(sql.Params().OpenMinutes)
        .arg(Sales(sql, QStringLiteral(", %1 - %2 AS OpenSeconds").arg(Closed(sql), Opened(sql))))
        .arg(qint64(sql.Params().OpenMinutes) * 60);
}

// ---- time-other-day

QString OtherDaySql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT %1, CASE WHEN Days = 1 THEN 'Приключена на следващия ден' WHEN Days > 1 THEN "
                          "'Приключена ' || %2 || ' дни след деня на откриване' ELSE 'Приключена ' || %3 || ' дни преди "
                          "деня на откриване' END AS Finding FROM %4 WHERE Days <> 0")
        .arg(SaleColumns(), Text(QStringLiteral("Days")), Text(QStringLiteral("-Days")),
             Sales(sql, QStringLiteral(", %1 AS Days")
                            .arg(sql.DaysBetween(QStringLiteral("StartDocDate"), QStringLiteral("EndDocDate")))));
}

// ---- time-invoice-before

QString InvoiceBeforeSql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT %1, CASE WHEN Days = 1 THEN 'Фактурата е с 1 ден преди продажбата' ELSE 'Фактурата е "
                          "с ' || %2 || ' дни преди продажбата' END AS Finding FROM %3 WHERE Days > 0")
        .arg(SaleColumns(QStringLiteral(", InvoiceDate")), Text(QStringLiteral("Days")),
             Sales(sql,
                   QStringLiteral(", %1 AS Days")
                       .arg(sql.DaysBetween(QStringLiteral("InvoiceDate"), QStringLiteral("StartDocDate"))),
                   QStringLiteral(", InvoiceDate")));
}

// ---- time-future

QString FutureSql(const TCheckSql& sql)
{
    const QString today = sql.DateLiteral(sql.Today());
    return QStringLiteral("SELECT %1, CASE WHEN StartDocDate > %2 THEN 'Датата на откриване е след деня на проверката' "
                          "WHEN EndDocDate > %2 THEN 'Датата на приключване е след деня на проверката' ELSE 'Датата на "
                          "фактурата е след деня на проверката' END AS Finding FROM SalesSummaryAudit WHERE (StartDocDate "
                          "> %2 OR EndDocDate > %2 OR InvoiceDate > %2)%3")
        .arg(SaleColumns(QStringLiteral(", InvoiceDate")), today, sql.AndFilters());
}

// ---- time-outside-hours

QString OutsideHoursSql(const TCheckSql& sql)
{
    const TCheckParams& p = sql.Params();
    if (!p.HasOpeningHours())
        return QStringLiteral("SELECT %1, 'Работното време не е зададено' AS Finding FROM SalesSummaryAudit WHERE 1 = 0")
            .arg(SaleColumns());
    const int opens = p.OpensAt.msecsSinceStartOfDay() / 1000;
    const int closes = p.ClosesAt.msecsSinceStartOfDay() / 1000;
    // Inside the hours, both ends included; hours that close before they open span midnight.
    const auto outside = [&](const QString& seconds) {
        return opens < closes ? QStringLiteral("(%1 < %2 OR %1 > %3)").arg(seconds).arg(opens).arg(closes)
                              : QStringLiteral("(%1 < %2 AND %1 > %3)").arg(seconds).arg(opens).arg(closes);
    };
    const QString opened = outside(QStringLiteral("OpenedAt")), closed = outside(QStringLiteral("ClosedAt"));
    return QStringLiteral("SELECT %1, CASE WHEN %2 AND %3 THEN 'Открита и приключена извън работното време' WHEN %2 THEN "
                          "'Открита извън работното време' ELSE 'Приключена извън работното време' END AS Finding FROM "
                          "%4 WHERE %2 OR %3")
        .arg(SaleColumns(), opened, closed,
             Sales(sql, QStringLiteral(", %1 AS OpenedAt, %2 AS ClosedAt")
                            .arg(sql.TimeSeconds(QStringLiteral("StartDocTime")),
                                 sql.TimeSeconds(QStringLiteral("EndDocTime")))));
}

// ---- the findings' columns

#define SALE_COLUMNS                                                                                                   \
    {u"UNP", u"УНП", TColumnRole::Text}, {u"DocNomer", u"Номер документ"},                                             \
        {u"StoreName", u"Търговски Обект", TColumnRole::Text}, {u"FiscalDeviceN", u"Номер на ФУ"},                     \
        {u"UserN", u"Код на оператор"}, {u"StartDocDate", u"Дата откриване продажба"},                                 \
        {u"StartDocTime", u"Време откриване продажба"}, {u"EndDocDate", u"Дата приключване продажба"},                 \
        {u"EndDocTime", u"Време приключване продажба"}
#define AMOUNT_AND_FINDING                                                                                             \
    {u"TotalSumWithVAT", u"Дължима сума", TColumnRole::Amount}, {u"Finding", u"Описание", TColumnRole::Text}

constexpr TReportColumn kSaleColumns[] = {SALE_COLUMNS, AMOUNT_AND_FINDING};
constexpr TReportColumn kLongOpenColumns[] = {SALE_COLUMNS, {u"OpenMinutes", u"Минути отворена"}, AMOUNT_AND_FINDING};
constexpr TReportColumn kInvoiceColumns[] = {SALE_COLUMNS, {u"InvoiceDate", u"Дата фактура"}, AMOUNT_AND_FINDING};

#undef SALE_COLUMNS
#undef AMOUNT_AND_FINDING

constexpr const char16_t* kOrder = u" ORDER BY EndDocDate,EndDocTime,UNP,DocNomer,StartDocDate,StartDocTime";

template <size_t N>
constexpr TReportDef Grid(const char16_t* name, const TReportColumn (&columns)[N])
{
    return TReportDef{rkSalesSummary, name, nullptr, columns, int(N), kOrder};
}

// The amount due is the next to last column of each.
constexpr int Amount(int columnCount) { return columnCount - 2; }
constexpr int kSale = Amount(int(std::size(kSaleColumns)));
constexpr int kLongOpen = Amount(int(std::size(kLongOpenColumns)));
constexpr int kInvoice = Amount(int(std::size(kInvoiceColumns)));
constexpr TReportUIFilters kAll = rfPeriod | rfStore | rfFP | rfUser;

constexpr TCheckDef kTimesChecks[] = {
    {"time-closed-before-opened", TCheckGroup::Times, u"Приключени преди да са открити",
     u"Продажби, чийто момент на приключване е преди момента на откриване.", kAll, 0,
     Grid(u"check:time-closed-before-opened", kSaleColumns), 1, kSale, TEvidenceKind::Sales, u"UNP",
     &ClosedBeforeOpenedSql},
    {"time-long-open", TCheckGroup::Times, u"Продажби, отворени твърде дълго",
     u"Продажби, отворени по-дълго от зададения брой минути.", kAll, cpOpenMinutes,
     Grid(u"check:time-long-open", kLongOpenColumns), 1, kLongOpen, TEvidenceKind::Sales, u"UNP", &LongOpenSql},
    {"time-other-day", TCheckGroup::Times, u"Приключени в друг ден",
     u"Продажби, приключени в друг ден, а не в деня, в който са открити.", kAll, 0,
     Grid(u"check:time-other-day", kSaleColumns), 1, kSale, TEvidenceKind::Sales, u"UNP", &OtherDaySql},
    {"time-invoice-before", TCheckGroup::Times, u"Фактура с дата преди продажбата",
     u"Продажби с фактура, чиято дата е преди деня на откриване на продажбата.", kAll, 0,
     Grid(u"check:time-invoice-before", kInvoiceColumns), 1, kInvoice, TEvidenceKind::Sales, u"UNP", &InvoiceBeforeSql},
    {"time-future", TCheckGroup::Times, u"Дати след деня на проверката",
     u"Продажби с дата на откриване, приключване или фактура след деня на проверката.", kAll, 0,
     Grid(u"check:time-future", kInvoiceColumns), 1, kInvoice, TEvidenceKind::Sales, u"UNP", &FutureSql},
    {"time-outside-hours", TCheckGroup::Times, u"Продажби извън работното време",
     u"Продажби, открити или приключени извън зададеното работно време.", kAll, cpOpeningHours,
     Grid(u"check:time-outside-hours", kSaleColumns), 1, kSale, TEvidenceKind::Sales, u"UNP", &OutsideHoursSql},
};

} // namespace

std::span<const TCheckDef> TimesChecks() { return kTimesChecks; }
