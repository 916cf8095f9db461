// The shared pieces of the checks' statements (see CheckSqlUnit.h).
#include "CheckSqlUnit.h"

#include "db/DbEngineUnit.h"

#include <QStringList>

TCheckSql::TCheckSql(const TRepository& repository, const TReportFilters& filters, const TCheckParams& params,
                     QDate today)
    : FRepository(repository), FFilters(filters), FParams(params), FToday(today)
{
}

QString TCheckSql::FilterTerms(const TFilterColumns& columns, QStringView alias) const
{
    const auto name = [alias](const char16_t* column) {
        return alias.isEmpty() ? QString::fromUtf16(column) : alias.toString() + u'.' + QString::fromUtf16(column);
    };
    const auto set = [](const char16_t* column) { return column && *column; };
    QStringList terms;
    if (FFilters.FromDate != 0 && FFilters.ToDate != 0 && set(columns.Date)) {
        terms << name(columns.Date) + QStringLiteral(" >= ") + FRepository.SqlDate(FFilters.FromDate);
        terms << name(columns.Date) + QStringLiteral(" <= ") + FRepository.SqlDate(FFilters.ToDate);
    }
    const std::pair<const char16_t*, int32_t> keyed[] = {
        {columns.Store, FFilters.StoreN}, {columns.Device, FFilters.FiscalDeviceN}, {columns.User, FFilters.UserN}};
    for (const auto& [column, value] : keyed)
        if (value != 0 && set(column))
            terms << name(column) + QStringLiteral(" = ") + QString::number(value);
    return terms.join(QStringLiteral(" AND "));
}

QString TCheckSql::WhereFilters(const TFilterColumns& columns, QStringView alias) const
{
    const QString terms = FilterTerms(columns, alias);
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms;
}

QString TCheckSql::AndFilters(const TFilterColumns& columns, QStringView alias) const
{
    const QString terms = FilterTerms(columns, alias);
    return terms.isEmpty() ? QString() : QStringLiteral(" AND ") + terms;
}

QString TCheckSql::DateLiteral(QDate date) const { return FRepository.SqlDate(DateToDays(date)); }

QString TCheckSql::TextLiteral(const QString& text) const
{
    if (text.isEmpty())
        return QStringLiteral("''");
    switch (Engine().Find) {
    case TFindForm::SqliteGlob: {
        QStringList codes;
        for (const char32_t c : text.toUcs4())
            codes << QString::number(quint32(c));
        return QStringLiteral("char(") + codes.join(u',') + u')';
    }
    case TFindForm::PostgresRegex:
        return QStringLiteral("pg_catalog.convert_from(pg_catalog.decode('%1', 'hex'), 'UTF8')")
            .arg(QString::fromLatin1(text.toUtf8().toHex()));
    case TFindForm::SqlAnywhereLike:
        break;
    }
    // SQL Anywhere: the quote and the backslash (an escape in its literals) as CHAR().
    QStringList parts;
    QString run;
    for (const QChar c : text) {
        if (c == u'\'' || c == u'\\') {
            if (!run.isEmpty())
                parts << u'\'' + run + u'\'';
            run.clear();
            parts << QStringLiteral("CHAR(%1)").arg(c.unicode());
        } else {
            run += c;
        }
    }
    if (!run.isEmpty())
        parts << u'\'' + run + u'\'';
    return parts.size() == 1 ? parts.front() : u'(' + parts.join(QStringLiteral(" || ")) + u')';
}

// ---- numbering and times

QString TCheckSql::MomentSeconds(const QString& date, const QString& time) const
{
    switch (Dialect()) {
    case dbSqlite:
        return QStringLiteral("CAST(strftime('%s', %1 || ' ' || %2) AS INTEGER)").arg(date, time);
    case dbPostgres:
        return QStringLiteral("CAST(EXTRACT(EPOCH FROM (%1 + %2)) AS BIGINT)").arg(date, time);
    default:
        return QStringLiteral("(CAST(DATEDIFF(day, '1970-01-01', %1) AS BIGINT) * 86400 + %2)")
            .arg(date, TimeSeconds(time));
    }
}

QString TCheckSql::TimeSeconds(const QString& time) const
{
    switch (Dialect()) {
    case dbSqlite:
        // A time of day alone is a time on 2000-01-01 to strftime.
        return QStringLiteral("(CAST(strftime('%s', %1) AS INTEGER) - 946684800)").arg(time);
    case dbPostgres:
        return QStringLiteral("CAST(EXTRACT(EPOCH FROM %1) AS INTEGER)").arg(time);
    default:
        return QStringLiteral("(HOUR(%1) * 3600 + MINUTE(%1) * 60 + SECOND(%1))").arg(time);
    }
}

// ---- sums, reversals, people: amounts in stotinki and day counts

QString TCheckSql::Cents(const QString& expr) const
{
    switch (Dialect()) {
    case dbSqlite:
        return QStringLiteral("CASE WHEN %1 THEN CAST(round(%2 * 100) AS INTEGER) END").arg(IsAmount(expr), expr);
    case dbPostgres: return QStringLiteral("round(%1 * 100)").arg(expr);
    default: return QStringLiteral("ROUND(%1 * 100, 0)").arg(expr);
    }
}

QString TCheckSql::IsAmount(const QString& expr) const
{
    if (Dialect() == dbSqlite)
        return QStringLiteral("typeof(%1) IN ('integer', 'real')").arg(expr);
    return expr + QStringLiteral(" IS NOT NULL");
}

QString TCheckSql::Lev(const QString& centsExpr) const
{
    if (Dialect() == dbSqlite)
        return QStringLiteral("(%1) / 100.0").arg(centsExpr);
    return QStringLiteral("CAST((%1) / 100.0 AS NUMERIC(15,2))").arg(centsExpr);
}

QString TCheckSql::DaysBetween(const QString& from, const QString& to) const
{
    switch (Dialect()) {
    case dbSqlite:
        return QStringLiteral("CAST(julianday(%2) - julianday(%1) AS INTEGER)").arg(from, to);
    case dbPostgres:
        return QStringLiteral("(CAST(%2 AS date) - CAST(%1 AS date))").arg(from, to);
    default:
        return QStringLiteral("DATEDIFF(day, %1, %2)").arg(from, to);
    }
}

QString TCheckSql::WholeDivision(const QString& value, int by) const
{
    if (Dialect() == dbSqlite || Dialect() == dbPostgres) // whole numbers divide as whole numbers
        return QStringLiteral("((%1) / %2)").arg(value).arg(by);
    return QStringLiteral("CAST(FLOOR((%1) / %2.0) AS INTEGER)").arg(value).arg(by);
}
