#pragma once
// The runner of the statement benchmarks (bench_grid, bench_checks): a table of named
// statements, printed for the engine's own client (--print-sql) or run through the program's
// own data layer (data manager, TQuery) as the windows run them (--statement NAME).
//
// Usage: PROGRAM --dsn DSN --driver DESCRIPTION [--user U --password P]
//                (--print-sql | --statement NAME) [--repeat N] [--deep-page K]
//   --print-sql      print every statement of the table, one line each:
//                    SQL <TAB> name <TAB> text   (no connection)
//   --statement NAME run that statement N times (default 1) on one connection
//   --deep-page K    the zero-based page of the "deep" statements, for tables that have them
// Prints per run: RESULT prog=PROGRAM statement=NAME run=K rows=R seconds=S
// (seconds = the statement run on the query's worker as the window runs it, every row
// fetched, Close; the connection is made before). A statement of one value (a count) gives
// that value as its rows.

#include "BenchSupport.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

struct TBenchStatement {
    QString Name;
    bool CountOnly; // its one value is the row count
    std::function<QString(TDbType dialect, int deepPage)> Sql;
};

inline int RunStatementBench(int argc, char** argv, const char* program, const std::vector<TBenchStatement>& table,
                             int defaultDeepPage = 0)
{
    QCoreApplication app(argc, argv);
    const auto usage = [program] {
        std::fprintf(stderr,
                     "usage: %s --dsn DSN --driver DESCRIPTION [--user U --password P]\n"
                     "       (--print-sql | --statement NAME) [--repeat N] [--deep-page K]\n",
                     program);
        std::exit(1);
    };
    QString dsn, driver, user, password, statement;
    bool printSql = false;
    int repeat = 1, deepPage = defaultDeepPage;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else if (a == QLatin1String("--statement")) statement = value();
        else if (a == QLatin1String("--repeat")) repeat = std::max(1, value().toInt());
        else if (a == QLatin1String("--deep-page")) deepPage = value().toInt();
        else usage();
    }
    if (driver.isEmpty() || (printSql == !statement.isEmpty()))
        usage();
    TSqlDBModel dialect;
    dialect.SetProviderDescr(driver);
    if (printSql) {
        for (const TBenchStatement& s : table)
            std::printf("SQL\t%s\t%s\n", s.Name.toUtf8().constData(),
                        s.Sql(dialect.DbType(), deepPage).toUtf8().constData());
        return 0;
    }
    const auto chosen = std::find_if(table.begin(), table.end(), [&](const TBenchStatement& s) { return s.Name == statement; });
    if (chosen == table.end() || dsn.isEmpty())
        usage();
    const QString sql = chosen->Sql(dialect.DbType(), deepPage);

    try {
        TSqlDBModel model(dsn, driver);
        model.UserName = user;
        model.Password = password;
        auto manager = TSqlDataModule::CreateManager(&model);
        TOdbcConnection& connection = manager->OpenConnection();
        for (int run = 1; run <= repeat; ++run) {
            // A page is read whole into a static cursor, as the window reads it; a count is
            // one row.
            // On the query's worker in the connection's plain mode, as the window runs its
            // count and page (PostgreSQL: no server cursor, so parallel plans are open to it).
            TQuery q(&connection, ckStatic);
            q.SetSQL(sql);
            q.SetRunMode(manager->QuickSelectSwitch());
            bool opened = false;
            QString failure;
            q.AfterOpen = [&] { opened = true; };
            q.OnOpenError = [&](const QString& message) { failure = message.isEmpty() ? QStringLiteral("?") : message; };
            const double t0 = Now();
            q.OpenAsync();
            while (!opened && failure.isEmpty())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (!failure.isEmpty())
                FailRun(program, failure);
            long long rows = 0;
            if (chosen->CountOnly) {
                rows = q.Fields(0).AsString().toLongLong();
            } else {
                TSqlDataManager::FetchAllQuery(q);
                for (; !q.Eof(); q.Next())
                    ++rows;
            }
            q.Close();
            const double t1 = Now();
            std::printf("RESULT prog=%s statement=%s run=%d rows=%lld seconds=%.6f\n", program,
                        chosen->Name.toUtf8().constData(), run, rows, t1 - t0);
            std::fflush(stdout);
        }
    } catch (const Exception& e) {
        FailRun(program, e.Message());
    }
    return 0;
}
