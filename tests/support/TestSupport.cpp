#include "TestSupport.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
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
    auto manager = TSqlDataModule::CreateManager(&m);
    // Tests build their tables through it, so its session may write, unlike the program's:
    // no read-only access mode or transactions, the data source's own file and no libpq
    // options.
    TOdbcConnection& connection = manager->Connection();
    connection.SetReadOnly(false);
    connection.SetOwnTransactions(false);
    std::vector<TOdbcConnectParam> params;
    for (const TOdbcConnectParam& p : connection.Params())
        if (p.Key != QLatin1String("Database") && p.Key != QLatin1String("NoCreat") && p.Key != QLatin1String("pqopt"))
            params.push_back(p);
    connection.SetParams(std::move(params));
    // A scratch file that is not there yet is made (empty: an empty SQLite database).
    const QString file = type == dbSqlite ? OdbcDataSourceSetting(m.DSN, "Database") : QString();
    if (!file.isEmpty() && !QFile::exists(file)) {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
    }
    return manager;
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

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

DialogAnswerer::DialogAnswerer()
{
    answer = [](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    };
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == last || (ignore && ignore(w)))
            return;
        last = w;
        QString text = QString::fromLatin1(w->metaObject()->className());
        if (auto* box = qobject_cast<QMessageBox*>(w))
            text += QStringLiteral(": ") + box->text();
        seen << text;
        QTimer::singleShot(0, w, [this, w] {
            answer(w);
            last = nullptr;
        });
    });
    timer.start();
}

TReportFilters FiltersOf(const QJsonObject& rec)
{
    TReportFilters f;
    auto day = [](const QJsonValue& v) {
        return v.isNull() ? 0.0 : DateToDays(QDate::fromString(v.toString(), Qt::ISODate));
    };
    f.FromDate = day(rec[QStringLiteral("FromDate")]);
    f.ToDate = day(rec[QStringLiteral("ToDate")]);
    f.StoreN = rec[QStringLiteral("StoreN")].toInt();
    f.FiscalDeviceN = rec[QStringLiteral("FiscalDeviceN")].toInt();
    f.UserN = rec[QStringLiteral("UserN")].toInt();
    return f;
}
