#pragma once
// The data manager of SQLite: its connection parameters.

#include "SqlDataManagerUnit.h"

class TSqliteDataManager : public TSqlDataManager {
public:
    explicit TSqliteDataManager(const TSqlDBModel& dbModel);

protected:
    void SetConnectionParameters() override;
};
