#pragma once
// Report window of the reversed sale lines.

#include "AbsReportBaseUnit.h"

class TReversedSalesForm : public TAbsReportBaseForm {
public:
    TReversedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
