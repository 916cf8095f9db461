#pragma once
// Shared helpers of the test programs.

#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"

#include <QJsonObject>
#include <QString>
#include <memory>

// Directory with the test databases, their odbc.ini and the generator's expected.json.
QString TestDataDir();

// Data sources of the test odbc.ini: the two demo databases and an empty SQLite file
// that tests may fill with their own tables.
inline const QString kSqliteDsn = QStringLiteral("AuditDemo");
inline const QString kPostgresDsn = QStringLiteral("AuditDemoPg");
inline const QString kScratchDsn = QStringLiteral("AuditScratch");
inline const QString kPgUser = QStringLiteral("dba");
inline const QString kPgPassword = QStringLiteral("sql");

// Descriptor of a test data source of the given engine (PostgreSQL with dba's login).
TSqlDBModel TestModel(TDbType type, const QString& dsn = {});
std::unique_ptr<TSqlDataManager> TestManager(TDbType type, const QString& dsn = {});

// The generator's own numbers for the test databases.
const QJsonObject& ExpectedNumbers();
