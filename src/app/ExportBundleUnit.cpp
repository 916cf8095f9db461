// The evidence bundle of auditor-export --all (see ExportBundleUnit.h).
#include "app/ExportBundleUnit.h"

#include "app/ExportCheckUnit.h"
#include "app/ExportRunUnit.h"
#include "app/FilterNumberCheckUnit.h"
#include "app/ServerWaitUnit.h"
#include "app/TempOutputUnit.h"
#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "reports/ReportSortUnit.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString Sha256Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("cannot read \"%1\" back: %2").arg(path, file.errorString()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        throw Exception(QStringLiteral("cannot read \"%1\" back: %2").arg(path, file.errorString()));
    return QString::fromLatin1(hash.result().toHex());
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw Exception(QStringLiteral("cannot write \"%1\": %2").arg(path, file.errorString()));
    file.close();
}

QString UtcNow() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate); }

QJsonValue DayOrNull(double days, bool given)
{
    return given ? QJsonValue(DaysToDate(days).toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

// The filters as the manifest names them: those of `offered`; a period not asked for is null.
// The order (`sortColumn`, the view column; empty for the report's own) and the find text
// are named only when set.
QJsonObject FiltersJson(const TReportFilters& f, bool hasPeriod, TReportUIFilters offered, const QString& sortColumn)
{
    QJsonObject o;
    if (offered & rfPeriod) {
        o[QStringLiteral("from")] = DayOrNull(f.FromDate, hasPeriod);
        o[QStringLiteral("to")] = DayOrNull(f.ToDate, hasPeriod);
    }
    if (offered & rfStore)
        o[QStringLiteral("store")] = f.StoreN;
    if (offered & rfFP)
        o[QStringLiteral("fiscal_device")] = f.FiscalDeviceN;
    if (offered & rfUser)
        o[QStringLiteral("operator")] = f.UserN;
    if (!sortColumn.isEmpty())
        o[QStringLiteral("sort")] = QJsonObject{{QStringLiteral("column"), sortColumn},
                                                {QStringLiteral("descending"), f.SortDescending}};
    if (!f.FindText.isEmpty())
        o[QStringLiteral("find")] = f.FindText;
    return o;
}

// A check's parameters as the manifest names them: those it takes.
QJsonObject ParamsJson(const TCheckParams& p, TCheckParamSet taken)
{
    QJsonObject o;
    if (taken & cpTolerance)
        o[QStringLiteral("tolerance")] = TCheckParams::ToleranceText(p.ToleranceCents);
    if (taken & cpOpenMinutes)
        o[QStringLiteral("open_minutes")] = p.OpenMinutes;
    if (taken & cpOpeningHours)
        o[QStringLiteral("opening_hours")] =
            p.HasOpeningHours() ? QJsonValue(p.OpensAt.toString(QStringLiteral("HH:mm")) + u'-' +
                                             p.ClosesAt.toString(QStringLiteral("HH:mm")))
                                : QJsonValue(QJsonValue::Null);
    if (taken & cpReversalActivities)
        o[QStringLiteral("reversal_activities")] = QJsonArray::fromStringList(p.ReversalActivities);
    return o;
}

} // namespace

QString BundleFileName(const TReportListItem& report, TExportKind kind)
{
    return QLatin1String(report.Key) + (kind == ekExcel ? QStringLiteral(".xlsx") : QStringLiteral(".csv"));
}

TReportFilters BundleFilters(const TReportListItem& report, const TReportFilters& asked)
{
    return OfferedFilters(report.Filters, asked);
}

TReportFilters OfferedFilters(TReportUIFilters offered, const TReportFilters& asked)
{
    TReportFilters f = asked;
    if (!(offered & rfPeriod))
        f.FromDate = f.ToDate = 0;
    if (!(offered & rfStore))
        f.StoreN = 0;
    if (!(offered & rfFP))
        f.FiscalDeviceN = 0;
    if (!(offered & rfUser))
        f.UserN = 0;
    f.PageNumber = 0;
    f.RecordsPerPage = 0;
    return f;
}

TBundleOutcome WriteBundle(const TRequest& r, mode_t umaskValue)
{
    const QString target = QFileInfo(r.OutputDir).absoluteFilePath();
    TSqlDBModel model;
    if (!ModelOf(r, model))
        throw Exception(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));

    RemoveStaleTempOutput(target, true);
    TTempFolder folder(target);
    TSqlDataModule dataModule;
    QString error;
    const std::unique_ptr<TSqlDataManager> manager = Connected(model, r.Timeout, error);
    if (!manager)
        throw Exception(error);
    const std::unique_ptr<TRepository> repository = TRepository::CreateRepository(*manager);
    const TOdbcConnection& connection = manager->Connection();

    const QString started = UtcNow();
    TServerWaitWatch::Expect();
    const QString isolation = manager->BeginReadSnapshot();
    // Ended before the folder is put in place, so that nothing waits for the database after;
    // on a failure, when the folder goes.
    struct TSnapshotEnd {
        TSqlDataManager& Manager;
        bool Ended = false;
        void End()
        {
            if (std::exchange(Ended, true))
                return;
            TServerWaitWatch::Expect();
            Manager.EndReadSnapshot();
            TServerWaitWatch::Idle();
        }
        ~TSnapshotEnd() { End(); }
    } snapshotEnd{*manager};

    TBundleOutcome outcome;
    outcome.Notices << UnknownFilterNumbers(*manager, r.Filters);
    QJsonArray reports;
    QByteArray sums;
    const auto reportList = ReportList();
    const auto checkList = CheckList();
    const qsizetype fileCount = reportList.size() + checkList.size();
    int index = 0;
    // One file of the bundle: written by `exportTo`, checked against its count, synced and
    // summed. Its SHA-256 is returned.
    const auto writeFile = [&](const QString& key, const QString& name,
                               const std::function<TExportOutcome(const QString&, const QString&, TProgressLine&)>& exportTo,
                               qint64& rows) {
        ++index;
        TProgressLine progress;
        progress.SetPrefix(QStringLiteral("[%1/%2] %3: ").arg(index).arg(fileCount).arg(key));
        TExportOutcome written;
        try {
            written = exportTo(folder.FilePath(name), QDir(r.OutputDir).filePath(name), progress);
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(QStringLiteral("%1: %2").arg(key, e.Message()), e.SqlState(), e.NativeError());
        } catch (const Exception& e) {
            throw Exception(QStringLiteral("%1: %2").arg(key, e.Message()));
        }
        progress.End();
        // In one state of the database the count and the records written agree.
        if (written.Written != written.Expected)
            throw Exception(QStringLiteral("%1: the count gave %2 records but %3 were written: the database did "
                                           "not keep one state while it was read")
                                .arg(key)
                                .arg(written.Expected)
                                .arg(written.Written));
        if (!written.Notice.isEmpty())
            outcome.Notices << QStringLiteral("%1: %2").arg(key, written.Notice);
        SyncToDisk(QFile::encodeName(folder.FilePath(name)));
        const QString sha = Sha256Of(folder.FilePath(name));
        sums += sha.toLatin1() + "  " + QFile::encodeName(name) + '\n';
        rows = written.Written;
        outcome.Records += written.Written;
        if (BundleReportWritten())
            BundleReportWritten()(key);
        return sha;
    };
    // --sort names a view column: the grids that have it are sorted by it.
    const auto sortedBy = [&r](const TReportDef& def, TReportFilters& filters) {
        filters.SortColumn = r.BundleSort.isEmpty() ? -1 : TReportSort::FindColumn(def, r.BundleSort);
        return filters.SortColumn >= 0 ? QString::fromUtf16(def.Columns[filters.SortColumn].Column) : QString();
    };
    for (const TReportListItem& report : reportList) {
        const QString key = QLatin1String(report.Key);
        const QString name = BundleFileName(report, r.Kind);
        TReportFilters filters = BundleFilters(report, r.Filters);
        const QString sortColumn = sortedBy(ReportDef(report.Kind), filters);
        qint64 rows = 0;
        const QString sha = writeFile(key, name, [&](const QString& file, const QString& shown, TProgressLine& progress) {
            return ExportReportToFile(*manager, *repository, report, filters, r.Kind, file, shown, progress.Follower());
        }, rows);
        QJsonObject entry;
        entry[QStringLiteral("key")] = key;
        entry[QStringLiteral("title")] = QString::fromUtf16(report.Title);
        entry[QStringLiteral("file")] = name;
        entry[QStringLiteral("filters")] = FiltersJson(filters, r.HasPeriod, report.Filters, sortColumn);
        entry[QStringLiteral("rows")] = double(rows);
        entry[QStringLiteral("sha256")] = sha;
        reports.append(entry);
        ++outcome.Reports;
    }
    // Every check's findings, from the same state of the database.
    const QDate checkDay = QDate::currentDate();
    QJsonArray checks;
    for (const TCheckDef& def : checkList) {
        const QString key = QLatin1String(def.Key);
        const QString name = BundleCheckFileName(def, r.Kind);
        TReportFilters filters = OfferedFilters(def.Filters, r.Filters);
        const QString sortColumn = sortedBy(def.Grid, filters);
        qint64 rows = 0;
        const QString sha = writeFile(key, name, [&](const QString& file, const QString& shown, TProgressLine& progress) {
            return ExportJobToFile(*manager, CheckExportJob(*repository, def, filters, r.CheckParams, checkDay), r.Kind,
                                   file, shown, progress.Follower());
        }, rows);
        QJsonObject entry;
        entry[QStringLiteral("key")] = key;
        entry[QStringLiteral("title")] = QString::fromUtf16(def.Title);
        entry[QStringLiteral("file")] = name;
        entry[QStringLiteral("filters")] = FiltersJson(filters, r.HasPeriod, def.Filters, sortColumn);
        entry[QStringLiteral("parameters")] = ParamsJson(r.CheckParams, def.Params);
        entry[QStringLiteral("findings")] = double(rows);
        entry[QStringLiteral("sha256")] = sha;
        checks.append(entry);
        ++outcome.Checks;
    }

    TServerWaitWatch::Expect(); // a driver may ask its server
    QJsonObject source;
    source[QStringLiteral("name")] = r.Dsn;
    source[QStringLiteral("engine")] = QLatin1String(DbEngine(model.DbType()).CommandLineName);
    source[QStringLiteral("driver")] = connection.InfoText(SQL_DRIVER_NAME);
    source[QStringLiteral("driver_version")] = connection.InfoText(SQL_DRIVER_VER);
    source[QStringLiteral("dbms")] = connection.InfoText(SQL_DBMS_NAME);
    source[QStringLiteral("dbms_version")] = connection.InfoText(SQL_DBMS_VER);
    source[QStringLiteral("server")] = connection.InfoText(SQL_SERVER_NAME);
    source[QStringLiteral("database")] = connection.InfoText(SQL_DATABASE_NAME);
    source[QStringLiteral("isolation")] = isolation;

    QJsonObject manifest;
    manifest[QStringLiteral("program")] = QStringLiteral("auditor-export");
    manifest[QStringLiteral("version")] = QStringLiteral(AUDITOR_VERSION);
    manifest[QStringLiteral("data_source")] = source;
    manifest[QStringLiteral("user")] = r.User.isEmpty() ? connection.InfoText(SQL_USER_NAME) : r.User;
    snapshotEnd.End();
    manifest[QStringLiteral("started")] = started;
    manifest[QStringLiteral("finished")] = UtcNow();
    manifest[QStringLiteral("format")] = r.Kind == ekExcel ? QStringLiteral("xlsx") : QStringLiteral("csv");
    manifest[QStringLiteral("filters")] = FiltersJson(r.Filters, r.HasPeriod, kAllReportUIFilters, r.BundleSort);
    manifest[QStringLiteral("reports")] = reports;
    manifest[QStringLiteral("check_day")] = checkDay.toString(Qt::ISODate);
    manifest[QStringLiteral("checks")] = checks;

    const QString manifestPath = folder.FilePath(QStringLiteral("manifest.json"));
    WriteFile(manifestPath, QJsonDocument(manifest).toJson(QJsonDocument::Indented));
    sums += Sha256Of(manifestPath).toLatin1() + "  manifest.json\n";
    WriteFile(folder.FilePath(QStringLiteral("SHA256SUMS")), sums);
    for (const QString& name : {QStringLiteral("manifest.json"), QStringLiteral("SHA256SUMS")})
        SyncToDisk(QFile::encodeName(folder.FilePath(name)));

    folder.Commit(target, umaskValue);
    return outcome;
}
