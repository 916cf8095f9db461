// Report window of the partners: its caption, filters and queries.
#include "PartnersUnit.h"

TPartnersForm::TPartnersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkPartners));
    FormCreate(rkPartners);
}

TReportUIFilters TPartnersForm::GetReportUIFilters() const { return ReportListItem(rkPartners).Filters; }

void TPartnersForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPartnersQuery(reportSql, recCountSql, FCurrentFilters);
}
