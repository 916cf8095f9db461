// Report window of the items: its caption, filters and queries.
#include "ItemsUnit.h"

TItemsForm::TItemsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkItems));
    FormCreate(rkItems);
}

TReportUIFilters TItemsForm::GetReportUIFilters() const { return ReportListItem(rkItems).Filters; }

void TItemsForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillItemsQuery(reportSql, recCountSql, FCurrentFilters);
}
