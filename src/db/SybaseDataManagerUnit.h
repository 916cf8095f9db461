#pragma once
// The data manager of SQL Anywhere: its connection parameters.

#include "SqlDataManagerUnit.h"

class TSybaseDataManager : public TSqlDataManager {
public:
    explicit TSybaseDataManager(const TSqlDBModel& dbModel);

protected:
    void SetConnectionParameters() override;
};
