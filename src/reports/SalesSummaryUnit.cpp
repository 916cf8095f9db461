#include "SalesSummaryUnit.h"

TSalesSummaryForm::TSalesSummaryForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Продажби Обобщени"));
    FormCreate();
}

TReportUIFilters TSalesSummaryForm::GetReportUIFilters() const { return kAllReportUIFilters; }

void TSalesSummaryForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillSalesSummaryQuery(reportSql, recCountSql, FCurrentFilters);
}
