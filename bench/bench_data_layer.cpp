// bench_data_layer: reads a result set through the program's own data layer (data manager,
// TQuery), the way the report windows and the exporters do.
//
// Usage: bench_data_layer --dsn DSN --driver DESCRIPTION (--sql SQL | --report NAME) [options]
//   --report NAME           the query of a report window, built by the report repository for
//                           the driver's dialect: NAME as in the catalogue (SalesSummary,
//                           SalesDetail, ...), no filter, ordered by the report's order
//   --page K --page-size N  with --report: page K (zero-based) of N rows; no --page-size:
//                           the whole view
//   --print-sql             print the query text (one line) and stop, without connecting
//   --user U --password P   login (PostgreSQL)
//   --cursor static|forward static: the whole result is fetched by Open (a report page);
//                           forward: rows stream block by block (an export)
//   --read none|string      none: every row is visited with Next(); string: and every field's
//                           AsString() is read as well
//   --out FILE              with --read string: write the texts there, TAB-separated rows
//                           (UTF-8; to compare the texts of two builds, not for timing)
//   --repeat N              run the query N times on the same connection (default 1)
//   --label NAME            copied into the result line
// Prints per run one line:
//   RESULT prog=bench_data_layer label=... run=K rows=R cols=C open_s=... walk_s=... seconds=... chars=N
// (seconds = Open + walk to Eof + Close, connection excluded; chars = UTF-16 units read with
// --read string).

#include "BenchSupport.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_data_layer --dsn DSN --driver DESCRIPTION (--sql SQL | --report NAME\n"
                         "                        [--page K] [--page-size N]) [--print-sql] [--user U --password P]\n"
                         "                        [--cursor static|forward] [--read none|string] [--repeat N]\n"
                         "                        [--out FILE] [--label NAME]\n");
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // UTF-8 LC_CTYPE for the driver manager's conversions
    QString dsn, driver, sql, report, user, password, label = QStringLiteral("-");
    TCursorKind kind = ckForwardOnly;
    bool readStrings = false, printSql = false;
    QString outPath;
    int repeat = 1, page = 0, pageSize = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--sql")) sql = value();
        else if (a == QLatin1String("--report")) report = value();
        else if (a == QLatin1String("--page")) page = value().toInt();
        else if (a == QLatin1String("--page-size")) pageSize = value().toInt();
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--cursor")) {
            const QString v = value();
            if (v == QLatin1String("static")) kind = ckStatic;
            else if (v == QLatin1String("forward")) kind = ckForwardOnly;
            else Usage();
        } else if (a == QLatin1String("--read")) {
            const QString v = value();
            if (v == QLatin1String("string")) readStrings = true;
            else if (v != QLatin1String("none")) Usage();
        } else if (a == QLatin1String("--repeat")) repeat = std::max(1, value().toInt());
        else if (a == QLatin1String("--label")) label = value();
        else if (a == QLatin1String("--out")) outPath = value();
        else Usage();
    }
    if (driver.isEmpty() || (sql.isEmpty() && report.isEmpty()))
        Usage();
    if (sql.isEmpty()) {
        TSqlDBModel dialect;
        dialect.SetProviderDescr(driver);
        int kindIndex = -1;
        for (int k = 0; k < ReportKindCount; ++k)
            if (report.compare(QString::fromUtf16(ReportDef(TReportKind(k)).Name), Qt::CaseInsensitive) == 0)
                kindIndex = k;
        if (kindIndex < 0) {
            std::fprintf(stderr, "bench_data_layer: no report named %s\n", report.toUtf8().constData());
            return 1;
        }
        TReportFilters filters;
        filters.PageNumber = page;
        filters.RecordsPerPage = pageSize;
        QString countSql;
        TRepository(dialect.DbType()).FillReportQuery(TReportKind(kindIndex), sql, countSql, filters);
    }
    if (printSql) {
        std::printf("%s\n", sql.toUtf8().constData());
        return 0;
    }
    if (dsn.isEmpty())
        Usage();

    try {
        TSqlDBModel model(dsn, driver);
        model.UserName = user;
        model.Password = password;
        auto manager = TSqlDataModule::CreateManager(&model);
        TOdbcConnection& connection = manager->OpenConnection();
        const QByteArray labelUtf8 = label.toUtf8();
        FILE* out = nullptr;
        if (!outPath.isEmpty() && !(out = std::fopen(outPath.toLocal8Bit().constData(), "wb"))) {
            std::perror(outPath.toLocal8Bit().constData());
            return 2;
        }
        for (int run = 1; run <= repeat; ++run) {
            TQuery q(&connection, kind);
            q.SetSQL(sql);
            const double t0 = Now();
            q.Open();
            const double t1 = Now();
            long long rows = 0;
            long long chars = 0;
            const int ncols = q.FieldCount();
            while (!q.Eof()) {
                if (readStrings && out) {
                    QString line;
                    for (int c = 0; c < ncols; ++c) {
                        if (c)
                            line += u'\t';
                        line += q.Fields(c).AsString();
                    }
                    chars += line.size() - (ncols - 1);
                    line += u'\n';
                    const QByteArray bytes = line.toUtf8();
                    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
                } else if (readStrings) {
                    for (int c = 0; c < ncols; ++c)
                        chars += q.Fields(c).AsString().size();
                }
                ++rows;
                q.Next();
            }
            q.Close();
            const double t2 = Now();
            std::printf("RESULT prog=bench_data_layer label=%s run=%d rows=%lld cols=%d open_s=%.6f walk_s=%.6f "
                        "seconds=%.6f chars=%lld cursor=%s read=%s\n",
                        labelUtf8.constData(), run, rows, ncols, t1 - t0, t2 - t1, t2 - t0, chars,
                        kind == ckStatic ? "static" : "forward", readStrings ? "string" : "none");
            std::fflush(stdout);
        }
        if (out)
            std::fclose(out);
    } catch (const Exception& e) {
        std::fprintf(stderr, "bench_data_layer: %s\n", e.Message().toUtf8().constData());
        return 2;
    }
    return 0;
}
