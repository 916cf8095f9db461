// Report window of the payments: its caption, filters and queries.
#include "PaymentsUnit.h"

TPaymentsForm::TPaymentsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(ReportTitle(rkPayments));
    FormCreate(rkPayments);
}

TReportUIFilters TPaymentsForm::GetReportUIFilters() const { return ReportListItem(rkPayments).Filters; }

void TPaymentsForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillPaymentsQuery(reportSql, recCountSql, FCurrentFilters);
}
