#pragma once
// Report window of the sale lines.

#include "AbsReportBaseUnit.h"

class TSalesDetailForm : public TAbsReportBaseForm {
public:
    TSalesDetailForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
