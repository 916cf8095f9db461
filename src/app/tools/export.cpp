// auditor-export: runs one report without windows and writes its whole result (or one
// page of it) as CSV or as a spreadsheet, byte for byte what the report window's export
// writes for the same filters: the same report catalogue and query builder, the same
// forward-only query and the same export strategy with the window's options.
//
// The file is written under a temporary name in the target's folder and renamed onto the
// target only when the export has succeeded, so a failed or interrupted run leaves no
// partial file and an existing target as it was.
//
// Exit status: 0 done, 1 the export failed (reason on standard error), 2 wrong usage.

#include "db/ChooseDBUnit.h"
#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "export/ExportUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The page size the report window starts with; --page alone uses it.
constexpr int kDefaultPageSize = 500;

// The range of the report window's date pickers.
const QDate kFirstPickableDate(1752, 9, 14);
const QDate kLastPickableDate(9999, 12, 31);

constexpr const char* kUsage =
    "usage: auditor-export --dsn NAME [--user U] [--password P] --report KEY --format csv|xlsx\n"
    "                      [--from YYYY-MM-DD --to YYYY-MM-DD] [--store N] [--fiscal-device N]\n"
    "                      [--operator N] [--page N] [--page-size S] --output PATH [--quiet]\n"
    "       auditor-export --print-sql (--dsn NAME | --engine sqlanywhere|sqlite|postgres)\n"
    "                      --report KEY [filters] [--page N] [--page-size S]\n"
    "       auditor-export --list stores|fiscal-devices|operators --dsn NAME [--user U ...]\n"
    "       auditor-export --help | --version\n"
    "\n"
    "Runs one report of the audit database behind the ODBC data source NAME and writes its\n"
    "rows to PATH as the report window's export does: csv is TAB-separated Windows-1251 text\n"
    "with CR LF line ends and the column captions on the first line; xlsx is a workbook with\n"
    "the captions in bold on its first row. The whole filtered result is written, or with\n"
    "--page N (one-based, default 1) and/or --page-size S (default 500, as in the report\n"
    "window) only that page.\n"
    "PATH is replaced only when the export succeeds; a failed run leaves it as it was.\n"
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
    "A filter the report does not offer is refused.\n"
    "\n"
    "Connection: the data source's registered driver decides the engine (SQLite3 and\n"
    "PostgreSQL Unicode; any other driver is taken for SQL Anywhere). --user and --password\n"
    "are the database login; without them the data source's own settings apply. Instead of\n"
    "--password, --password-file FILE reads the password from the first line of FILE (\"-\":\n"
    "standard input), and without either the environment variable AUDITOR_PASSWORD is used:\n"
    "then the password does not show in the process list.\n"
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

// Path of the temporary file while it exists, for the signal handler.
char gTempPath[4096];
volatile std::sig_atomic_t gHaveTempPath = 0;

extern "C" void RemoveTempAndDie(int sig)
{
    if (gHaveTempPath)
        ::unlink(gTempPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void PrintErr(const QString& text)
{
    // Messages of the export writer separate their sentences with a bare CR.
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fputs(s.toUtf8().constData(), stderr);
}

int Fail(const QString& message)
{
    PrintErr(QStringLiteral("auditor-export: ") + message + QLatin1Char('\n'));
    return kExitFailure;
}

int UsageError(const QString& message)
{
    PrintErr(QStringLiteral("auditor-export: ") + message + QLatin1Char('\n'));
    std::fputs("Try 'auditor-export --help'.\n", stderr);
    return kExitUsage;
}

// A usage error found while the options are read.
struct TUsageError {
    QString Message;
};

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

// The driver a data source is registered with; nullopt when no user or system data source
// has that name.
std::optional<QString> RegisteredDriverOf(const QString& dsn)
{
    for (const TOdbcDataSource& ds : ListOdbcDataSources(OdbcEnvironment()))
        if (ds.Name == dsn)
            return ds.Driver;
    return std::nullopt;
}

class TArgs {
public:
    explicit TArgs(QCommandLineParser& p) : FParser(p) {}

    // The option's value; empty when it is not given. Given twice is wrong usage.
    QString Value(const QString& name) const
    {
        const QStringList values = FParser.values(name);
        if (values.size() > 1)
            throw TUsageError{QStringLiteral("--%1 is given more than once").arg(name)};
        return values.isEmpty() ? QString() : values.first();
    }
    bool Has(const QString& name) const { return FParser.isSet(name); }

    QString Required(const QString& name) const
    {
        if (!Has(name))
            throw TUsageError{QStringLiteral("--%1 is missing").arg(name)};
        const QString v = Value(name);
        if (v.isEmpty())
            throw TUsageError{QStringLiteral("--%1 is empty").arg(name)};
        return v;
    }

    // A whole number from `min` to INT32_MAX; `fallback` when the option is not given.
    int Number(const QString& name, int min, int fallback) const
    {
        if (!Has(name))
            return fallback;
        const QString v = Value(name);
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok || !QRegularExpression(QStringLiteral("^[0-9]+$")).match(v).hasMatch() || n < min || n > INT_MAX)
            throw TUsageError{QStringLiteral("--%1 wants a whole number from %2 up, not \"%3\"").arg(name).arg(min).arg(v)};
        return int(n);
    }

    // A day of the report window's date pickers, as YYYY-MM-DD.
    QDate Date(const QString& name) const
    {
        const QString v = Value(name);
        const QDate d = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
        if (!QRegularExpression(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$")).match(v).hasMatch() || !d.isValid())
            throw TUsageError{QStringLiteral("--%1 wants a date as YYYY-MM-DD, not \"%2\"").arg(name, v)};
        if (d < kFirstPickableDate || d > kLastPickableDate)
            throw TUsageError{QStringLiteral("--%1: %2 is outside %3 .. %4")
                                  .arg(name, v, kFirstPickableDate.toString(Qt::ISODate),
                                       kLastPickableDate.toString(Qt::ISODate))};
        return d;
    }

private:
    QCommandLineParser& FParser;
};

struct TRequest {
    const TLookupListItem* List = nullptr; // --list: print a lookup instead of exporting
    const TReportListItem* Report = nullptr;
    TReportFilters Filters;
    bool PrintSql = false;
    std::optional<TDbType> Engine;
    QString Dsn, User, Password;
    TExportKind Kind = ekTextFile;
    QString Output;
    bool Quiet = false;
};

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

TRequest ReadRequest(const TArgs& args)
{
    TRequest r;
    if (args.Has(QStringLiteral("list"))) {
        const QString key = args.Value(QStringLiteral("list"));
        r.List = FindLookupByKey(key);
        if (!r.List)
            throw TUsageError{QStringLiteral("--list is one of %1, not \"%2\"").arg(LookupKeys(), key)};
        for (const char* other : {"report", "print-sql", "engine", "format", "output", "from", "to", "store",
                                  "fiscal-device", "operator", "page", "page-size"})
            if (args.Has(QLatin1String(other)))
                throw TUsageError{QStringLiteral("--list takes no --%1").arg(QLatin1String(other))};
        r.Dsn = args.Required(QStringLiteral("dsn"));
        ReadLogin(args, r);
        return r;
    }
    r.PrintSql = args.Has(QStringLiteral("print-sql"));

    const QString key = args.Required(QStringLiteral("report"));
    r.Report = FindReportByKey(key);
    if (!r.Report)
        throw TUsageError{QStringLiteral("unknown report \"%1\"; the reports are: %2").arg(key, ReportKeys())};

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

    if (!r.PrintSql || args.Has(QStringLiteral("format"))) {
        const QString f = args.Required(QStringLiteral("format"));
        if (f == u"csv")
            r.Kind = ekTextFile;
        else if (f == u"xlsx")
            r.Kind = ekExcel;
        else
            throw TUsageError{QStringLiteral("--format is csv or xlsx, not \"%1\"").arg(f)};
    }
    if (!r.PrintSql)
        r.Output = args.Required(QStringLiteral("output"));
    r.Quiet = args.Has(QStringLiteral("quiet"));

    // Filters: only those the report's window offers; the others are refused.
    const TReportUIFilters offered = r.Report->Filters;
    const auto refuse = [&](const QString& option) {
        return TUsageError{QStringLiteral("report \"%1\" has no %2 filter (it offers: %3)")
                               .arg(key, option, OfferedFilterNames(offered))};
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

// Progress on standard error as one line that is written over, when that is a terminal.
class TProgressLine {
public:
    TProgressLine() : FEnabled(::isatty(2) == 1) { FClock.start(); }
    ~TProgressLine() { End(); }

    void Show(qint64 done, qint64 total, bool force = false)
    {
        if (!FEnabled || (!force && FShown && FClock.elapsed() < 100))
            return;
        FClock.restart();
        std::fprintf(stderr, "\r%lld / %lld", static_cast<long long>(done), static_cast<long long>(total));
        std::fflush(stderr);
        FShown = true;
    }
    // Ends the line, so that what follows starts on a line of its own.
    void End()
    {
        if (FShown)
            std::fputc('\n', stderr);
        FShown = false;
    }

private:
    bool FEnabled;
    bool FShown = false;
    QElapsedTimer FClock;
};

// The target's temporary stand-in in the same folder; removed unless it was committed.
class TTempTarget {
public:
    ~TTempTarget() { Discard(); }

    // Creates the file; false (with `error`) when the folder takes no new file.
    bool Create(const QString& target, QString& error)
    {
        const QFileInfo info(target);
        QTemporaryFile file(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
        file.setAutoRemove(false);
        if (!file.open()) {
            error = file.errorString();
            return false;
        }
        FPath = file.fileName();
        file.close();
        const QByteArray encoded = QFile::encodeName(FPath);
        if (size_t(encoded.size()) < sizeof gTempPath) {
            std::memcpy(gTempPath, encoded.constData(), size_t(encoded.size()) + 1);
            gHaveTempPath = 1;
        }
        return true;
    }
    const QString& Path() const { return FPath; }

    // Gives the file the permissions a file written in place would have (those of the
    // target it replaces, else the default of new files), writes it out to the disk and
    // renames it onto the target.
    bool Commit(const QString& target, mode_t umaskValue, QString& error)
    {
        const QByteArray from = QFile::encodeName(FPath);
        const QByteArray to = QFile::encodeName(target);
        struct stat st {};
        const mode_t mode = ::stat(to.constData(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~umaskValue);
        ::chmod(from.constData(), mode);
        const int fd = ::open(from.constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        if (::rename(from.constData(), to.constData()) != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        gHaveTempPath = 0;
        FPath.clear();
        return true;
    }

    void Discard()
    {
        if (FPath.isEmpty())
            return;
        gHaveTempPath = 0;
        QFile::remove(FPath);
        FPath.clear();
    }

private:
    QString FPath;
};

int PrintSql(const TRequest& r)
{
    TDbType dialect;
    if (r.Engine) {
        dialect = *r.Engine;
    } else {
        const std::optional<QString> driver = RegisteredDriverOf(r.Dsn);
        if (!driver)
            return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));
        TSqlDBModel model;
        model.SetProviderDescr(DriverDescrOfDataSource(*driver));
        dialect = model.DbType();
    }
    QString reportSql, recCountSql;
    TRepository(dialect).FillReportQuery(r.Report->Kind, reportSql, recCountSql, r.Filters);
    const QByteArray out = (recCountSql + QLatin1Char('\n') + reportSql + QLatin1Char('\n')).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
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

// --list: the number and the name of every entry of a filter's lookup, TAB-separated, one a
// line, as the report windows offer them.
int ListLookup(const TRequest& r)
{
    TSqlDBModel model;
    if (!ModelOf(r, model))
        return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));
    TSqlDataModule dataModule;
    std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&model);
    try {
        manager->OpenConnection();
    } catch (const Exception& e) {
        return Fail(QStringLiteral("cannot connect to \"%1\": %2").arg(r.Dsn, e.Message()));
    }
    TQuery query(&manager->Connection(), ckForwardOnly);
    query.SetSQL(QString::fromUtf16(r.List->Sql));
    query.Open();
    QByteArray out;
    for (; !query.Eof(); query.Next())
        out += (query.Fields(0).AsString() + QLatin1Char('\t') + query.Fields(1).AsString() + QLatin1Char('\n')).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int Export(const TRequest& r, mode_t umaskValue)
{
    // The target: where a symbolic link points, so that the link stays.
    QString target = QFileInfo(r.Output).absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (targetInfo.isSymLink())
        target = targetInfo.symLinkTarget();
    if (QFileInfo(target).isDir())
        return Fail(QStringLiteral("\"%1\" is a folder").arg(r.Output));

    TSqlDBModel model;
    if (!ModelOf(r, model))
        return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));

    TTempTarget temp;
    QString error;
    if (!temp.Create(target, error))
        return Fail(QStringLiteral("cannot write into the folder of \"%1\": %2").arg(r.Output, error));

    TSqlDataModule dataModule;
    std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&model);
    try {
        manager->OpenConnection();
    } catch (const Exception& e) {
        return Fail(QStringLiteral("cannot connect to \"%1\": %2").arg(r.Dsn, e.Message()));
    }
    const std::unique_ptr<TRepository> repository = TRepository::CreateRepository(model);

    // As the report window runs it: the count first, then the report on a forward-only query.
    QString reportSql, recCountSql;
    repository->FillReportQuery(r.Report->Kind, reportSql, recCountSql, r.Filters);
    const int recCount = manager->FastSql(recCountSql).toInt();
    int expected = recCount;
    if (r.Filters.RecordsPerPage > 0) {
        const qint64 skipped = qint64(r.Filters.PageNumber) * r.Filters.RecordsPerPage;
        expected = int(std::clamp<qint64>(recCount - skipped, 0, r.Filters.RecordsPerPage));
    }

    TQuery query(nullptr, ckForwardOnly);
    query.SetConnection(&manager->Connection());
    query.SetSQL(reportSql);
    query.Open();
    query.First();

    RExportOptions opts = TExportForm::GetReportOpts(r.Kind, QString::fromUtf16(r.Report->Title));
    opts.FileName = temp.Path();

    auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{&query, nullptr}, &query);
    TProgressLine progress;
    int done = 0;
    QStringList problems;
    strategy->OnReportProgress = [&done](int current, const QString&) { done = current; };
    strategy->OnPumpMessages = [&] { progress.Show(done, expected); };
    strategy->OnShowError = [&problems](const QString& message) { problems << message; };
    if (!strategy->Init(expected) || !strategy->MakeExport()) {
        progress.End();
        return Fail(problems.isEmpty() ? QStringLiteral("nothing was exported") : problems.join(QLatin1Char('\n')));
    }
    progress.Show(query.RecordCount(), expected, true);
    progress.End();
    const qint64 written = query.RecordCount();
    const QString notice = strategy->Notice();
    strategy.reset();
    query.Close();

    if (!temp.Commit(target, umaskValue, error))
        return Fail(QStringLiteral("cannot put the export in place as \"%1\": %2").arg(r.Output, error));
    if (!notice.isEmpty()) // done, with something the user should know: characters written as "?"
        PrintErr(QStringLiteral("auditor-export: %1\n").arg(notice));
    if (!r.Quiet)
        PrintErr(QStringLiteral("auditor-export: %1 %2 written to %3\n")
                     .arg(written)
                     .arg(written == 1 ? QStringLiteral("record") : QStringLiteral("records"), r.Output));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const mode_t umaskValue = ::umask(0);
    ::umask(umaskValue);

    // Qt sets the locale from the environment, with UTF-8 text.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("auditor-export"));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const char* const valued[] = {"dsn",    "user",          "password",  "password-file", "report",
                                  "format", "from",          "to",        "store",         "operator",
                                  "page",   "fiscal-device", "page-size", "output",        "engine",
                                  "list"};
    for (const char* name : valued)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    parser.addOption(QCommandLineOption(QStringLiteral("print-sql")));
    parser.addOption(QCommandLineOption(QStringLiteral("quiet")));
    parser.addOption(QCommandLineOption(QStringLiteral("version")));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs("auditor-export " AUDITOR_VERSION "\n", stdout);
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    TRequest request;
    try {
        request = ReadRequest(TArgs(parser));
    } catch (const TUsageError& e) {
        return UsageError(e.Message);
    }

    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, RemoveTempAndDie);
    try {
        if (request.List)
            return ListLookup(request);
        return request.PrintSql ? PrintSql(request) : Export(request, umaskValue);
    } catch (const Exception& e) {
        return Fail(e.Message());
    } catch (const std::exception& e) {
        return Fail(QString::fromLocal8Bit(e.what()));
    }
}
