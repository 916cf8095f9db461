#pragma once
// Shared helpers of the test programs.

#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class QWidget;

// Directory with the test databases, their odbc.ini and the generator's expected.json.
QString TestDataDir();

// Data sources of the test odbc.ini: the two demo databases and two scratch databases
// (SQLite and PostgreSQL) that tests may fill with their own tables.
inline const QString kSqliteDsn = QStringLiteral("AuditDemo");
inline const QString kPostgresDsn = QStringLiteral("AuditDemoPg");
inline const QString kScratchDsn = QStringLiteral("AuditScratch");
inline const QString kScratchPgDsn = QStringLiteral("AuditScratchPg");
inline const QString kPgUser = QStringLiteral("dba");
inline const QString kPgPassword = QStringLiteral("sql");

// Descriptor of a test data source of the given engine (PostgreSQL with dba's login).
TSqlDBModel TestModel(TDbType type, const QString& dsn = {});
// A data manager of that data source whose session may write, for tests to build their
// tables with; the program's own sessions are read-only.
std::unique_ptr<TSqlDataManager> TestManager(TDbType type, const QString& dsn = {});

// The generator's own numbers for the test databases.
const QJsonObject& ExpectedNumbers();
// The filters of one of the generator's filter records (its period, store, device, user).
TReportFilters FiltersOf(const QJsonObject& rec);

// Runs the event loop for `ms` milliseconds.
void Pump(int ms);
// Runs the event loop until `done` holds or `ms` milliseconds have passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int ms = 30000);

// Answers every modal dialog that opens while it lives: records its class (and a message
// box's text), then lets `answer` deal with it (default: reject).
class DialogAnswerer {
public:
    DialogAnswerer();
    std::function<void(QWidget*)> answer;
    // Dialogs it leaves alone and does not record (default: none).
    std::function<bool(QWidget*)> ignore;
    QStringList seen;

private:
    QTimer timer;
    QWidget* last = nullptr;
};
