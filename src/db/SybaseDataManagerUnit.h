#pragma once
// The data manager of SQL Anywhere: its connection parameters.

#include "SqlDataManagerUnit.h"

class TSybaseDataManager : public TSqlDataManager {
public:
    explicit TSybaseDataManager(const TSqlDBModel& dbModel);
    // Snapshot isolation when the database allows it (allow_snapshot_isolation); else the
    // session's READ COMMITTED, said so: the serializable level would lock the tables read
    // against the shop's own writes for as long as the reading lasts.
    QString BeginReadSnapshot() override;

protected:
    void SetConnectionParameters() override;
};
