// The checks of reversed sales: late reversals, reversals above the sale, sales reversed more than once, reversals without their sale and reversals by another operator.
//
// SalesReversedAudit holds one row per reversed line with the sale's closing date and
// operator; all filters apply to the sale's closing date, store, device and operator there.
#include "CheckReversalsUnit.h"

#include "CheckSqlUnit.h"

#include <QStringList>

namespace {

constexpr auto kAllFilters = rfPeriod | rfStore | rfFP | rfUser;

// ---- rev-late ---------------------------------------------------------------------------

QString RevLateSql(const TCheckSql& sql)
{
    // One finding per sale and later day it was reversed on (the rows are its lines).
    const QString days = sql.DaysBetween(QStringLiteral("EndDocDate"), QStringLiteral("SaleReversedDate"));
    return QStringLiteral("SELECT UNP, MIN(DocNomer) AS DocNomer, MIN(FiscalDeviceN) AS FiscalDeviceN, "
                          "MIN(StoreName) AS StoreName, MIN(UserN) AS UserN, EndDocDate, "
                          "MIN(EndDocTime) AS EndDocTime, SaleReversedDate, %1 AS Days, "
                          "'Сторнирана ' || CAST(%1 AS VARCHAR(10)) || ' дни след продажбата' AS Finding "
                          "FROM SalesReversedAudit WHERE SaleReversedDate > EndDocDate%2 "
                          "GROUP BY UNP, EndDocDate, SaleReversedDate")
        .arg(days, sql.AndFilters());
}

constexpr TReportColumn kRevLateColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"EndDocTime", u"Време приключване"},
    {u"SaleReversedDate", u"Дата на сторниране на продажбата"},
    {u"Days", u"Дни след продажбата"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- rev-excess -------------------------------------------------------------------------

QString RevExcessSql(const TCheckSql& sql)
{
    const QString saleCents = sql.Cents(QStringLiteral("s.TotalSumWithVAT"));
    const QString reversed =
        QStringLiteral("SELECT UNP, SUM(%1) AS Cents, COUNT(*) AS RowCount, SUM(CASE WHEN %2 THEN 0 ELSE 1 END) AS Bad "
                       "FROM SalesReversedAudit%3 GROUP BY UNP")
            .arg(sql.Cents(QStringLiteral("CostSum")), sql.IsAmount(QStringLiteral("CostSum")), sql.WhereFilters());
    return QStringLiteral("SELECT s.UNP, s.DocNomer, s.FiscalDeviceN, s.StoreName, s.UserN, s.EndDocDate, "
                          "%1 AS SaleSum, %2 AS ReversedSum, %3 AS Excess, r.RowCount, "
                          "CASE WHEN r.Bad > 0 OR NOT (%4) THEN 'Сума без стойност или не е число' "
                          "ELSE 'Сторнирано е повече от стойността на продажбата' END AS Finding "
                          "FROM (%5) r JOIN SalesSummaryAudit s ON s.UNP = r.UNP "
                          "WHERE r.Bad > 0 OR NOT (%4) OR r.Cents - %6 > %7")
        .arg(sql.Lev(saleCents), sql.Lev(QStringLiteral("r.Cents")),
             sql.Lev(QStringLiteral("r.Cents - %1").arg(saleCents)), sql.IsAmount(QStringLiteral("s.TotalSumWithVAT")),
             reversed, saleCents, QString::number(sql.Params().ToleranceCents));
}

constexpr TReportColumn kRevExcessColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"SaleSum", u"Дължима сума", TColumnRole::Amount},
    {u"ReversedSum", u"Сторнирана сума", TColumnRole::Amount},
    {u"Excess", u"Сторнирано в повече", TColumnRole::Amount},
    {u"RowCount", u"Сторнирани редове"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- rev-repeated -----------------------------------------------------------------------

QString RevRepeatedSql(const TCheckSql& sql)
{
    // One row per reversal moment first, then per sale; the sale's lines are counted for the
    // few reversed sales only, through the lines' (EndDocDate, UNP) index.
    const QString moments =
        QStringLiteral("SELECT UNP, EndDocDate, MIN(DocNomer) AS DocNomer, MIN(FiscalDeviceN) AS FiscalDeviceN, "
                       "MIN(StoreName) AS StoreName, MIN(UserN) AS UserN, "
                       "COUNT(*) AS RowCount FROM SalesReversedAudit%1 "
                       "GROUP BY UNP, EndDocDate, SaleReversedDate, SaleReversedTime")
            .arg(sql.WhereFilters());
    const QString perSale =
        QStringLiteral("SELECT UNP, EndDocDate, MIN(DocNomer) AS DocNomer, MIN(FiscalDeviceN) AS FiscalDeviceN, "
                       "MIN(StoreName) AS StoreName, MIN(UserN) AS UserN, "
                       "COUNT(*) AS Reversals, SUM(RowCount) AS RowCount FROM (%1) m GROUP BY UNP, EndDocDate")
            .arg(moments);
    const QString lines = QStringLiteral("(SELECT COUNT(*) FROM SalesDetailsAudit d WHERE d.EndDocDate = r.EndDocDate "
                                         "AND d.UNP = r.UNP)");
    return QStringLiteral("SELECT r.UNP, r.DocNomer, r.FiscalDeviceN, r.StoreName, r.UserN, r.EndDocDate, r.Reversals, "
                          "r.RowCount, %1 AS SaleLines, CASE WHEN r.Reversals > 1 THEN 'Сторнирана ' || "
                          "CAST(r.Reversals AS VARCHAR(10)) || ' пъти' ELSE 'Сторнирани са повече редове, отколкото "
                          "има продажбата' END AS Finding FROM (%2) r WHERE r.Reversals > 1 OR r.RowCount > %1")
        .arg(lines, perSale);
}

constexpr TReportColumn kRevRepeatedColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"Reversals", u"Брой сторнирания"},
    {u"RowCount", u"Сторнирани редове"},
    {u"SaleLines", u"Редове на продажбата"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- rev-orphan -------------------------------------------------------------------------

QString RevOrphanSql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT r.UNP, MIN(r.DocNomer) AS DocNomer, MIN(r.FiscalDeviceN) AS FiscalDeviceN, "
                          "MIN(r.UserN) AS UserN, r.EndDocDate, r.SaleReversedDate, COUNT(*) AS RowCount, "
                          "%1 AS ReversedSum, 'Сторно на продажба, която я няма' AS Finding FROM SalesReversedAudit r "
                          "WHERE NOT EXISTS (SELECT 1 FROM SalesSummaryAudit s WHERE s.UNP = r.UNP)%2 "
                          "GROUP BY r.UNP, r.EndDocDate, r.SaleReversedDate")
        .arg(sql.Lev(QStringLiteral("SUM(%1)").arg(sql.Cents(QStringLiteral("r.CostSum")))),
             sql.AndFilters({}, u"r"));
}

constexpr TReportColumn kRevOrphanColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"SaleReversedDate", u"Дата на сторниране на продажбата"},
    {u"RowCount", u"Сторнирани редове"},
    {u"ReversedSum", u"Сторнирана сума", TColumnRole::Amount},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- rev-other-operator -----------------------------------------------------------------

QString RevOtherOperatorSql(const TCheckSql& sql)
{
    QStringList types;
    for (const QString& type : sql.Params().ReversalActivities)
        types << sql.TextLiteral(type);
    // No activity type means no log entry is a reversal.
    const QString isReversal =
        types.isEmpty() ? QStringLiteral("1 = 0") : QStringLiteral("g.ActivityType IN (%1)").arg(types.join(u','));
    // A log entry or a sale without an operator is not shown to be the same operator's.
    return QStringLiteral("SELECT g.UNP, g.UserID AS LogUserID, MIN(g.UserName) AS LogUserName, "
                          "s.UserKod, s.DocNomer, s.FiscalDeviceN, s.StoreName, s.EndDocDate, "
                          "MIN(g.ActivityDateTime) AS ActivityDateTime, COUNT(*) AS Entries, "
                          "'Сторнирана от оператор, различен от продавача' AS Finding "
                          "FROM UsersLogAudit g JOIN SalesSummaryAudit s ON s.UNP = g.UNP "
                          "WHERE %1 AND g.UNP IS NOT NULL AND (g.UserID IS NULL OR s.UserKod IS NULL OR "
                          "g.UserID <> s.UserKod)%2 "
                          "GROUP BY g.UNP, g.UserID, s.UserKod, s.DocNomer, s.FiscalDeviceN, s.StoreName, s.EndDocDate")
        .arg(isReversal, sql.AndFilters({}, u"s"));
}

constexpr TReportColumn kRevOtherOperatorColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"LogUserID", u"Сторнирал – код на оператор"},
    {u"LogUserName", u"Сторнирал – име", TColumnRole::Text},
    {u"UserKod", u"Код на оператор"},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"EndDocDate", u"Дата приключване"},
    {u"ActivityDateTime", u"Дата и час на сторниране"},
    {u"Entries", u"Записи в дневника"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

constexpr TCheckDef kReversalsChecks[] = {
    {"rev-late", TCheckGroup::Reversals, u"Сторно в по-късен ден",
     u"Продажби, сторнирани в ден след деня, в който са приключени.", kAllFilters, 0,
     TReportDef{rkReversedSales, u"check:rev-late", nullptr, kRevLateColumns, int(std::size(kRevLateColumns)),
                u" ORDER BY EndDocDate,UNP,SaleReversedDate"},
     1, -1, TEvidenceKind::Sales, u"UNP", &RevLateSql},
    {"rev-excess", TCheckGroup::Reversals, u"Сторно над стойността на продажбата",
     u"Продажби, от които е сторнирано повече от дължимата им сума.", kAllFilters, cpTolerance,
     TReportDef{rkReversedSales, u"check:rev-excess", nullptr, kRevExcessColumns, int(std::size(kRevExcessColumns)),
                u" ORDER BY EndDocDate,UNP,DocNomer,FiscalDeviceN"},
     1, 8, TEvidenceKind::Sales, u"UNP", &RevExcessSql},
    {"rev-repeated", TCheckGroup::Reversals, u"Продажба, сторнирана повече от веднъж",
     u"Продажби, сторнирани в повече от един момент или с повече сторнирани редове, отколкото имат.", kAllFilters, 0,
     TReportDef{rkReversedSales, u"check:rev-repeated", nullptr, kRevRepeatedColumns,
                int(std::size(kRevRepeatedColumns)), u" ORDER BY EndDocDate,UNP"},
     1, -1, TEvidenceKind::Sales, u"UNP", &RevRepeatedSql},
    {"rev-orphan", TCheckGroup::Reversals, u"Сторно без продажба",
     u"Сторнирани редове, чиято продажба я няма сред продажбите.", kAllFilters, 0,
     TReportDef{rkReversedSales, u"check:rev-orphan", nullptr, kRevOrphanColumns, int(std::size(kRevOrphanColumns)),
                u" ORDER BY EndDocDate,UNP,SaleReversedDate"},
     1, 7, TEvidenceKind::Sales, u"UNP", &RevOrphanSql},
    {"rev-other-operator", TCheckGroup::Reversals, u"Сторно от друг оператор",
     u"Продажби, сторнирани според дневника на потребителите от оператор, различен от този, който ги е продал.",
     kAllFilters, cpReversalActivities,
     TReportDef{rkReversedSales, u"check:rev-other-operator", nullptr, kRevOtherOperatorColumns,
                int(std::size(kRevOtherOperatorColumns)), u" ORDER BY EndDocDate,UNP,LogUserID"},
     2, -1, TEvidenceKind::Sales, u"UNP", &RevOtherOperatorSql},
};

} // namespace

std::span<const TCheckDef> ReversalsChecks() { return kReversalsChecks; }
