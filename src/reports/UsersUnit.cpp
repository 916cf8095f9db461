#include "UsersUnit.h"

TUsersForm::TUsersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Потребители"));
    FormCreate();
}

TReportUIFilters TUsersForm::GetReportUIFilters() const { return 0; }

void TUsersForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillUsersQuery(reportSql, recCountSql, FCurrentFilters);
}
