// Report window of the payment types: its caption, filters and queries.
#include "PayTypesUnit.h"

TPayTypesForm::TPayTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkPayTypes));
    FormCreate(rkPayTypes);
}

TReportUIFilters TPayTypesForm::GetReportUIFilters() const { return ReportListItem(rkPayTypes).Filters; }

void TPayTypesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPayTypesQuery(reportSql, recCountSql, FCurrentFilters);
}
