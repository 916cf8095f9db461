#pragma once
// Report window of the sales summary.

#include "AbsReportBaseUnit.h"

class TSalesSummaryForm : public TAbsReportBaseForm {
public:
    TSalesSummaryForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
