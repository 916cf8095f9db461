// Report window of the operation types: its caption, filters and queries.
#include "ActivityTypesUnit.h"

TActivityTypesForm::TActivityTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkActivityTypes));
    FormCreate(rkActivityTypes);
}

TReportUIFilters TActivityTypesForm::GetReportUIFilters() const { return ReportListItem(rkActivityTypes).Filters; }

void TActivityTypesForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillActivityTypesQuery(reportSql, recCountSql, FCurrentFilters);
}
