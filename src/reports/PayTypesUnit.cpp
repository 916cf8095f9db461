#include "PayTypesUnit.h"

TPayTypesForm::TPayTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Видове плащания"));
    FormCreate();
}

TReportUIFilters TPayTypesForm::GetReportUIFilters() const { return 0; }

void TPayTypesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPayTypesQuery(reportSql, recCountSql, FCurrentFilters);
}
