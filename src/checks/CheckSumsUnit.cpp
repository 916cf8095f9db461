// The checks of sales whose summary, lines, VAT and payments do not add up, and lines or payments without their sale.
//
// A sale and its lines or payments are matched by closing date and UNP, the order of the
// views' indexes: the lines and payments are added up per (EndDocDate, UNP) in one pass and
// met with the sale of the same day. A line dated other than its sale is then not counted
// with it, so that sale shows as not adding up, or as a sale without lines when none of its
// lines has its date: the mismatch is reported, never lost. Lines and payments without a
// sale are looked up among all sales by UNP alone (the sales' UNP is indexed).
#include "CheckSumsUnit.h"

#include "CheckSqlUnit.h"

namespace {

// Only the period applies to the lines and payments that are added up per sale: the sale's
// store, device and operator filter the sales, so that a line that says otherwise still
// counts with its sale.
constexpr TFilterColumns kPeriodOnly{u"EndDocDate", u"", u"", u""};

QString Quoted(const char16_t* text) { return u'\'' + QString::fromUtf16(text) + u'\''; }

// ---- sale-lines, sale-vat, sale-payments -------------------------------------------------

// One amount of the sale against the sum of one amount of its rows in another view.
struct TSaleSum {
    const char16_t* SaleColumn; // of SalesSummaryAudit
    const char16_t* RowsView;
    const char16_t* RowsColumn;
    const char16_t* Less;    // the finding when the rows' sum is smaller
    const char16_t* More;    // … larger
};

constexpr const char16_t* kNotANumber = u"Сума без стойност или не е число";

QString SaleSumSql(const TCheckSql& sql, const TSaleSum& sum)
{
    const QString saleAmount = QStringLiteral("s.") + QString::fromUtf16(sum.SaleColumn);
    const QString rowAmount = QString::fromUtf16(sum.RowsColumn);
    const QString saleCents = sql.Cents(saleAmount);
    const QString tolerance = QString::number(sql.Params().ToleranceCents);
    const QString rows =
        QStringLiteral("SELECT EndDocDate, UNP, SUM(%1) AS Cents, COUNT(*) AS RowCount, "
                       "SUM(CASE WHEN %2 THEN 0 ELSE 1 END) AS Bad FROM %3%4 GROUP BY EndDocDate, UNP")
            .arg(sql.Cents(rowAmount), sql.IsAmount(rowAmount), QString::fromUtf16(sum.RowsView),
                 sql.WhereFilters(kPeriodOnly));
    return QStringLiteral("SELECT s.UNP, s.DocNomer, s.FiscalDeviceN, s.StoreName, s.UserN, s.EndDocDate, "
                          "%1 AS SaleSum, %2 AS RowsSum, %3 AS Difference, r.RowCount, "
                          "CASE WHEN r.Bad > 0 OR NOT (%4) THEN %5 WHEN r.Cents < %6 THEN %7 ELSE %8 END AS Finding "
                          "FROM (%9) r JOIN SalesSummaryAudit s ON s.EndDocDate = r.EndDocDate AND s.UNP = r.UNP "
                          "WHERE (r.Bad > 0 OR NOT (%4) OR abs(r.Cents - %6) > %10)%11")
        .arg(sql.Lev(saleCents), sql.Lev(QStringLiteral("r.Cents")),
             sql.Lev(QStringLiteral("abs(r.Cents - %1)").arg(saleCents)), sql.IsAmount(saleAmount),
             Quoted(kNotANumber), saleCents, Quoted(sum.Less), Quoted(sum.More), rows, tolerance,
             sql.AndFilters({}, u"s"));
}

QString SaleLinesSql(const TCheckSql& sql)
{
    return SaleSumSql(sql, {u"TotalSumWithVAT", u"SalesDetailsAudit", u"CostSum",
                            u"Сумата на редовете е по-малка от дължимата",
                            u"Сумата на редовете е по-голяма от дължимата"});
}

QString SaleVatSql(const TCheckSql& sql)
{
    return SaleSumSql(sql, {u"SumVAT", u"SalesDetailsAudit", u"VATSum", u"ДДС на редовете е по-малко от ДДС на продажбата",
                            u"ДДС на редовете е по-голямо от ДДС на продажбата"});
}

QString SalePaymentsSql(const TCheckSql& sql)
{
    return SaleSumSql(sql, {u"TotalSumWithVAT", u"SalesPaymentsAudit", u"TotalSumWithVAT",
                            u"Платено е по-малко от дължимото", u"Платено е повече от дължимото"});
}

// The columns of the three; the amount the findings involve is the absolute difference.
constexpr TReportColumn kSaleLinesColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"SaleSum", u"Дължима сума", TColumnRole::Amount},
    {u"RowsSum", u"Сума на редовете", TColumnRole::Amount},
    {u"Difference", u"Разлика", TColumnRole::Amount},
    {u"RowCount", u"Брой редове"},
    {u"Finding", u"Описание", TColumnRole::Text},
};
constexpr TReportColumn kSaleVatColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"SaleSum", u"ДДС на продажбата", TColumnRole::Amount},
    {u"RowsSum", u"ДДС на редовете", TColumnRole::Amount},
    {u"Difference", u"Разлика", TColumnRole::Amount},
    {u"RowCount", u"Брой редове"},
    {u"Finding", u"Описание", TColumnRole::Text},
};
constexpr TReportColumn kSalePaymentsColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"SaleSum", u"Дължима сума", TColumnRole::Amount},
    {u"RowsSum", u"Сума на плащанията", TColumnRole::Amount},
    {u"Difference", u"Разлика", TColumnRole::Amount},
    {u"RowCount", u"Брой плащания"},
    {u"Finding", u"Описание", TColumnRole::Text},
};
constexpr int kDifferenceColumn = 8;

// ---- sale-orphans ------------------------------------------------------------------------

constexpr const char16_t* kLinesWithoutSale = u"Редове без продажба";
constexpr const char16_t* kPaymentsWithoutSale = u"Плащания без продажба";
constexpr const char16_t* kSaleWithoutLines = u"Продажба без редове";
constexpr const char16_t* kSaleWithoutPayments = u"Продажба без плащания";

// Lines or payments whose UNP is not a sale's, one finding per UNP.
QString RowsWithoutSale(const TCheckSql& sql, const char16_t* view, const char16_t* amount, const char16_t* kind,
                        const char16_t* finding)
{
    const QString cents = sql.Cents(QStringLiteral("r.") + QString::fromUtf16(amount));
    return QStringLiteral("SELECT r.UNP, %1 AS Kind, MIN(r.DocNomer) AS DocNomer, MIN(r.FiscalDeviceN) AS FiscalDeviceN, "
                          "MIN(r.UserN) AS UserN, MIN(r.EndDocDate) AS EndDocDate, COUNT(*) AS RowCount, "
                          "%2 AS Amount, %3 AS Finding FROM %4 r WHERE NOT EXISTS (SELECT 1 FROM SalesSummaryAudit s "
                          "WHERE s.UNP = r.UNP)%5 GROUP BY r.UNP")
        .arg(Quoted(kind), sql.Lev(QStringLiteral("SUM(%1)").arg(cents)), Quoted(finding), QString::fromUtf16(view),
             sql.AndFilters({}, u"r"));
}

// Sales with no line (or payment) of their closing date.
QString SalesWithoutRows(const TCheckSql& sql, const char16_t* view, const char16_t* kind, const char16_t* finding)
{
    return QStringLiteral("SELECT s.UNP, %1 AS Kind, s.DocNomer, s.FiscalDeviceN, s.UserN, s.EndDocDate, "
                          "0 AS RowCount, %2 AS Amount, %3 AS Finding FROM SalesSummaryAudit s WHERE NOT EXISTS "
                          "(SELECT 1 FROM %4 r WHERE r.EndDocDate = s.EndDocDate AND r.UNP = s.UNP)%5")
        .arg(Quoted(kind), sql.Lev(sql.Cents(QStringLiteral("s.TotalSumWithVAT"))), Quoted(finding),
             QString::fromUtf16(view), sql.AndFilters({}, u"s"));
}

QString SaleOrphansSql(const TCheckSql& sql)
{
    // The sales first: on SQLite the first branch's columns give the union's column types.
    return SalesWithoutRows(sql, u"SalesDetailsAudit", kSaleWithoutLines, u"Продажбата няма нито един ред") +
           QStringLiteral(" UNION ALL ") +
           SalesWithoutRows(sql, u"SalesPaymentsAudit", kSaleWithoutPayments, u"Продажбата няма нито едно плащане") +
           QStringLiteral(" UNION ALL ") +
           RowsWithoutSale(sql, u"SalesDetailsAudit", u"CostSum", kLinesWithoutSale,
                           u"Редове на продажба, която я няма") +
           QStringLiteral(" UNION ALL ") +
           RowsWithoutSale(sql, u"SalesPaymentsAudit", u"TotalSumWithVAT", kPaymentsWithoutSale,
                           u"Плащания по продажба, която я няма");
}

constexpr TReportColumn kSaleOrphansColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"Kind", u"Вид", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"RowCount", u"Брой редове"},
    {u"Amount", u"Сума", TColumnRole::Amount},
    {u"Finding", u"Описание", TColumnRole::Text},
};

constexpr auto kAllFilters = rfPeriod | rfStore | rfFP | rfUser;

constexpr TCheckDef kSumsChecks[] = {
    {"sale-lines", TCheckGroup::Sums, u"Несъвпадаща сума на редовете",
     u"Продажби, чиято дължима сума се различава от сумата на редовете им с повече от допуска.", kAllFilters,
     cpTolerance,
     TReportDef{rkSalesSummary, u"check:sale-lines", nullptr, kSaleLinesColumns, int(std::size(kSaleLinesColumns)),
                u" ORDER BY EndDocDate,UNP,DocNomer,FiscalDeviceN"},
     1, kDifferenceColumn, TEvidenceKind::Sales, u"UNP", &SaleLinesSql},
    {"sale-vat", TCheckGroup::Sums, u"Несъвпадащ ДДС на редовете",
     u"Продажби, чийто ДДС се различава от сбора на ДДС на редовете им с повече от допуска.", kAllFilters,
     cpTolerance,
     TReportDef{rkSalesSummary, u"check:sale-vat", nullptr, kSaleVatColumns, int(std::size(kSaleVatColumns)),
                u" ORDER BY EndDocDate,UNP,DocNomer,FiscalDeviceN"},
     1, kDifferenceColumn, TEvidenceKind::Sales, u"UNP", &SaleVatSql},
    {"sale-payments", TCheckGroup::Sums, u"Несъвпадащи плащания",
     u"Продажби, чиято дължима сума се различава от сбора на плащанията им с повече от допуска.", kAllFilters,
     cpTolerance,
     TReportDef{rkSalesSummary, u"check:sale-payments", nullptr, kSalePaymentsColumns,
                int(std::size(kSalePaymentsColumns)), u" ORDER BY EndDocDate,UNP,DocNomer,FiscalDeviceN"},
     1, kDifferenceColumn, TEvidenceKind::Sales, u"UNP", &SalePaymentsSql},
    {"sale-orphans", TCheckGroup::Sums, u"Редове и плащания без продажба",
     u"Редове и плащания, чиято продажба я няма, и продажби без редове или без плащания.", kAllFilters, 0,
     TReportDef{rkSalesSummary, u"check:sale-orphans", nullptr, kSaleOrphansColumns,
                int(std::size(kSaleOrphansColumns)), u" ORDER BY EndDocDate,UNP,Kind,DocNomer,FiscalDeviceN"},
     2, 7, TEvidenceKind::Sales, u"UNP", &SaleOrphansSql},
};

} // namespace

std::span<const TCheckDef> SumsChecks() { return kSumsChecks; }
