#pragma once
// TCheckQuery: the statements of a check as its window, the overview and the exporter run
// them: the findings of the check's builder as a row source, paged, ordered and searched as
// a report's rows are, the sums of its amount columns, and the overview's count and amount.

#include "CheckCatalogueUnit.h"
#include "CheckParamsUnit.h"
#include "reports/RepositoryUnit.h"

#include <QDate>
#include <QString>

class TCheckQuery {
public:
    // `today` is the day of the check (QDate::currentDate() outside tests).
    TCheckQuery(const TRepository& repository, QDate today);

    // The builder's statement as it is: what --print-sql shows and what the others wrap.
    QString FindingsSql(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const;
    // Count and page, as TRepository::FillReportQuery makes them for a report.
    void FillQuery(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                   QString& pageSql, QString& countSql) const;
    // The sums of the findings' amount columns (TRepository::FillTotalsQuery's form); empty
    // for a check without amount columns.
    QString TotalsSql(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const;
    // One row: the number of findings, then the sum of the amount column as the first three
    // values of TotalsSql (absent for a check without one). The find is not applied.
    QString OverviewSql(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const;

    const TRepository& Repository() const { return FRepository; }

private:
    QString Source(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params) const;

    const TRepository& FRepository;
    QDate FToday;
};
