#pragma once
// Report window of the users.

#include "AbsReportBaseUnit.h"

class TUsersForm : public TAbsReportBaseForm {
public:
    TUsersForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
