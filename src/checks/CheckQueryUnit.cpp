// The statements of a check as they are run (see CheckQueryUnit.h).
#include "CheckQueryUnit.h"

#include "CheckSqlUnit.h"

TCheckQuery::TCheckQuery(const TRepository& repository, QDate today) : FRepository(repository), FToday(today) {}

QString TCheckQuery::FindingsSql(const TCheckDef& def, const TReportFilters& filters,
                                 const TCheckParams& params) const
{
    return def.Build(TCheckSql(FRepository, filters, params, FToday));
}

QString TCheckQuery::Source(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const
{
    return u'(' + FindingsSql(def, filters, params) + QStringLiteral(") f");
}

void TCheckQuery::FillQuery(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                            QString& pageSql, QString& countSql) const
{
    const QString find = FRepository.FindTerm(def.Grid, filters.FindText);
    FRepository.FillQueryFrom(def.Grid, Source(def, filters, params),
                              find.isEmpty() ? QString() : QStringLiteral("WHERE ") + find, pageSql, countSql,
                              filters);
}

QString TCheckQuery::TotalsSql(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const
{
    const QString find = FRepository.FindTerm(def.Grid, filters.FindText);
    return FRepository.TotalsQueryFrom(def.Grid, Source(def, filters, params),
                                       find.isEmpty() ? QString() : QStringLiteral("WHERE ") + find);
}

QString TCheckQuery::OverviewSql(const TCheckDef& def, const TReportFilters& filters,
                                 const TCheckParams& params) const
{
    QString sums;
    if (def.AmountColumn >= 0) {
        TReportDef amountOnly = def.Grid;
        amountOnly.Columns = &def.Grid.Columns[def.AmountColumn];
        amountOnly.ColumnCount = 1;
        sums = QStringLiteral(", ") + FRepository.TotalsSelectList(amountOnly);
    }
    return QStringLiteral("SELECT count(*)") + sums + QStringLiteral(" FROM ") + Source(def, filters, params);
}
