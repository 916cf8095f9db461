// The data source of an auditor-export run (see ExportRunUnit.h).
#include "app/ExportRunUnit.h"

#include "db/ChooseDBUnit.h"
#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"

// The driver a data source is registered with; nullopt when no user or system data source
// has that name.
std::optional<QString> RegisteredDriverOf(const QString& dsn)
{
    for (const TOdbcDataSource& ds : ListOdbcDataSources(OdbcEnvironment()))
        if (ds.Name == dsn)
            return ds.Driver;
    return std::nullopt;
}

// The descriptor of the request's data source; false when no data source has its name.
bool ModelOf(const TRequest& r, TSqlDBModel& model)
{
    const std::optional<QString> driver = RegisteredDriverOf(r.Dsn);
    if (!driver)
        return false;
    model.DSN = r.Dsn;
    model.UserName = r.User;
    model.Password = r.Password;
    model.SetProviderDescr(DriverDescrOfDataSource(*driver));
    return true;
}

// A manager connected to the data source of `model`; null, with the reason in `error`,
// when it cannot connect.
std::unique_ptr<TSqlDataManager> Connected(const TSqlDBModel& model, QString& error)
{
    std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&model);
    try {
        manager->OpenConnection();
    } catch (const Exception& e) {
        error = QStringLiteral("cannot connect to \"%1\": %2").arg(model.DSN, e.Message());
        return nullptr;
    }
    return manager;
}
