// bench_grid: the statements of the report grid's column order and find, run through the
// program's own data layer (data manager, TQuery) as the report window runs them.
//
// Usage: bench_grid --dsn DSN --driver DESCRIPTION [--user U --password P]
//                   (--print-sql | --statement NAME) [--repeat N] [--deep-page K]
//   --print-sql      print every statement of the table, one line each:
//                    SQL <TAB> name <TAB> text   (no connection)
//   --statement NAME run that statement N times (default 1) on one connection
//   --deep-page K    the zero-based page of the "deep" statements (default 1800: rows
//                    900,001 to 900,500 at 500 rows a page)
// Prints per run: RESULT prog=bench_grid statement=NAME run=K rows=R seconds=S
// (seconds = the statement run on the query's worker as the window runs it, every row
// fetched, Close; the connection is made before).
//
// The statements are a table of names, each a report, the filters changed from none and
// whether the count or the page is run; a new statement is one more line of it.

#include "BenchSupport.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <cstdio>
#include <functional>

namespace {

constexpr int kPageSize = 500; // the window's default page size

enum class TPart { Count, Page, Totals };

struct TStatement {
    const char* Name;
    TReportKind Kind;
    TPart Part;
    std::function<void(TReportFilters&, int deepPage)> Filters;
};

// The column order: "Дължима сума" (TotalSumWithVAT), descending, as a second click leaves it.
void AmountDescending(TReportFilters& f)
{
    f.SortColumn = 10;
    f.SortDescending = true;
}
// A find of a company form that many partner names end in, typed in small letters.
void FindCompanyForm(TReportFilters& f) { f.FindText = QStringLiteral("еоод"); }

const TStatement kStatements[] = {
    // The count the window runs without a find, beside which the find's cost shows.
    {"count", rkSalesSummary, TPart::Count, [](TReportFilters&, int) {}},
    {"sort_first", rkSalesSummary, TPart::Page, [](TReportFilters& f, int) { AmountDescending(f); }},
    {"sort_deep", rkSalesSummary, TPart::Page,
     [](TReportFilters& f, int deep) {
         AmountDescending(f);
         f.PageNumber = deep;
     }},
    {"find_count", rkSalesSummary, TPart::Count, [](TReportFilters& f, int) { FindCompanyForm(f); }},
    {"find_first", rkSalesSummary, TPart::Page, [](TReportFilters& f, int) { FindCompanyForm(f); }},
    // The sums of the totals row over the whole result.
    {"totals", rkSalesSummary, TPart::Totals, [](TReportFilters&, int) {}},
};

QString StatementSql(const TStatement& s, TDbType dialect, int deepPage)
{
    TReportFilters f;
    f.RecordsPerPage = kPageSize;
    s.Filters(f, deepPage);
    QString page, count;
    const TRepository repository(dialect);
    if (s.Part == TPart::Totals)
        return repository.FillTotalsQuery(s.Kind, f);
    repository.FillReportQuery(s.Kind, page, count, f);
    return s.Part == TPart::Count ? count : page;
}

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_grid --dsn DSN --driver DESCRIPTION [--user U --password P]\n"
                         "                  (--print-sql | --statement NAME) [--repeat N] [--deep-page K]\n");
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString dsn, driver, user, password, statement;
    bool printSql = false;
    int repeat = 1, deepPage = 1800;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else if (a == QLatin1String("--statement")) statement = value();
        else if (a == QLatin1String("--repeat")) repeat = std::max(1, value().toInt());
        else if (a == QLatin1String("--deep-page")) deepPage = value().toInt();
        else Usage();
    }
    if (driver.isEmpty() || (printSql == !statement.isEmpty()))
        Usage();
    TSqlDBModel dialect;
    dialect.SetProviderDescr(driver);
    if (printSql) {
        for (const TStatement& s : kStatements)
            std::printf("SQL\t%s\t%s\n", s.Name, StatementSql(s, dialect.DbType(), deepPage).toUtf8().constData());
        return 0;
    }
    const TStatement* chosen = nullptr;
    for (const TStatement& s : kStatements)
        if (statement == QLatin1String(s.Name))
            chosen = &s;
    if (!chosen || dsn.isEmpty())
        Usage();
    const QString sql = StatementSql(*chosen, dialect.DbType(), deepPage);

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
                FailRun("bench_grid", failure);
            long long rows = 0;
            if (chosen->Part == TPart::Count) {
                rows = q.Fields(0).AsString().toLongLong();
            } else {
                TSqlDataManager::FetchAllQuery(q);
                for (; !q.Eof(); q.Next())
                    ++rows;
            }
            q.Close();
            const double t1 = Now();
            std::printf("RESULT prog=bench_grid statement=%s run=%d rows=%lld seconds=%.6f\n", chosen->Name, run, rows,
                        t1 - t0);
            std::fflush(stdout);
        }
    } catch (const Exception& e) {
        FailRun("bench_grid", e.Message());
    }
    return 0;
}
