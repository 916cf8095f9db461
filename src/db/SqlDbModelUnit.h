#pragma once
// Connection descriptor: which kind of database, which ODBC data source reaches it,
// which provider serves it and with which credentials to log in.

#include <QString>
#include <cstdint>

enum TDbType : std::uint8_t {
    dbNone = 0,    // no supported database
    dbSybase = 1,  // SQL Anywhere / Adaptive Server Anywhere
    dbSqlite = 2,  // SQLite through the SQLite3 ODBC driver
    dbPostgres = 3 // PostgreSQL through psqlODBC (Unicode)
};

class TSqlDBModel {
public:
    TSqlDBModel() = default;
    TSqlDBModel(const QString& aDsn, const QString& aProviderDescr);

    // Stores the description and derives DbType and OleProvider from it. Returns true
    // for a supported description; an unknown one gives dbNone and keeps OleProvider.
    bool SetProviderDescr(const QString& provDescr);
    // Same database as `another`: DSN and credentials copied, type and provider recomputed.
    void CopyFrom(const TSqlDBModel& another);

    TDbType DbType() const { return fDbType; }
    const QString& ProviderDescr() const { return fProviderDescr; }
    const QString& OleProvider() const { return fOleProvider; }

    QString DSN;
    QString UserName;
    QString Password;

private:
    TDbType fDbType = dbNone;
    QString fProviderDescr;
    QString fOleProvider;
};
