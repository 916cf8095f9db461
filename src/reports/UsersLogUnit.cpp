// Report window of the users' action log: its caption, filters and queries.
#include "UsersLogUnit.h"

TUsersLogForm::TUsersLogForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkUsersLog));
    FormCreate(rkUsersLog);
}

TReportUIFilters TUsersLogForm::GetReportUIFilters() const { return ReportListItem(rkUsersLog).Filters; }

void TUsersLogForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillUsersLogQuery(reportSql, recCountSql, FCurrentFilters);
}
