#pragma once
// The data manager of SQLite: its connection parameters; the file is opened read-only and
// never created.

#include "SqlDataManagerUnit.h"

class TSqliteDataManager : public TSqlDataManager {
public:
    explicit TSqliteDataManager(const TSqlDBModel& dbModel);
    // One read transaction: begun here and pinned by a first read, so that it holds the
    // state of this moment (writers wait for its end, or write beside it in WAL mode).
    QString BeginReadSnapshot() override;
    void EndReadSnapshot() override;

protected:
    void SetConnectionParameters() override;
    void CheckBeforeConnect() const override;

private:
    QString FDatabaseFile; // as the data source names it; empty when it names none or a URI
};
