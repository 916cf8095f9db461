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

constexpr TCheckDef kNumberingChecks[] = {
    {"unp-form", TCheckGroup::Numbering, u"УНП в неправилен вид",
     u"Продажби и анулирани продажби, чийто УНП не е от вида „сериен номер на ФУ - код на оператор - пореден номер“.",
     rfPeriod | rfStore | rfFP | rfUser, 0,
     TReportDef{rkSalesSummary, u"check:unp-form", nullptr, kUnpFormColumns, int(std::size(kUnpFormColumns)),
                u" ORDER BY EndDocDate,EndDocTime,UNP,DocKind,DocNomer"},
     2, -1, TEvidenceKind::Sales, u"UNP", &UnpFormSql},
};

} // namespace

std::span<const TCheckDef> NumberingChecks() { return kNumberingChecks; }
