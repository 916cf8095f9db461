#include "StoresUnit.h"

TStoresForm::TStoresForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Търговски обекти"));
    FormCreate();
}

TReportUIFilters TStoresForm::GetReportUIFilters() const { return 0; }

void TStoresForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillStoresQuery(reportSql, recCountSql, FCurrentFilters);
}
