#pragma once
// Report window of the stores.

#include "AbsReportBaseUnit.h"

class TStoresForm : public TAbsReportBaseForm {
public:
    TStoresForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
