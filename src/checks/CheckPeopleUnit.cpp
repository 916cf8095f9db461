// The checks of operators and master data: work by an operator who was not active, sales of items that were not active, items and partners changed.
#include "CheckPeopleUnit.h"

#include "CheckSqlUnit.h"

namespace {

QString Quoted(const char16_t* text) { return u'\'' + QString::fromUtf16(text) + u'\''; }

// The span in which an operator or an item counts as active, per code: from the earliest
// creation to the latest deactivation (none when one of its records has no deactivation
// date, or no creation date), and the number of its records.
QString ActiveSpans(const char16_t* view, const char16_t* code, const char16_t* name, const char16_t* created,
                    const char16_t* deactivated)
{
    return QStringLiteral("SELECT %2 AS Code, MIN(%5) AS Name, COUNT(*) AS Records, CASE WHEN COUNT(*) > COUNT(%3) THEN NULL ELSE MIN(%3) END AS CreateDate, "
                          "CASE WHEN COUNT(*) > COUNT(%4) THEN NULL ELSE MAX(%4) END AS DeactivatedDate "
                          "FROM %1 GROUP BY %2")
        .arg(QString::fromUtf16(view), QString::fromUtf16(code), QString::fromUtf16(created),
             QString::fromUtf16(deactivated), QString::fromUtf16(name));
}

// The finding of work on day `day` of something active in span `span`.
QString OutsideSpan(const QString& day, const QString& span, const char16_t* before, const char16_t* after)
{
    return QStringLiteral("CASE WHEN %1 < %2.CreateDate THEN %3 ELSE %4 END")
        .arg(day, span, Quoted(before), Quoted(after));
}

QString IsOutside(const QString& day, const QString& span)
{
    return QStringLiteral("(%1 < %2.CreateDate OR %1 > %2.DeactivatedDate)").arg(day, span);
}

// ---- op-inactive ------------------------------------------------------------------------

constexpr const char16_t* kBeforeUser = u"Преди създаването на оператора";
constexpr const char16_t* kAfterUser = u"След деня на деактивиране на оператора";

QString OpInactiveSql(const TCheckSql& sql)
{
    const QString spans =
        ActiveSpans(u"UsersAudit", u"UserID", u"UserName", u"UserCreateDate", u"UserDeactivatedDate");
    // The log entries first: on SQLite the first branch's columns give the union's column types.
    // They have no store or device, so a store or device filter leaves them out.
    QString log;
    if (sql.Filters().StoreN == 0 && sql.Filters().FiscalDeviceN == 0)
        log = QStringLiteral("SELECT 'Действие в дневника' AS Kind, g.UNP, g.ActivityDateTime, g.UserID AS UserN, "
                             "u.Name AS UserName, g.EndDocDate AS WorkDate, g.ActivityType AS Work, u.CreateDate AS UserCreateDate, "
                             "u.DeactivatedDate AS UserDeactivatedDate, %1 AS Finding "
                             "FROM UsersLogAudit g JOIN (%2) u ON u.Code = g.UserID WHERE %3%4 UNION ALL ")
                  .arg(OutsideSpan(QStringLiteral("g.EndDocDate"), QStringLiteral("u"), kBeforeUser, kAfterUser), spans,
                       IsOutside(QStringLiteral("g.EndDocDate"), QStringLiteral("u")),
                       sql.AndFilters({u"EndDocDate", u"", u"", u"UserID"}, u"g"));
    const QString sales =
        QStringLiteral("SELECT 'Продажба' AS Kind, s.UNP, NULL AS ActivityDateTime, s.UserN, u.Name AS UserName, "
                       "s.EndDocDate AS WorkDate, s.StoreName AS Work, u.CreateDate AS UserCreateDate, "
                       "u.DeactivatedDate AS UserDeactivatedDate, %1 AS Finding "
                       "FROM SalesSummaryAudit s JOIN (%2) u ON u.Code = s.UserN WHERE %3%4")
            .arg(OutsideSpan(QStringLiteral("s.EndDocDate"), QStringLiteral("u"), kBeforeUser, kAfterUser), spans,
                 IsOutside(QStringLiteral("s.EndDocDate"), QStringLiteral("u")), sql.AndFilters({}, u"s"));
    // One finding per revoked sale (the view has a row per line), on its revocation date.
    const QString revoked =
        QStringLiteral("SELECT 'Анулирана продажба' AS Kind, r.UNP, NULL AS ActivityDateTime, r.UserN, u.Name AS UserName, "
                       "r.WorkDate, r.StoreName AS Work, u.CreateDate AS UserCreateDate, "
                       "u.DeactivatedDate AS UserDeactivatedDate, %1 AS Finding "
                       "FROM (SELECT UNP, UserN, SaleRevokedDate AS WorkDate, MIN(StoreName) AS StoreName "
                       "FROM SalesRevokedAudit%4 GROUP BY UNP, UserN, SaleRevokedDate) r "
                       "JOIN (%2) u ON u.Code = r.UserN WHERE %3")
            .arg(OutsideSpan(QStringLiteral("r.WorkDate"), QStringLiteral("u"), kBeforeUser, kAfterUser), spans,
                 IsOutside(QStringLiteral("r.WorkDate"), QStringLiteral("u")), sql.WhereFilters());
    return log + sales + QStringLiteral(" UNION ALL ") + revoked;
}

constexpr TReportColumn kOpInactiveColumns[] = {
    {u"Kind", u"Вид", TColumnRole::Text},
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"ActivityDateTime", u"Дата и час"},
    {u"UserN", u"Код на оператор"},
    {u"UserName", u"Име оператор", TColumnRole::Text},
    {u"WorkDate", u"Дата"},
    {u"Work", u"Действие / Търговски Обект", TColumnRole::Text},
    {u"UserCreateDate", u"Дата на добавяне в системата"},
    {u"UserDeactivatedDate", u"Дата на деактивиране"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- item-inactive ----------------------------------------------------------------------

// A line counts when no record of its item code was active on the sale's day. The spans
// pick the candidates in one pass over the lines (CROSS JOIN keeps SQLite from reading the
// lines once per item by date ranges): lines outside their code's span, and every line of a
// code with more than one record (the records may leave gaps); the records decide.
QString ItemInactiveSql(const TCheckSql& sql)
{
    const QString spans = ActiveSpans(u"ItemsAudit", u"ItemCode", u"ItemName", u"ItemCreateDate", u"ItemDeactivatedDate");
    return QStringLiteral(
               "SELECT d.ItemCode, d.UNP, MIN(d.ItemName) AS ItemName, MIN(d.DocNomer) AS DocNomer, "
               "MIN(d.FiscalDeviceN) AS FiscalDeviceN, MIN(d.UserN) AS UserN, d.EndDocDate, "
               "MIN(i.CreateDate) AS ItemCreateDate, MIN(i.DeactivatedDate) AS ItemDeactivatedDate, COUNT(*) AS RowCount, "
               "%1 AS CostSum, %2 AS Finding FROM SalesDetailsAudit d CROSS JOIN (%3) i WHERE i.Code = d.ItemCode "
               "AND (i.Records > 1 OR %4) AND NOT EXISTS (SELECT 1 FROM ItemsAudit a WHERE a.ItemCode = d.ItemCode AND "
               "(a.ItemCreateDate IS NULL OR a.ItemCreateDate <= d.EndDocDate) AND "
               "(a.ItemDeactivatedDate IS NULL OR a.ItemDeactivatedDate >= d.EndDocDate))%5 "
               "GROUP BY d.ItemCode, d.UNP, d.EndDocDate")
        .arg(sql.Lev(QStringLiteral("SUM(%1)").arg(sql.Cents(QStringLiteral("d.CostSum")))),
             QStringLiteral("MIN(%1)").arg(OutsideSpan(QStringLiteral("d.EndDocDate"), QStringLiteral("i"),
                                                       u"Продаден преди добавянето на артикула",
                                                       u"Продаден след деня на деактивиране на артикула")),
             spans, IsOutside(QStringLiteral("d.EndDocDate"), QStringLiteral("i")), sql.AndFilters({}, u"d"));
}

constexpr TReportColumn kItemInactiveColumns[] = {
    {u"ItemCode", u"Код на стоката", TColumnRole::Text},
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"ItemName", u"Наименование на стоката", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"ItemCreateDate", u"Дата на добавяне на стоката"},
    {u"ItemDeactivatedDate", u"Дата на деактивиране"},
    {u"RowCount", u"Брой редове"},
    {u"CostSum", u"Обща сума – в лв.", TColumnRole::Amount},
    {u"Finding", u"Описание", TColumnRole::Text},
};

// ---- masterdata-changed -----------------------------------------------------------------

QString MasterDataChangedSql(const TCheckSql& sql)
{
    const auto branch = [&sql](const char16_t* kind, const char16_t* view, const char16_t* code, const char16_t* name,
                               const char16_t* prefix) {
        const QString p = QString::fromUtf16(prefix);
        const QString changed = p + QStringLiteral("LastChangeDate");
        return QStringLiteral("SELECT %1 AS Kind, %2 AS Code, %3 AS Name, %4CreateDate AS CreateDate, %5 AS ChangeDate, "
                              "%4DeactivatedDate AS DeactivatedDate, 'Променен след добавянето' AS Finding "
                              "FROM %6 WHERE %5 > %4CreateDate%7")
            .arg(Quoted(kind), QString::fromUtf16(code), QString::fromUtf16(name), p, changed,
                 QString::fromUtf16(view),
                 sql.AndFilters({reinterpret_cast<const char16_t*>(changed.utf16()), u"", u"", u""}));
    };
    return branch(u"Артикул", u"ItemsAudit", u"ItemCode", u"ItemName", u"Item") + QStringLiteral(" UNION ALL ") +
           branch(u"Партньор", u"PartnersAudit", u"Bulstat", u"PartnerName", u"Partner");
}

constexpr TReportColumn kMasterDataChangedColumns[] = {
    {u"Kind", u"Вид", TColumnRole::Text},
    {u"Code", u"Код на стоката / БУЛСТАТ", TColumnRole::Text},
    {u"Name", u"Наименование", TColumnRole::Text},
    {u"CreateDate", u"Дата на добавяне"},
    {u"ChangeDate", u"Дата на последна промяна"},
    {u"DeactivatedDate", u"Дата на деактивиране"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

constexpr auto kAllFilters = rfPeriod | rfStore | rfFP | rfUser;

constexpr TCheckDef kPeopleChecks[] = {
    {"op-inactive", TCheckGroup::People, u"Работа на неактивен оператор",
     u"Продажби, анулирани продажби и действия в дневника на оператор преди добавянето му или след деня на "
     u"деактивирането му.",
     kAllFilters, 0,
     TReportDef{rkSalesSummary, u"check:op-inactive", nullptr, kOpInactiveColumns, int(std::size(kOpInactiveColumns)),
                u" ORDER BY WorkDate,Kind,UNP,ActivityDateTime,UserN"},
     4, -1, TEvidenceKind::Sales, u"UNP", &OpInactiveSql},
    {"item-inactive", TCheckGroup::People, u"Продажба на неактивен артикул",
     u"Редове на продажби на артикул преди добавянето му или след деня на деактивирането му.", kAllFilters, 0,
     TReportDef{rkSalesDetail, u"check:item-inactive", nullptr, kItemInactiveColumns,
                int(std::size(kItemInactiveColumns)), u" ORDER BY EndDocDate,UNP,ItemCode"},
     2, 10, TEvidenceKind::Item, u"ItemCode", &ItemInactiveSql},
    {"masterdata-changed", TCheckGroup::People, u"Променени артикули и партньори",
     u"Артикули и партньори, променени след добавянето им (в периода, когато е зададен).", rfPeriod, 0,
     TReportDef{rkItems, u"check:masterdata-changed", nullptr, kMasterDataChangedColumns,
                int(std::size(kMasterDataChangedColumns)), u" ORDER BY ChangeDate,Kind,Code,Name,CreateDate"},
     2, -1, TEvidenceKind::Item, u"Code", &MasterDataChangedSql},
};

} // namespace

std::span<const TCheckDef> PeopleChecks() { return kPeopleChecks; }
