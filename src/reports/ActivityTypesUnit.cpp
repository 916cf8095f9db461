#include "ActivityTypesUnit.h"

TActivityTypesForm::TActivityTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Видове Операции"));
    FormCreate();
}

TReportUIFilters TActivityTypesForm::GetReportUIFilters() const { return 0; }

void TActivityTypesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillActivityTypesQuery(reportSql, recCountSql, FCurrentFilters);
}
