#include "SalesDetailUnit.h"

TSalesDetailForm::TSalesDetailForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository)
{
    setWindowTitle(QStringLiteral("Продажби детайлни"));
    FormCreate();
}

TReportUIFilters TSalesDetailForm::GetReportUIFilters() const { return kAllReportUIFilters; }

void TSalesDetailForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    FRepository->FillSalesDetailQuery(reportSql, recCountSql, FCurrentFilters);
}
