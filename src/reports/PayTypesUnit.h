#pragma once
// Report window of the payment types.

#include "AbsReportBaseUnit.h"

class TPayTypesForm : public TAbsReportBaseForm {
public:
    TPayTypesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
