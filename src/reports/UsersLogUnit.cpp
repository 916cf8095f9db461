#include "UsersLogUnit.h"

TUsersLogForm::TUsersLogForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Лог на действията"));
    FormCreate();
}

TReportUIFilters TUsersLogForm::GetReportUIFilters() const { return rfPeriod; }

void TUsersLogForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillUsersLogQuery(reportSql, recCountSql, FCurrentFilters);
}
