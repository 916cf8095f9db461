#pragma once
// The data manager of SQLite: its connection parameters and catalogue queries.

#include "SqlDataManagerUnit.h"

class TSqliteDataManager : public TSqlDataManager {
public:
    explicit TSqliteDataManager(const TSqlDBModel& dbModel);
    bool IsTableExists(const QString& tableName) override;
    bool IsFieldExist(const QString& TableName, const QString& FieldName) override;

protected:
    void SetConnectionParameters() override;
};
