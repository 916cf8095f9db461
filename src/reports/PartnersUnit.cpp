#include "PartnersUnit.h"

TPartnersForm::TPartnersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Клиенти / Доставчици"));
    FormCreate();
}

TReportUIFilters TPartnersForm::GetReportUIFilters() const { return 0; }

void TPartnersForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPartnersQuery(reportSql, recCountSql, FCurrentFilters);
}
