// Report window of the stores: its caption, filters and queries.
#include "StoresUnit.h"

TStoresForm::TStoresForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkStores));
    FormCreate(rkStores);
}

TReportUIFilters TStoresForm::GetReportUIFilters() const { return ReportListItem(rkStores).Filters; }

void TStoresForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillStoresQuery(reportSql, recCountSql, FCurrentFilters);
}
