#pragma once
// Report window of the operation types.

#include "AbsReportBaseUnit.h"

class TActivityTypesForm : public TAbsReportBaseForm {
public:
    TActivityTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
