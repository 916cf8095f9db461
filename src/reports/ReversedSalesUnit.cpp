// Report window of the reversed sales: its caption, filters and queries.
#include "ReversedSalesUnit.h"

TReversedSalesForm::TReversedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkReversedSales));
    FormCreate(rkReversedSales);
}

TReportUIFilters TReversedSalesForm::GetReportUIFilters() const { return ReportListItem(rkReversedSales).Filters; }

void TReversedSalesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillReversedSalesQuery(reportSql, recCountSql, FCurrentFilters);
}
