#pragma once
// The data manager of SQLite: its connection parameters; the file is opened read-only and
// never created.

#include "SqlDataManagerUnit.h"

class TSqliteDataManager : public TSqlDataManager {
public:
    explicit TSqliteDataManager(const TSqlDBModel& dbModel);

protected:
    void SetConnectionParameters() override;
    void CheckBeforeConnect() const override;

private:
    QString FDatabaseFile; // as the data source names it; empty when it names none or a URI
};
