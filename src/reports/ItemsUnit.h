#pragma once
// Report window of the items.

#include "AbsReportBaseUnit.h"

class TItemsForm : public TAbsReportBaseForm {
public:
    TItemsForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
