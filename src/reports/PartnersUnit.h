#pragma once
// Report window of the partners.

#include "AbsReportBaseUnit.h"

class TPartnersForm : public TAbsReportBaseForm {
public:
    TPartnersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
