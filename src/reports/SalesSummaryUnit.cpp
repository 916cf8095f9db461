// Report window of the sales summary: its caption, filters and queries.
#include "SalesSummaryUnit.h"

TSalesSummaryForm::TSalesSummaryForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkSalesSummary));
    FormCreate(rkSalesSummary);
}

TReportUIFilters TSalesSummaryForm::GetReportUIFilters() const { return ReportListItem(rkSalesSummary).Filters; }

void TSalesSummaryForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillSalesSummaryQuery(reportSql, recCountSql, FCurrentFilters);
}
