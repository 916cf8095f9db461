// Report window of the sales detail: its caption, filters and queries.
#include "SalesDetailUnit.h"

TSalesDetailForm::TSalesDetailForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkSalesDetail));
    FormCreate(rkSalesDetail);
}

TReportUIFilters TSalesDetailForm::GetReportUIFilters() const { return ReportListItem(rkSalesDetail).Filters; }

void TSalesDetailForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillSalesDetailQuery(reportSql, recCountSql, FCurrentFilters);
}
