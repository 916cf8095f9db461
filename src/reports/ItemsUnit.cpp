#include "ItemsUnit.h"

TItemsForm::TItemsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Стоки"));
    FormCreate();
}

TReportUIFilters TItemsForm::GetReportUIFilters() const { return 0; }

void TItemsForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillItemsQuery(reportSql, recCountSql, FCurrentFilters);
}
