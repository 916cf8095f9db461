#include "PaymentsUnit.h"

TPaymentsForm::TPaymentsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Плащания"));
    FormCreate();
}

TReportUIFilters TPaymentsForm::GetReportUIFilters() const { return kAllReportUIFilters; }

void TPaymentsForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPaymentsQuery(reportSql, recCountSql, FCurrentFilters);
}
