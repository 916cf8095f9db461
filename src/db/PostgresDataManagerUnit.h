#pragma once
// The data manager of PostgreSQL: its connection parameters and the plain (cursorless)
// mode of its one-row SELECTs.

#include "SqlDataManagerUnit.h"

class TPostgresDataManager : public TSqlDataManager {
public:
    explicit TPostgresDataManager(const TSqlDBModel& dbModel);
    // One REPEATABLE READ, READ ONLY transaction.
    QString BeginReadSnapshot() override;
    void HoldReadTransaction() override;

protected:
    void SetConnectionParameters() override;
    // psqlODBC runs every SELECT as DECLARE CURSOR with UseDeclareFetch, and PostgreSQL never
    // plans a cursor in parallel: a count over a million rows took twice as long as in psql.
    // A one-row result needs no cursor, so FastSql turns it off for its statement.
    void SetQuickSelectMode(bool on) override;
};
