#pragma once
// Report window of the users' action log.

#include "AbsReportBaseUnit.h"

class TUsersLogForm : public TAbsReportBaseForm {
public:
    TUsersLogForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;
};
