#include "ReversedSalesUnit.h"

TReversedSalesForm::TReversedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Сторнирани продажби"));
    FormCreate();
}

TReportUIFilters TReversedSalesForm::GetReportUIFilters() const { return kAllReportUIFilters; }

void TReversedSalesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillReversedSalesQuery(reportSql, recCountSql, FCurrentFilters);
}
