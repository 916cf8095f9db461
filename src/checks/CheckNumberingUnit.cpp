// The checks of receipt and document numbering.
#include "CheckNumberingUnit.h"

#include "CheckSqlUnit.h"
#include "db/DbEngineUnit.h"

namespace {

// A UNP of the form "serial of the fiscal device (8 capital Latin letters or digits) -
// operator code (4 digits) - sequence number (7 digits)", as a condition on `column`.
QString UnpOfForm(const TCheckSql& sql, const QString& column)
{
    switch (sql.Engine().Find) {
    case TFindForm::SqliteGlob:
        return column + QStringLiteral(" GLOB '") + QStringLiteral("[0-9A-Z]").repeated(8) + u'-' +
               QStringLiteral("[0-9]").repeated(4) + u'-' + QStringLiteral("[0-9]").repeated(7) + u'\'';
    case TFindForm::PostgresRegex:
        return QStringLiteral("CAST(%1 AS text) COLLATE pg_catalog.\"C\" OPERATOR(pg_catalog.~) "
                              "'^[0-9A-Z]{8}-[0-9]{4}-[0-9]{7}$'")
            .arg(column);
    case TFindForm::SqlAnywhereLike:
        break;
    }
    return column + QStringLiteral(" LIKE '") + QStringLiteral("[0-9A-Z]").repeated(8) + u'-' +
           QStringLiteral("[0-9]").repeated(4) + u'-' + QStringLiteral("[0-9]").repeated(7) + u'\'';
}

// ---- unp-form ---------------------------------------------------------------------------

constexpr TReportColumn kUnpFormColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocKind", u"Документ", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"EndDocTime", u"Време приключване"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

QString UnpFormSql(const TCheckSql& sql)
{
    const QString finding = QStringLiteral("'УНП не е във вида „сериен номер на ФУ (8 знака) - код на оператор "
                                           "(4 цифри) - пореден номер (7 цифри)“'");
    const QString sales =
        QStringLiteral("SELECT UNP, 'Продажба' AS DocKind, DocNomer, FiscalDeviceN, StoreName, UserN, EndDocDate, "
                       "EndDocTime, %1 AS Finding FROM SalesSummaryAudit WHERE (UNP IS NULL OR NOT (%2))%3")
            .arg(finding, UnpOfForm(sql, QStringLiteral("UNP")), sql.AndFilters());
    const QString revoked =
        QStringLiteral("SELECT DISTINCT UNP, 'Анулирана продажба' AS DocKind, DocNomer, FiscalDeviceN, StoreName, "
                       "UserN, EndDocDate, SaleRevokedTime AS EndDocTime, %1 AS Finding FROM SalesRevokedAudit "
                       "WHERE (UNP IS NULL OR NOT (%2))%3")
            .arg(finding, UnpOfForm(sql, QStringLiteral("UNP")), sql.AndFilters());
    return sales + QStringLiteral(" UNION ALL ") + revoked;
}

// ---- the numbered documents -------------------------------------------------------------
//
// Closed sales and revoked sales are numbered together: one sequence of UNP numbers per fiscal
// device serial (the UNP's first 8 characters) and one of document numbers per fiscal device.
// Only the documents whose number is of its form are numbered; the others are the findings of
// unp-form and doc-form. A revoked sale is one row per line in its view: each is taken once.

// Which numbering: what groups the numbers, the number, and which documents are numbered.
struct TNumbering {
    bool Unp; // UNP numbers per serial; else document numbers per fiscal device
};

QString GroupOf(const TNumbering& n) { return n.Unp ? QStringLiteral("SUBSTR(UNP, 1, 8)") : QStringLiteral("FiscalDeviceN"); }

QString NumberOf(const TNumbering& n) { return n.Unp ? QStringLiteral("CAST(SUBSTR(UNP, 15, 7) AS INTEGER)") : QStringLiteral("DocNomer"); }

// A document number that is a whole number above 0 (on SQLite, stored as one), on a document
// with a fiscal device.
QString DocNomerUsable(const TCheckSql& sql)
{
    return sql.Dialect() == dbSqlite
               ? QStringLiteral("typeof(DocNomer) = 'integer' AND DocNomer > 0 AND FiscalDeviceN IS NOT NULL")
               : QStringLiteral("DocNomer > 0 AND FiscalDeviceN IS NOT NULL");
}

QString Numbered(const TCheckSql& sql, const TNumbering& n)
{
    return n.Unp ? UnpOfForm(sql, QStringLiteral("UNP")) : DocNomerUsable(sql);
}

// The filters a numbering takes: period (closing or revocation day), store, device.
QString NumberingFilters(const TCheckSql& sql) { return sql.AndFilters({u"EndDocDate", u"StoreN", u"FiscalDeviceN", u""}); }

// Every numbered document: Grp, Num, UNP, StoreName, FiscalDeviceN, ClosedDate, ClosedTime,
// and with `moments` Moment (the closing or revocation moment in seconds; only the order
// checks compare them, and they cost a pass of date arithmetic).
QString Documents(const TCheckSql& sql, const TNumbering& n, bool moments = false)
{
    const auto moment = [&](const char16_t* time) {
        return moments ? QStringLiteral(", ") + sql.MomentSeconds(QStringLiteral("EndDocDate"), QString::fromUtf16(time))
                       : QString();
    };
    const QString closed =
        QStringLiteral("SELECT %1 AS Grp, %2 AS Num, UNP, StoreName, FiscalDeviceN, EndDocDate AS ClosedDate, "
                       "EndDocTime AS ClosedTime%3 FROM SalesSummaryAudit WHERE %4%5")
            .arg(GroupOf(n), NumberOf(n), moments ? moment(u"EndDocTime") + QStringLiteral(" AS Moment") : QString(),
                 Numbered(sql, n), NumberingFilters(sql));
    const QString revoked =
        QStringLiteral("SELECT DISTINCT %1, %2, UNP, StoreName, FiscalDeviceN, EndDocDate, SaleRevokedTime%3 "
                       "FROM SalesRevokedAudit WHERE %4%5")
            .arg(GroupOf(n), NumberOf(n), moment(u"SaleRevokedTime"), Numbered(sql, n), NumberingFilters(sql));
    return u'(' + closed + QStringLiteral(" UNION ALL ") + revoked + u')';
}

// One row per number: how many documents carry it, the smallest UNP among them, its store
// and device, the closing day and time when one document carries it (NULL when more do:
// they are a unp-doubles / doc-doubles finding), with `moments` its earliest and latest
// closing moment.
QString Numbers(const TCheckSql& sql, const TNumbering& n, bool moments = false)
{
    return QStringLiteral("(SELECT Grp, Num, COUNT(*) AS Times, MIN(UNP) AS UNP, MIN(StoreName) AS StoreName, "
                          "MIN(FiscalDeviceN) AS FiscalDeviceN, "
                          "CASE WHEN COUNT(*) = 1 THEN MIN(ClosedDate) END AS ClosedDate, "
                          "CASE WHEN COUNT(*) = 1 THEN MIN(ClosedTime) END AS ClosedTime%1 FROM %2 d GROUP BY Grp, Num)")
        .arg(moments ? QStringLiteral(", MIN(Moment) AS FirstMoment, MAX(Moment) AS LastMoment") : QString(),
             Documents(sql, n, moments));
}

// Windowless: the numbers followed by a missing one (Grp, Num) and those preceded by one.
QString GapEdges(const TCheckSql& sql, const TNumbering& n, bool starts)
{
    return QStringLiteral("(SELECT DISTINCT r.Grp, r.Num FROM %1 r LEFT JOIN %1 q ON q.Grp = r.Grp AND q.Num = r.Num %2 1 "
                          "WHERE q.Num IS NULL)")
        .arg(Documents(sql, n), starts ? QStringLiteral("+") : QStringLiteral("-"));
}

// Windowless: each number followed by a gap and the next number present after it (Grp,
// PrevNum, Num): the next present number is the smallest number above it preceded by a gap.
QString GapPairs(const TCheckSql& sql, const TNumbering& n)
{
    return QStringLiteral("(SELECT s.Grp, s.Num AS PrevNum, MIN(e.Num) AS Num FROM %1 s JOIN %2 e ON e.Grp = s.Grp "
                          "AND e.Num > s.Num GROUP BY s.Grp, s.Num)")
        .arg(GapEdges(sql, n, true), GapEdges(sql, n, false));
}

QString CountText(const QString& value) { return QStringLiteral("CAST(%1 AS VARCHAR(20))").arg(value); }

// The group column as the findings show it: the serial, or the fiscal device (then the device
// column is that one).
QString GroupColumns(const TNumbering& n, QStringView alias)
{
    return n.Unp ? QStringLiteral("%1.Grp AS Serial, %1.FiscalDeviceN").arg(alias)
                 : QStringLiteral("%1.Grp AS FiscalDeviceN").arg(alias);
}

// ---- unp-gaps, doc-gaps ------------------------------------------------------------------

QString GapsSql(const TCheckSql& sql, const TNumbering& n)
{
    const QString finding = QStringLiteral("CASE WHEN w.NextNum - w.Num = 2 THEN 'Липсва 1 номер' ELSE 'Липсват ' || "
                                           "%1 || ' номера' END AS Finding")
                                .arg(CountText(QStringLiteral("w.NextNum - w.Num - 1")));
    const QString select =
        QStringLiteral("SELECT %1, w.Num + 1 AS FirstMissing, w.NextNum - 1 AS LastMissing, w.NextNum - w.Num - 1 AS "
                       "MissingCount, w.StoreName, w.UNP AS PrevUNP, w.ClosedDate AS PrevDate, w.ClosedTime AS PrevTime, "
                       "w.NextUNP, w.NextDate, w.NextTime, %2 FROM ")
            .arg(GroupColumns(n, u"w"), finding);
    if (sql.WindowFunctions()) {
        const QString over = QStringLiteral(" OVER (PARTITION BY Grp ORDER BY Num)");
        return select +
               QStringLiteral("(SELECT Grp, Num, UNP, StoreName, FiscalDeviceN, ClosedDate, ClosedTime, LEAD(Num)%1 AS "
                              "NextNum, LEAD(UNP)%1 AS NextUNP, LEAD(ClosedDate)%1 AS NextDate, LEAD(ClosedTime)%1 AS "
                              "NextTime FROM %2 g) w WHERE w.NextNum > w.Num + 1")
                   .arg(over, Numbers(sql, n));
    }
    return select + QStringLiteral("(SELECT a.Grp, a.Num, a.UNP, a.StoreName, a.FiscalDeviceN, a.ClosedDate, a.ClosedTime, "
                                   "b.Num AS NextNum, b.UNP AS NextUNP, b.ClosedDate AS NextDate, b.ClosedTime AS NextTime "
                                   "FROM %1 p JOIN %2 a ON a.Grp = p.Grp AND a.Num = p.PrevNum JOIN %2 b ON b.Grp = "
                                   "p.Grp AND b.Num = p.Num) w")
                        .arg(GapPairs(sql, n), Numbers(sql, n));
}

// ---- unp-doubles, doc-doubles ------------------------------------------------------------

QString DoublesSql(const TCheckSql& sql, const TNumbering& n)
{
    return QStringLiteral("SELECT %1, w.Num, w.Times, w.FirstUNP, w.LastUNP, w.FirstDate, w.LastDate, w.StoreName, "
                          "'Номерът е издаден ' || %2 || ' пъти' AS Finding FROM (SELECT Grp, Num, COUNT(*) AS Times, "
                          "MIN(UNP) AS FirstUNP, MAX(UNP) AS LastUNP, MIN(ClosedDate) AS FirstDate, MAX(ClosedDate) AS "
                          "LastDate, MIN(StoreName) AS StoreName, MIN(FiscalDeviceN) AS FiscalDeviceN FROM %3 d GROUP BY "
                          "Grp, Num HAVING COUNT(*) > 1) w")
        .arg(GroupColumns(n, u"w"), CountText(QStringLiteral("w.Times")), Documents(sql, n));
}

// ---- unp-order, doc-order ----------------------------------------------------------------
// A number is back in time when its earliest closing moment is before the latest one of the
// number present just below it.

QString OrderSql(const TCheckSql& sql, const TNumbering& n)
{
    const QString select =
        QStringLiteral("SELECT %1, w.Num, w.UNP, w.ClosedDate, w.ClosedTime, w.PrevNum, w.PrevUNP, w.PrevDate, w.PrevTime, "
                       "w.StoreName, 'Приключен преди предходния номер ' || %2 AS Finding FROM ")
            .arg(GroupColumns(n, u"w"), CountText(QStringLiteral("w.PrevNum")));
    if (sql.WindowFunctions()) {
        const QString over = QStringLiteral(" OVER (PARTITION BY Grp ORDER BY Num)");
        return select + QStringLiteral("(SELECT Grp, Num, UNP, StoreName, FiscalDeviceN, ClosedDate, ClosedTime, "
                                       "FirstMoment, LAG(Num)%1 AS PrevNum, LAG(UNP)%1 AS PrevUNP, LAG(ClosedDate)%1 AS "
                                       "PrevDate, LAG(ClosedTime)%1 AS PrevTime, LAG(LastMoment)%1 AS PrevMoment FROM %2 "
                                       "g) w WHERE w.FirstMoment < w.PrevMoment")
                            .arg(over, Numbers(sql, n, true));
    }
    // The number present just below: the one before it, or the one before its gap.
    const QString pairs =
        QStringLiteral("(SELECT DISTINCT r.Grp, q.Num AS PrevNum, r.Num FROM %1 r JOIN %1 q ON q.Grp = r.Grp AND q.Num "
                       "= r.Num - 1 UNION ALL SELECT Grp, PrevNum, Num FROM %2 t)")
            .arg(Documents(sql, n), GapPairs(sql, n));
    return select + QStringLiteral("(SELECT a.Grp, a.Num, a.UNP, a.StoreName, a.FiscalDeviceN, a.ClosedDate, a.ClosedTime, "
                                   "b.Num AS PrevNum, b.UNP AS PrevUNP, b.ClosedDate AS PrevDate, b.ClosedTime AS PrevTime "
                                   "FROM %1 p JOIN %2 a ON a.Grp = p.Grp AND a.Num = p.Num JOIN %2 b ON b.Grp = p.Grp "
                                   "AND b.Num = p.PrevNum WHERE a.FirstMoment < b.LastMoment) w")
                        .arg(pairs, Numbers(sql, n, true));
}

constexpr TNumbering kUnp{true};
constexpr TNumbering kDoc{false};

QString UnpGapsSql(const TCheckSql& sql) { return GapsSql(sql, kUnp); }
QString UnpDoublesSql(const TCheckSql& sql) { return DoublesSql(sql, kUnp); }
QString UnpOrderSql(const TCheckSql& sql) { return OrderSql(sql, kUnp); }
QString DocGapsSql(const TCheckSql& sql) { return GapsSql(sql, kDoc); }
QString DocDoublesSql(const TCheckSql& sql) { return DoublesSql(sql, kDoc); }
QString DocOrderSql(const TCheckSql& sql) { return OrderSql(sql, kDoc); }

// ---- doc-form ----------------------------------------------------------------------------

QString DocFormSql(const TCheckSql& sql)
{
    const QString finding = QStringLiteral(
        "CASE WHEN FiscalDeviceN IS NULL THEN 'Няма номер на ФУ' ELSE 'Номерът на документа не е цяло число над 0' END");
    const QString sales = QStringLiteral("SELECT UNP, 'Продажба' AS DocKind, DocNomer, FiscalDeviceN, StoreName, UserN, "
                                         "EndDocDate, EndDocTime, %1 AS Finding FROM SalesSummaryAudit WHERE (DocNomer IS "
                                         "NULL OR NOT (%2))%3")
                              .arg(finding, DocNomerUsable(sql), NumberingFilters(sql));
    const QString revoked =
        QStringLiteral("SELECT DISTINCT UNP, 'Анулирана продажба' AS DocKind, DocNomer, FiscalDeviceN, StoreName, UserN, "
                       "EndDocDate, SaleRevokedTime AS EndDocTime, %1 AS Finding FROM SalesRevokedAudit WHERE (DocNomer "
                       "IS NULL OR NOT (%2))%3")
            .arg(finding, DocNomerUsable(sql), NumberingFilters(sql));
    return sales + QStringLiteral(" UNION ALL ") + revoked;
}

// ---- the findings' columns ---------------------------------------------------------------

// The key columns lead (the group, then the number or range); the device column of the UNP
// numbering follows them.
#define GAP_REST                                                                                                       \
    {u"MissingCount", u"Брой липсващи"}, {u"StoreName", u"Търговски Обект", TColumnRole::Text},                        \
        {u"PrevUNP", u"УНП преди липсата", TColumnRole::Text}, {u"PrevDate", u"Дата приключване преди липсата"},       \
        {u"PrevTime", u"Време приключване преди липсата"}, {u"NextUNP", u"УНП след липсата", TColumnRole::Text},       \
        {u"NextDate", u"Дата приключване след липсата"}, {u"NextTime", u"Време приключване след липсата"},             \
        {u"Finding", u"Описание", TColumnRole::Text}
#define DOUBLE_REST                                                                                                    \
    {u"Times", u"Брой документи"}, {u"FirstUNP", u"Най-малък УНП", TColumnRole::Text},                                 \
        {u"LastUNP", u"Най-голям УНП", TColumnRole::Text}, {u"FirstDate", u"Най-ранна дата приключване"},              \
        {u"LastDate", u"Най-късна дата приключване"}, {u"StoreName", u"Търговски Обект", TColumnRole::Text},           \
        {u"Finding", u"Описание", TColumnRole::Text}
#define ORDER_REST                                                                                                     \
    {u"UNP", u"УНП", TColumnRole::Text}, {u"ClosedDate", u"Дата приключване"}, {u"ClosedTime", u"Време приключване"},  \
        {u"PrevNum", u"Предходен номер"}, {u"PrevUNP", u"УНП на предходния номер", TColumnRole::Text},                 \
        {u"PrevDate", u"Дата приключване на предходния номер"},                                                        \
        {u"PrevTime", u"Време приключване на предходния номер"},                                                       \
        {u"StoreName", u"Търговски Обект", TColumnRole::Text}, {u"Finding", u"Описание", TColumnRole::Text}
#define SERIAL {u"Serial", u"Сериен номер на ФУ", TColumnRole::Text}
#define DEVICE {u"FiscalDeviceN", u"Номер на ФУ"}
#define RANGE {u"FirstMissing", u"Първи липсващ номер"}, {u"LastMissing", u"Последен липсващ номер"}
#define NUMBER {u"Num", u"Номер"}

constexpr TReportColumn kUnpGapsColumns[] = {SERIAL, RANGE, DEVICE, GAP_REST};
constexpr TReportColumn kDocGapsColumns[] = {DEVICE, RANGE, GAP_REST};
constexpr TReportColumn kUnpDoublesColumns[] = {SERIAL, NUMBER, DEVICE, DOUBLE_REST};
constexpr TReportColumn kDocDoublesColumns[] = {DEVICE, NUMBER, DOUBLE_REST};
constexpr TReportColumn kUnpOrderColumns[] = {SERIAL, NUMBER, DEVICE, ORDER_REST};
constexpr TReportColumn kDocOrderColumns[] = {DEVICE, NUMBER, ORDER_REST};

#undef GAP_REST
#undef DOUBLE_REST
#undef ORDER_REST
#undef SERIAL
#undef DEVICE
#undef RANGE
#undef NUMBER

constexpr TReportColumn kDocFormColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"DocKind", u"Документ", TColumnRole::Text},
    {u"DocNomer", u"Номер документ"},
    {u"FiscalDeviceN", u"Номер на ФУ"},
    {u"StoreName", u"Търговски Обект", TColumnRole::Text},
    {u"UserN", u"Код на оператор"},
    {u"EndDocDate", u"Дата приключване"},
    {u"EndDocTime", u"Време приключване"},
    {u"Finding", u"Описание", TColumnRole::Text},
};

template <size_t N>
constexpr TReportDef Grid(const char16_t* name, const TReportColumn (&columns)[N], const char16_t* orderBy)
{
    return TReportDef{rkSalesSummary, name, nullptr, columns, int(N), orderBy};
}


constexpr TCheckDef kNumberingChecks[] = {
    {"unp-gaps", TCheckGroup::Numbering, u"Липсващи номера на продажби",
     u"Поредни номера в УНП на един фискален уред, които липсват между издадените (продажби и анулирани продажби).",
     rfPeriod | rfStore | rfFP, 0, Grid(u"check:unp-gaps", kUnpGapsColumns, u" ORDER BY Serial,FirstMissing"), 3, -1,
     TEvidenceKind::Sales, u"PrevUNP,NextUNP", &UnpGapsSql},
    {"unp-doubles", TCheckGroup::Numbering, u"Повторени номера на продажби",
     u"Поредни номера в УНП на един фискален уред, издадени повече от веднъж.", rfPeriod | rfStore | rfFP, 0,
     Grid(u"check:unp-doubles", kUnpDoublesColumns, u" ORDER BY Serial,Num"), 2, -1, TEvidenceKind::Sales,
     u"FirstUNP,LastUNP", &UnpDoublesSql},
    {"unp-order", TCheckGroup::Numbering, u"Номера, издадени назад във времето",
     u"Поредни номера в УНП, приключени по-рано от предходния номер на същия фискален уред.",
     rfPeriod | rfStore | rfFP, 0, Grid(u"check:unp-order", kUnpOrderColumns, u" ORDER BY Serial,Num"), 2, -1,
     TEvidenceKind::Sales, u"UNP,PrevUNP", &UnpOrderSql},
    {"unp-form", TCheckGroup::Numbering, u"УНП в неправилен вид",
     u"Продажби и анулирани продажби, чийто УНП не е от вида „сериен номер на ФУ - код на оператор - пореден номер“.",
     rfPeriod | rfStore | rfFP | rfUser, 0,
     TReportDef{rkSalesSummary, u"check:unp-form", nullptr, kUnpFormColumns, int(std::size(kUnpFormColumns)),
                u" ORDER BY EndDocDate,EndDocTime,UNP,DocKind,DocNomer"},
     2, -1, TEvidenceKind::Sales, u"UNP", &UnpFormSql},
    {"doc-gaps", TCheckGroup::Numbering, u"Липсващи номера на документи",
     u"Номера на документи на един фискален уред, които липсват между издадените (продажби и анулирани продажби).",
     rfPeriod | rfStore | rfFP, 0, Grid(u"check:doc-gaps", kDocGapsColumns, u" ORDER BY FiscalDeviceN,FirstMissing"), 3,
     -1, TEvidenceKind::Sales, u"PrevUNP,NextUNP", &DocGapsSql},
    {"doc-doubles", TCheckGroup::Numbering, u"Повторени номера на документи",
     u"Номера на документи на един фискален уред, издадени повече от веднъж.", rfPeriod | rfStore | rfFP, 0,
     Grid(u"check:doc-doubles", kDocDoublesColumns, u" ORDER BY FiscalDeviceN,Num"), 2, -1, TEvidenceKind::Sales,
     u"FirstUNP,LastUNP", &DocDoublesSql},
    {"doc-order", TCheckGroup::Numbering, u"Номера на документи, издадени назад във времето",
     u"Номера на документи, приключени по-рано от предходния номер на същия фискален уред.", rfPeriod | rfStore | rfFP,
     0, Grid(u"check:doc-order", kDocOrderColumns, u" ORDER BY FiscalDeviceN,Num"), 2, -1, TEvidenceKind::Sales,
     u"UNP,PrevUNP", &DocOrderSql},
    {"doc-form", TCheckGroup::Numbering, u"Номер на документ в неправилен вид",
     u"Продажби и анулирани продажби, чийто номер на документ не е цяло число над 0 или които нямат номер на ФУ.",
     rfPeriod | rfStore | rfFP, 0, Grid(u"check:doc-form", kDocFormColumns,
                                        u" ORDER BY EndDocDate,EndDocTime,UNP,DocKind,DocNomer"),
     2, -1, TEvidenceKind::Sales, u"UNP", &DocFormSql},
};

} // namespace

std::span<const TCheckDef> NumberingChecks() { return kNumberingChecks; }
