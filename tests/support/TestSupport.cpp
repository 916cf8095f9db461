#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <stdexcept>

QString TestDataDir() { return QStringLiteral(AUDITOR_TEST_DATA_DIR); }

TSqlDBModel TestModel(TDbType type, const QString& dsn)
{
    switch (type) {
    case dbSqlite: return TSqlDBModel(dsn.isEmpty() ? kSqliteDsn : dsn, QStringLiteral("SQLite3"));
    case dbPostgres: {
        TSqlDBModel m(dsn.isEmpty() ? kPostgresDsn : dsn, QStringLiteral("PostgreSQL Unicode"));
        m.UserName = kPgUser;
        m.Password = kPgPassword;
        return m;
    }
    default: throw std::invalid_argument("no test data source for this engine");
    }
}

std::unique_ptr<TSqlDataManager> TestManager(TDbType type, const QString& dsn)
{
    TSqlDBModel m = TestModel(type, dsn);
    return TSqlDataModule::CreateManager(&m);
}

const QJsonObject& ExpectedNumbers()
{
    static const QJsonObject numbers = [] {
        QFile f(TestDataDir() + QStringLiteral("/expected.json"));
        if (!f.open(QIODevice::ReadOnly))
            throw std::runtime_error("expected.json missing: run scripts/setup-test-data.sh");
        return QJsonDocument::fromJson(f.readAll()).object();
    }();
    return numbers;
}
