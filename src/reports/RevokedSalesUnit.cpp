#include "RevokedSalesUnit.h"

TRevokedSalesForm::TRevokedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Анулирани продажби"));
    FormCreate();
}

TReportUIFilters TRevokedSalesForm::GetReportUIFilters() const { return kAllReportUIFilters; }

void TRevokedSalesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillRevokedSalesQuery(reportSql, recCountSql, FCurrentFilters);
}
