#pragma once
// The data manager of SQL Anywhere: its connection parameters and catalogue queries.

#include "SqlDataManagerUnit.h"

class TSybaseDataManager : public TSqlDataManager {
public:
    explicit TSybaseDataManager(const TSqlDBModel& dbModel);
    bool IsTableExists(const QString& tableName) override;
    bool IsFieldExist(const QString& TableName, const QString& FieldName) override;

protected:
    void SetConnectionParameters() override;
};
