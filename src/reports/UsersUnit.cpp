// Report window of the users: its caption, filters and queries.
#include "UsersUnit.h"

TUsersForm::TUsersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkUsers));
    FormCreate(rkUsers);
}

TReportUIFilters TUsersForm::GetReportUIFilters() const { return ReportListItem(rkUsers).Filters; }

void TUsersForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillUsersQuery(reportSql, recCountSql, FCurrentFilters);
}
