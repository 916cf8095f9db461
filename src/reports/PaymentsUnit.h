#pragma once
// Report window of the sale payments.

#include "AbsReportBaseUnit.h"

class TPaymentsForm : public TAbsReportBaseForm {
public:
    TPaymentsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
