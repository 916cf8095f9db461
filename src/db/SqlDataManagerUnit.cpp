// The data manager's shared part: connection definition, one-off statements and the
// manager factory.
#include "SqlDataManagerUnit.h"

#include "DbEngineUnit.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>

namespace {

// Upper case of the letters a to z only, as the cache compares names.
QString UpperAscii(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return r;
}

// Leading and trailing blanks and control characters removed.
QString TrimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= ' ')
        ++b;
    while (e > b && s[e - 1].unicode() <= ' ')
        --e;
    return s.mid(b, e - b);
}

void CheckFastSqlArgument(const QVariant& v)
{
    if (v.metaType().flags() & QMetaType::PointerToQObject)
        throw Exception(QStringLiteral("Cannot pass TObject as parameter to LiteSql func"));
    if (v.metaType() == QMetaType::fromType<const QMetaObject*>())
        throw Exception(QStringLiteral("Cannot pass TClass as parameter to LiteSql func"));
}

} // namespace

// ---------------------------------------------------------------------------------------
// TSqlDataManager

TSqlDataManager::TSqlDataManager(const TSqlDBModel& dbModel, const TDbEngine& engine) : FEngine(engine)
{
    FDbModel.CopyFrom(dbModel);
    FQry = std::make_unique<TQuery>(&FConn, ckForwardOnly);
}

TSqlDataManager::~TSqlDataManager()
{
    FQry.reset();
    FConn.Close();
}

TOdbcConnection& TSqlDataManager::OpenConnection()
{
    if (!FConn.Connected())
        CheckBeforeConnect();
    FConn.Open();
    return FConn;
}

TOdbcConnection& TSqlDataManager::Reconnect()
{
    FQry->Close();
    FConn.Close();
    return OpenConnection();
}

QString TSqlDataManager::QuotedStr(const QString& s)
{
    QString r = s;
    r.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + r + QLatin1Char('\'');
}

void TSqlDataManager::SetOdbcConnection(std::vector<TOdbcConnectParam> extra)
{
    if (FDbModel.DSN.isEmpty() || FDbModel.ProviderDescr().isEmpty())
        return; // no definition: the first open fails with the driver manager's error
    FConnectionDefinition = QStringLiteral("DriverID=ODBC;Provider=") + FDbModel.OleProvider() +
                            QStringLiteral(";Datasource=") + FDbModel.DSN;
    std::vector<TOdbcConnectParam> params{{QStringLiteral("DSN"), FDbModel.DSN}};
    if (!FDbModel.UserName.isEmpty()) {
        FConnectionDefinition += QStringLiteral(";UID=") + FDbModel.UserName + QStringLiteral(";Password=") +
                                 FDbModel.Password;
        params.push_back({QStringLiteral("UID"), FDbModel.UserName});
        params.push_back({QStringLiteral("PWD"), FDbModel.Password});
    }
    for (auto& p : extra)
        params.push_back(std::move(p));
    FConn.SetParams(std::move(params));
}

QVariant TSqlDataManager::FastSql(const QString& sqlStr, const std::vector<QVariant>& params)
{
    QVariant result;
    OpenConnection();
    FQry->Close();
    FQry->SetSQL(TrimControls(sqlStr));
    for (const QVariant& p : params)
        CheckFastSqlArgument(p);
    FQry->Params = params;

    struct CloseGuard {
        TQuery& q;
        ~CloseGuard()
        {
            q.Close();
            q.Params.clear();
        }
    } guard{*FQry};

    if (UpperAscii(FQry->SQL().left(6)) != QLatin1String("SELECT")) {
        FQry->ExecSQL();
        return result;
    }
    LastFldCount = 0;
    SetQuickSelectMode(true);
    struct ModeGuard {
        TSqlDataManager& m;
        ~ModeGuard() { m.SetQuickSelectMode(false); }
    } mode{*this};
    FQry->Open();
    const int n = std::min(FQry->FieldCount(), MaxCachedFields);
    const bool hasRow = !FQry->IsEmpty();
    for (int i = 0; i < n; ++i) {
        const TField& f = FQry->Fields(i);
        LastFldNames[size_t(i)] = UpperAscii(f.FieldName());
        LastFldValues[size_t(i)] = hasRow ? f.Value() : QVariant();
    }
    for (int i = n; i < MaxCachedFields; ++i) {
        LastFldNames[size_t(i)].clear();
        LastFldValues[size_t(i)] = QVariant();
    }
    LastFldCount = n;
    if (LastFldCount > 0)
        result = LastFldValues[0];
    return result;
}

QVariant TSqlDataManager::FastSQLField(const QString& FldName) const
{
    const QString name = UpperAscii(FldName);
    for (int i = 0; i < LastFldCount; ++i)
        if (LastFldNames[size_t(i)] == name)
            return LastFldValues[size_t(i)];
    return {};
}

bool TSqlDataManager::IsTableExists(const QString& tableName)
{
    OpenConnection();
    const TCatalogSql& sql = FEngine.Catalog;
    return !FastSql(QString::fromUtf16(sql.TableBefore) + QuotedStr(tableName) + QString::fromUtf16(sql.TableAfter))
                .toString()
                .isEmpty();
}

bool TSqlDataManager::IsFieldExist(const QString& TableName, const QString& FieldName)
{
    OpenConnection();
    const TCatalogSql& sql = FEngine.Catalog;
    return !FastSql(QString::fromUtf16(sql.FieldBefore) + QuotedStr(TableName) + QString::fromUtf16(sql.FieldBetween) +
                    QuotedStr(FieldName) + QString::fromUtf16(sql.FieldAfter))
                .toString()
                .isEmpty();
}

void TSqlDataManager::OpenQueryClean(TQuery& qry)
{
    qry.Close();
    qry.AfterScroll = nullptr;
    qry.Open();
    FetchAllQuery(qry);
}

void TSqlDataManager::FetchAllQuery(TQuery& qry)
{
    if (!qry.Active())
        return;
    qry.First();
    auto notification = std::move(qry.AfterScroll);
    qry.AfterScroll = nullptr;
    // A static cursor holds every row once open; the walk is what a bound view would see.
    if (qry.CursorKind() == ckStatic) {
        while (!qry.Eof())
            qry.Next();
        qry.First();
    }
    qry.AfterScroll = std::move(notification);
}

// ---------------------------------------------------------------------------------------
// TSqlDataModule

namespace {
// The wait cursor only where there is a cursor: on the user interface thread of a program
// with a user interface (the headless exporter runs a QCoreApplication).
bool OnGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread() && qobject_cast<QGuiApplication*>(app);
}
void BusyBegin()
{
    if (OnGuiThread())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}
void BusyEnd()
{
    if (OnGuiThread())
        QGuiApplication::restoreOverrideCursor();
}
} // namespace

TSqlDataModule::TSqlDataModule()
{
    OdbcEnvironment(); // the driver manager is set up once, with its defaults
    TDbBusyScope::InstallHooks(&BusyBegin, &BusyEnd);
}

TSqlDataModule::~TSqlDataModule() { TDbBusyScope::InstallHooks(nullptr, nullptr); }

std::unique_ptr<TSqlDataManager> TSqlDataModule::CreateManager(const TSqlDBModel* dbModel)
{
    if (!dbModel)
        return nullptr;
    const TDbEngine* engine = FindDbEngine(dbModel->DbType());
    if (!engine)
        throw Exception(QStringLiteral("Not Implemented DbType in SqlDataManager.CreateManager!"));
    return engine->MakeManager(*dbModel);
}
