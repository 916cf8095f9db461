// Report window of the revoked sales: its caption, filters and queries.
#include "RevokedSalesUnit.h"

TRevokedSalesForm::TRevokedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkRevokedSales));
    FormCreate(rkRevokedSales);
}

TReportUIFilters TRevokedSalesForm::GetReportUIFilters() const { return ReportListItem(rkRevokedSales).Filters; }

void TRevokedSalesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillRevokedSalesQuery(reportSql, recCountSql, FCurrentFilters);
}
