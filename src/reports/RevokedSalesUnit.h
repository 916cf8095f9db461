#pragma once
// Report window of the revoked sale lines.

#include "AbsReportBaseUnit.h"

class TRevokedSalesForm : public TAbsReportBaseForm {
public:
    TRevokedSalesForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
