// The command line of auditor-export (see ExportCommandLineUnit.h).
#include "app/ExportCommandLineUnit.h"

#include "db/DbEngineUnit.h"
#include "reports/ReportSortUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

const char* const kUsage =
    "usage: auditor-export --dsn NAME [--user U] [--password P] --report KEY --format csv|xlsx\n"
    "                      [--from YYYY-MM-DD --to YYYY-MM-DD] [--store N] [--fiscal-device N]\n"
    "                      [--operator N] [--find TEXT] [--sort COLUMN [--descending]]\n"
    "                      [--page N] [--page-size S] --output PATH|-\n"
    "                      [--timeout SECONDS] [--quiet]\n"
    "       auditor-export --print-sql (--dsn NAME | --engine sqlanywhere|sqlite|postgres)\n"
    "                      --report KEY [filters] [--find TEXT] [--sort COLUMN [--descending]]\n"
    "                      [--page N] [--page-size S]\n"
    "       auditor-export --all --dsn NAME [--user U ...] --output-dir DIR [--format csv|xlsx]\n"
    "                      [--from YYYY-MM-DD --to YYYY-MM-DD] [--store N] [--fiscal-device N]\n"
    "                      [--operator N] [--find TEXT] [--sort COLUMN [--descending]]\n"
    "                      [--timeout SECONDS] [--quiet]\n"
    "       auditor-export --list stores|fiscal-devices|operators --dsn NAME [--user U ...]\n"
    "                      [--timeout SECONDS]\n"
    "       auditor-export --check KEY ... (as --report KEY) [check parameters]\n"
    "       auditor-export --list checks\n"
    "       auditor-export --help | --version\n"
    "\n"
    "Runs one report of the audit database behind the ODBC data source NAME and writes its\n"
    "rows to PATH as the report window's export does: csv is TAB-separated Windows-1251 text\n"
    "with CR LF line ends and the column captions on the first line; xlsx is a workbook with\n"
    "the captions in bold on its first row. The whole filtered result is written, or with\n"
    "--page N (one-based, default 1) and/or --page-size S (default 500, as in the report\n"
    "window) only that page.\n"
    "PATH is replaced only when the export succeeds; a failed run leaves it as it was. It must\n"
    "be a regular file or a new name: a folder, a FIFO, a device or a socket (or a symbolic\n"
    "link to one), and the data source's own database file, are refused (exit status 2)\n"
    "before anything is read. \"--output -\" writes the CSV to standard output as it goes\n"
    "(a workbook needs a file); a run that fails part way has then written part of it.\n"
    "An extension of PATH that names the other format is refused (exit status 2): .csv, .txt\n"
    "and .tsv go with csv, .xlsx and .xls with xlsx, in either case; any other extension, or\n"
    "none, is taken as it is.\n"
    "The temporary file of a run that was killed (.NAME.PID.XXXXXX.part beside PATH, NAME\n"
    "its file name) is removed by the next run into the same folder once its process is gone.\n"
    "\n"
    "Reports (KEY) and the filters each one offers:\n"
    "  sales-summary, sales-detail, payments, reversed-sales, revoked-sales\n"
    "                     period, store, fiscal device, operator\n"
    "  users-log          period\n"
    "  items, partners, operation-types, payment-types, stores, users\n"
    "                     none\n"
    "\n"
    "Filters:\n"
    "  --from D --to D      the period, first and last day inclusive (both or neither)\n"
    "  --store N            store number (0 = every store, the default)\n"
    "  --fiscal-device N    fiscal device number (0 = every device)\n"
    "  --operator N         operator (user) number (0 = every operator)\n"
    "A filter the report does not offer is refused. A number that is not in its list (see\n"
    "--list) finds no records: that is said in one line on standard error, and the export\n"
    "goes on.\n"
    "\n"
    "Order and find, as a click on a column title and the find field (Ctrl+F) of the report\n"
    "window:\n"
    "  --sort COLUMN        the rows in the order of the report's COLUMN: its name in the\n"
    "                       report's view (as --print-sql shows it, in any case) or its\n"
    "                       number, 1 for the first; ties keep the report's own order\n"
    "  --descending         with --sort: from the greatest down\n"
    "  --find TEXT          only the records whose text columns hold TEXT, as it is (no\n"
    "                       wildcards) and with Latin and Cyrillic letters in either case\n"
    "A COLUMN the report does not have is refused (exit status 2). With --all, --find goes to\n"
    "every report and --sort takes a name only: the reports with such a column are sorted by\n"
    "it, the others keep their order; the manifest's filters name both.\n"
    "\n"
    "Connection: the data source's registered driver decides the engine (SQLite3 and\n"
    "PostgreSQL Unicode; any other driver is taken for SQL Anywhere). --user and --password\n"
    "are the database login; without them the data source's own settings apply. Instead of\n"
    "--password, --password-file FILE reads the password from the first line of FILE (\"-\":\n"
    "standard input), and without either the environment variable AUDITOR_PASSWORD is used:\n"
    "then the password does not show in the process list.\n"
    "\n"
    "--all writes every report into the new folder DIR, as one bundle that others can check:\n"
    "DIR/KEY.csv (or .xlsx) for each report, with the filters its window offers (the others\n"
    "are ignored for it) and the bytes its own export would write; DIR/manifest.json (the\n"
    "program, the data source, its driver and server, the user, start and end time in UTC, the\n"
    "filters, and for each report its file, filters, number of records and SHA-256); and\n"
    "DIR/SHA256SUMS, so that \"sha256sum -c SHA256SUMS\" in DIR checks the bundle. Every report\n"
    "reads one state of the database (PostgreSQL: one REPEATABLE READ, READ ONLY transaction;\n"
    "SQLite: one read transaction; SQL Anywhere: snapshot isolation where the database allows\n"
    "it), named in the manifest. The bundle is written into a temporary folder beside DIR and\n"
    "renamed to DIR only when it is whole: a failed or interrupted run leaves no DIR (and the\n"
    "folder of a killed one, .DIR.part.PID.XXXXXX, goes with the next bundle beside it). A DIR\n"
    "that exists already, of whatever kind, is refused (exit status 2). --format is csv unless\n"
    "told otherwise.\n"
    "\n"
    "--timeout SECONDS limits every wait for the database: each statement (the driver gives it\n"
    "up) and, on SQLite, the wait for a database file that another program has locked. When\n"
    "the limit passes the run fails (exit status 1); should the server not even answer the\n"
    "cancel, the run ends a few seconds later all the same, its temporary output removed. On\n"
    "a terminal a wait of more than a second is said on standard error. Without --timeout\n"
    "there is no limit.\n"
    "\n"
    "Audit checks: --check KEY in place of --report KEY writes the findings of check KEY\n"
    "(one row each) as the check's window exports them: the check's title, what it looks for,\n"
    "its filters and parameters above the column captions. \"--list checks\" prints every\n"
    "check's key and title, TAB-separated, one a line. A check takes the filters its window\n"
    "offers and these parameters where it uses them (others are refused, exit status 2):\n"
    "  --tolerance AMOUNT   amounts that differ by no more than AMOUNT leva are equal\n"
    "                       (default 0.01; \"0,5\" or \"0.5\")\n"
    "  --open-minutes N     a sale open longer than N minutes is a finding (default 60)\n"
    "  --opening-hours HH:MM-HH:MM\n"
    "                       sales outside these hours are findings (not set by default;\n"
    "                       a closing time before the opening time spans midnight)\n"
    "  --reversal-activity TEXT\n"
    "                       an activity type of the users' log that is a reversal (may be\n"
    "                       given more than once; default \"Сторниране на продажба\"; an empty\n"
    "                       TEXT: none)\n"
    "Dates after the day of the run are in the future for the checks. With --all the bundle\n"
    "also holds check-KEY.csv (or .xlsx) for every check, from the same state of the database,\n"
    "with the parameters given, and the manifest a \"checks\" list (key, title, file,\n"
    "filters, parameters, number of findings, SHA-256) and the day of the checks.\n"
    "\n"
    "--list stores|fiscal-devices|operators prints the number and the name of every store,\n"
    "fiscal device or operator, TAB-separated, one a line: the numbers the filters take.\n"
    "\n"
    "--print-sql connects to nothing: it prints the count query on the first line of standard\n"
    "output and the report query on the second, exactly as they would be sent (neither text\n"
    "ever holds a line break). The engine is that of the data source's registered driver, or\n"
    "the one --engine names (--engine wins over --dsn). --format and --output are not needed.\n"
    "\n"
    "While it runs, the progress (\"rows / expected rows\") is shown on standard error when that\n"
    "is a terminal; when it is done, how many records went to which file (--quiet: nothing).\n"
    "Exit status: 0 done, 1 the export failed (the reason on standard error), 2 wrong usage.\n";

namespace {

QString ReportKeys()
{
    QStringList keys;
    for (const TReportListItem& r : ReportList())
        keys << QLatin1String(r.Key);
    return keys.join(QStringLiteral(", "));
}

QString OfferedFilterNames(TReportUIFilters filters)
{
    QStringList names;
    if (filters & rfPeriod)
        names << QStringLiteral("--from/--to");
    if (filters & rfStore)
        names << QStringLiteral("--store");
    if (filters & rfFP)
        names << QStringLiteral("--fiscal-device");
    if (filters & rfUser)
        names << QStringLiteral("--operator");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// "sqlanywhere, sqlite or postgres": the engines' command-line names.
QString EngineNames()
{
    QStringList names;
    for (const TDbEngine& e : DbEngines())
        names << QLatin1String(e.CommandLineName);
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// The database login: --user with --password, --password-file (FILE, or "-" for standard
// input: its first line) or the environment's AUDITOR_PASSWORD, so that the password need
// not stand in the process list.
void ReadLogin(const TArgs& args, TRequest& r)
{
    r.User = args.Value(QStringLiteral("user"));
    const bool inline_ = args.Has(QStringLiteral("password"));
    const bool fromFile = args.Has(QStringLiteral("password-file"));
    if (inline_ && fromFile)
        throw TUsageError{QStringLiteral("--password and --password-file exclude each other")};
    if (inline_ && r.User.isEmpty())
        throw TUsageError{QStringLiteral("--password goes with --user")};
    if (fromFile && r.User.isEmpty())
        throw TUsageError{QStringLiteral("--password-file goes with --user")};
    if (inline_) {
        r.Password = args.Value(QStringLiteral("password"));
    } else if (fromFile) {
        const QString path = args.Value(QStringLiteral("password-file"));
        QFile file;
        const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(path), file.open(QIODevice::ReadOnly));
        if (!opened)
            throw TUsageError{QStringLiteral("cannot read the password file \"%1\": %2").arg(path, file.errorString())};
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        r.Password = QString::fromUtf8(line);
    } else if (!r.User.isEmpty() && qEnvironmentVariableIsSet("AUDITOR_PASSWORD")) {
        r.Password = qEnvironmentVariable("AUDITOR_PASSWORD");
    }
}

// The file kind --format names.
TExportKind FormatKind(const QString& format)
{
    if (format == u"csv")
        return ekTextFile;
    if (format == u"xlsx")
        return ekExcel;
    throw TUsageError{QStringLiteral("--format is csv or xlsx, not \"%1\"").arg(format)};
}

// The filters of --from/--to and the keyed options, as asked for; `offered` the filters of
// one report (the others are refused), or every filter for a bundle.
void ReadFilters(const TArgs& args, TRequest& r, TReportUIFilters offered, const QString& key)
{
    const auto refuse = [&](const QString& option) {
        return TUsageError{QStringLiteral("%1 \"%2\" has no %3 filter (it offers: %4)")
                               .arg(r.Check ? QStringLiteral("check") : QStringLiteral("report"), key, option,
                                    OfferedFilterNames(offered))};
    };
    const bool hasFrom = args.Has(QStringLiteral("from"));
    const bool hasTo = args.Has(QStringLiteral("to"));
    if (hasFrom || hasTo) {
        if (!(offered & rfPeriod))
            throw refuse(hasFrom ? QStringLiteral("--from") : QStringLiteral("--to"));
        // The query builder filters by period only when it has both ends.
        if (!hasFrom || !hasTo)
            throw TUsageError{QStringLiteral("--from and --to go together")};
        const QDate from = args.Date(QStringLiteral("from"));
        const QDate to = args.Date(QStringLiteral("to"));
        if (from > to)
            throw TUsageError{QStringLiteral("the period starts after it ends (--from %1, --to %2)")
                                  .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate))};
        r.Filters.FromDate = DateToDays(from);
        r.Filters.ToDate = DateToDays(to);
        r.HasPeriod = true;
    }
    const struct {
        const char* Option;
        TReportUIFilter Filter;
        int32_t TReportFilters::*Field;
    } keyed[] = {
        {"store", rfStore, &TReportFilters::StoreN},
        {"fiscal-device", rfFP, &TReportFilters::FiscalDeviceN},
        {"operator", rfUser, &TReportFilters::UserN},
    };
    for (const auto& k : keyed) {
        const QString name = QLatin1String(k.Option);
        if (!args.Has(name))
            continue;
        if (!(offered & k.Filter))
            throw refuse(QStringLiteral("--") + name);
        r.Filters.*k.Field = args.Number(name, 0, 0);
    }
}

// --find, and --sort with --descending: the column of the grid `def` (a report's or a
// check's, named `key`), or for a bundle (null) a view column that at least one report has.
void ReadOrderAndFind(const TArgs& args, TRequest& r, const TReportDef* def, const QString& key)
{
    r.Filters.FindText = args.Value(QStringLiteral("find"));
    const bool descending = args.Has(QStringLiteral("descending"));
    if (!args.Has(QStringLiteral("sort"))) {
        if (descending)
            throw TUsageError{QStringLiteral("--descending goes with --sort")};
        return;
    }
    const QString column = args.Required(QStringLiteral("sort"));
    r.Filters.SortDescending = descending;
    if (def) {
        r.Filters.SortColumn = TReportSort::FindColumn(*def, column);
        if (r.Filters.SortColumn < 0) {
            QStringList names;
            for (int i = 0; i < def->ColumnCount; ++i)
                names << QString::fromUtf16(def->Columns[i].Column);
            throw TUsageError{QStringLiteral("%1 \"%2\" has no column \"%3\"; its columns are 1 to %4: %5")
                                  .arg(r.Check ? QStringLiteral("check") : QStringLiteral("report"), key, column)
                                  .arg(def->ColumnCount)
                                  .arg(names.join(QStringLiteral(", ")))};
        }
        return;
    }
    for (const TReportListItem& each : ReportList()) {
        const int index = TReportSort::FindColumn(ReportDef(each.Kind), column);
        if (index < 0)
            continue;
        if (column.front().isDigit())
            throw TUsageError{QStringLiteral("--all --sort takes a column's name, not a number")};
        r.BundleSort = QString::fromUtf16(ReportDef(each.Kind).Columns[index].Column);
        return;
    }
    throw TUsageError{QStringLiteral("no report has a column \"%1\"").arg(column)};
}

// The checks' parameters given: each one only where `offered` takes it (a check's own, or
// every one for a bundle); `key` names the check.
void ReadCheckParams(const TArgs& args, TRequest& r, TCheckParamSet offered, const QString& key)
{
    const struct {
        const char* Option;
        TCheckParam Param;
    } options[] = {{"tolerance", cpTolerance},
                   {"open-minutes", cpOpenMinutes},
                   {"opening-hours", cpOpeningHours},
                   {"reversal-activity", cpReversalActivities}};
    for (const auto& o : options) {
        const QString name = QLatin1String(o.Option);
        if (!args.Has(name))
            continue;
        if (!(offered & o.Param))
            throw TUsageError{r.Check ? QStringLiteral("check \"%1\" takes no --%2").arg(key, name)
                                      : QStringLiteral("--%1 goes with --check or --all").arg(name)};
        if (o.Param == cpReversalActivities) {
            // Given once with an empty text: no activity type means a reversal.
            QStringList names = args.Values(name);
            names.removeAll(QString());
            r.CheckParams.ReversalActivities = names;
            continue;
        }
        const QString v = args.Value(name);
        switch (o.Param) {
        case cpTolerance:
            if (const auto cents = TCheckParams::ParseTolerance(v))
                r.CheckParams.ToleranceCents = *cents;
            else
                throw TUsageError{QStringLiteral("--tolerance wants an amount in leva such as 0.01, not \"%1\"").arg(v)};
            break;
        case cpOpenMinutes:
            if (const auto minutes = TCheckParams::ParseMinutes(v))
                r.CheckParams.OpenMinutes = *minutes;
            else
                throw TUsageError{QStringLiteral("--open-minutes wants a whole number of minutes from 1, not \"%1\"").arg(v)};
            break;
        case cpOpeningHours:
            if (const auto hours = TCheckParams::ParseOpeningHours(v)) {
                r.CheckParams.OpensAt = hours->first;
                r.CheckParams.ClosesAt = hours->second;
            } else {
                throw TUsageError{QStringLiteral("--opening-hours wants HH:MM-HH:MM, not \"%1\"").arg(v)};
            }
            break;
        default: break;
        }
    }
}

// --list checks: the checks' keys and titles.
TRequest ReadListChecksRequest(const TArgs& args)
{
    for (const char* other : {"dsn", "user", "password", "password-file", "report", "check", "print-sql", "engine",
                              "format", "output", "from", "to", "store", "fiscal-device", "operator", "page",
                              "page-size", "all", "output-dir", "find", "sort", "descending", "timeout", "tolerance",
                              "open-minutes", "opening-hours", "reversal-activity"})
        if (args.Has(QLatin1String(other)))
            throw TUsageError{QStringLiteral("--list checks takes no --%1").arg(QLatin1String(other))};
    TRequest r;
    r.ListChecks = true;
    return r;
}

// --all: every report into a new folder.
TRequest ReadBundleRequest(const TArgs& args)
{
    TRequest r;
    r.All = true;
    for (const char* other : {"report", "check", "list", "print-sql", "engine", "output", "page", "page-size"})
        if (args.Has(QLatin1String(other)))
            throw TUsageError{QStringLiteral("--all takes no --%1").arg(QLatin1String(other))};
    r.Dsn = args.Required(QStringLiteral("dsn"));
    ReadLogin(args, r);
    r.OutputDir = args.Required(QStringLiteral("output-dir"));
    const bool hasFormat = args.Has(QStringLiteral("format"));
    r.Kind = FormatKind(hasFormat ? args.Value(QStringLiteral("format")) : QStringLiteral("csv"));
    r.Quiet = args.Has(QStringLiteral("quiet"));
    r.Timeout = args.Number(QStringLiteral("timeout"), 1, 0);
    ReadFilters(args, r, kAllReportUIFilters, QString());
    ReadOrderAndFind(args, r, nullptr, QString());
    ReadCheckParams(args, r, cpTolerance | cpOpenMinutes | cpOpeningHours | cpReversalActivities, QString());
    r.Filters.PageNumber = 0;
    r.Filters.RecordsPerPage = 0;
    return r;
}

// A known file name extension of --output that names the other format: refused, so that no
// CSV goes into "x.xlsx" nor a workbook into "x.csv". Other or no extensions are left alone.
void CheckOutputExtension(const QString& output, TExportKind kind)
{
    const QString suffix = QFileInfo(output).suffix().toLower();
    static const QStringList textSuffixes = {QStringLiteral("csv"), QStringLiteral("txt"), QStringLiteral("tsv")};
    static const QStringList workbookSuffixes = {QStringLiteral("xlsx"), QStringLiteral("xls")};
    const bool contradicts = kind == ekExcel ? textSuffixes.contains(suffix) : workbookSuffixes.contains(suffix);
    if (contradicts)
        throw TUsageError{QStringLiteral("--output \"%1\" ends in .%2, the name of a %3 file, but --format is %4")
                              .arg(output, QFileInfo(output).suffix(),
                                   kind == ekExcel ? QStringLiteral("text") : QStringLiteral("spreadsheet"),
                                   kind == ekExcel ? QStringLiteral("xlsx") : QStringLiteral("csv"))};
}

} // namespace

TRequest ReadRequest(const TArgs& args)
{
    TRequest r;
    if (args.Has(QStringLiteral("list"))) {
        const QString key = args.Value(QStringLiteral("list"));
        if (key == u"checks")
            return ReadListChecksRequest(args);
        r.List = FindLookupByKey(key);
        if (!r.List)
            throw TUsageError{QStringLiteral("--list is one of %1, checks, not \"%2\"").arg(LookupKeys(), key)};
        for (const char* other : {"report", "check", "print-sql", "engine", "format", "output", "from", "to", "store",
                                  "fiscal-device", "operator", "page", "page-size", "all", "output-dir", "find",
                                  "sort", "descending", "tolerance", "open-minutes", "opening-hours",
                                  "reversal-activity"})
            if (args.Has(QLatin1String(other)))
                throw TUsageError{QStringLiteral("--list takes no --%1").arg(QLatin1String(other))};
        r.Dsn = args.Required(QStringLiteral("dsn"));
        ReadLogin(args, r);
        r.Timeout = args.Number(QStringLiteral("timeout"), 1, 0);
        return r;
    }
    if (args.Has(QStringLiteral("all")))
        return ReadBundleRequest(args);
    r.PrintSql = args.Has(QStringLiteral("print-sql"));

    QString key;
    TReportUIFilters offered = 0;
    const TReportDef* grid = nullptr;
    if (args.Has(QStringLiteral("check"))) {
        if (args.Has(QStringLiteral("report")))
            throw TUsageError{QStringLiteral("--report and --check exclude each other")};
        key = args.Required(QStringLiteral("check"));
        r.Check = FindCheckByKey(key);
        if (!r.Check)
            throw TUsageError{QStringLiteral("unknown check \"%1\"; the checks are: %2").arg(key, CheckKeys())};
        offered = r.Check->Filters;
        grid = &r.Check->Grid;
    } else {
        key = args.Required(QStringLiteral("report"));
        r.Report = FindReportByKey(key);
        if (!r.Report)
            throw TUsageError{QStringLiteral("unknown report \"%1\"; the reports are: %2").arg(key, ReportKeys())};
        offered = r.Report->Filters;
        grid = &ReportDef(r.Report->Kind);
    }

    if (args.Has(QStringLiteral("engine"))) {
        if (!r.PrintSql)
            throw TUsageError{QStringLiteral("--engine goes only with --print-sql")};
        const QString e = args.Value(QStringLiteral("engine"));
        const TDbEngine* engine = FindDbEngineByCommandLineName(e);
        if (!engine)
            throw TUsageError{QStringLiteral("--engine is ") + EngineNames() + QStringLiteral(", not \"") + e +
                              QLatin1Char('"')};
        r.Engine = engine->DbType;
    }
    if (!r.Engine)
        r.Dsn = args.Required(QStringLiteral("dsn"));
    else
        r.Dsn = args.Value(QStringLiteral("dsn"));
    ReadLogin(args, r);

    if (!r.PrintSql || args.Has(QStringLiteral("format")))
        r.Kind = FormatKind(args.Required(QStringLiteral("format")));
    if (args.Has(QStringLiteral("output-dir")))
        throw TUsageError{QStringLiteral("--output-dir goes with --all")};
    if (!r.PrintSql)
        r.Output = args.Required(QStringLiteral("output"));
    // A workbook is a zip archive, written with seeks back to its headers: it needs a file.
    if (r.Output == kStandardOutput && r.Kind == ekExcel)
        throw TUsageError{QStringLiteral("--output - (standard output) takes csv only; a workbook needs a file")};
    if (!r.PrintSql && r.Output != kStandardOutput)
        CheckOutputExtension(r.Output, r.Kind);
    r.Quiet = args.Has(QStringLiteral("quiet"));
    r.Timeout = args.Number(QStringLiteral("timeout"), 1, 0);

    // Filters: only those the report's window offers; the others are refused.
    ReadFilters(args, r, offered, key);
    ReadOrderAndFind(args, r, grid, key);
    ReadCheckParams(args, r, r.Check ? r.Check->Params : 0, key);

    // One page, or the whole result as the window exports it.
    if (args.Has(QStringLiteral("page")) || args.Has(QStringLiteral("page-size"))) {
        r.Filters.PageNumber = args.Number(QStringLiteral("page"), 1, 1) - 1;
        r.Filters.RecordsPerPage = args.Number(QStringLiteral("page-size"), 1, kDefaultPageSize);
    } else {
        r.Filters.PageNumber = 0;
        r.Filters.RecordsPerPage = 0;
    }
    return r;
}
