// The last run of each report window, per data source (see ReportMemoryUnit.h).
#include "ReportMemoryUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <limits>

namespace {

constexpr int kVersion = 1;

QString DateText(double days) { return days == 0 ? QString() : DaysToDate(days).toString(Qt::ISODate); }

double DateDays(const QJsonValue& value)
{
    const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
    return date.isValid() ? DateToDays(date) : 0;
}

// A whole number the file holds within [low, high]; `fallback` otherwise.
int32_t Whole(const QJsonValue& value, int32_t low, int32_t high, int32_t fallback)
{
    const double d = value.toDouble(double(fallback));
    if (!(d >= low && d <= high) || d != double(int64_t(d)))
        return fallback;
    return int32_t(d);
}

QJsonObject ReadAll()
{
    QFile file(TReportMemory::FileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject all = QJsonDocument::fromJson(file.readAll()).object();
    return all.value(QStringLiteral("version")).toInt() == kVersion ? all : QJsonObject{};
}

} // namespace

QString TReportMemory::FileName()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("report-runs.json"));
}

std::optional<TReportFilters> TReportMemory::Recall(const QString& dataSource, TReportKind kind)
{
    return Recall(dataSource, ReportDef(kind));
}

void TReportMemory::Remember(const QString& dataSource, TReportKind kind, const TReportFilters& filters)
{
    Remember(dataSource, ReportDef(kind), filters);
}

namespace {

QJsonValue RunOf(const QString& dataSource, const TReportDef& def)
{
    return ReadAll()
        .value(QStringLiteral("sources"))
        .toObject()
        .value(dataSource)
        .toObject()
        .value(QString::fromUtf16(def.Name));
}

} // namespace

QJsonObject TReportMemory::RecallExtra(const QString& dataSource, const TReportDef& def)
{
    return RunOf(dataSource, def).toObject().value(QStringLiteral("extra")).toObject();
}

std::optional<TReportFilters> TReportMemory::Recall(const QString& dataSource, const TReportDef& def)
{
    const QJsonValue run = RunOf(dataSource, def);
    if (!run.isObject())
        return std::nullopt;
    const QJsonObject r = run.toObject();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    TReportFilters f;
    f.FromDate = DateDays(r.value(QStringLiteral("from")));
    f.ToDate = DateDays(r.value(QStringLiteral("to")));
    if (f.FromDate == 0 || f.ToDate == 0)
        f.FromDate = f.ToDate = 0;
    f.StoreN = Whole(r.value(QStringLiteral("store")), 0, kMax, 0);
    f.FiscalDeviceN = Whole(r.value(QStringLiteral("fiscalDevice")), 0, kMax, 0);
    f.UserN = Whole(r.value(QStringLiteral("operator")), 0, kMax, 0);
    f.RecordsPerPage = Whole(r.value(QStringLiteral("pageSize")), 0, kMax, 0);
    f.SortColumn = Whole(r.value(QStringLiteral("sortColumn")), -1, def.ColumnCount - 1, -1);
    f.SortDescending = f.SortColumn >= 0 && r.value(QStringLiteral("descending")).toBool();
    f.FindText = r.value(QStringLiteral("find")).toString();
    return f;
}

void TReportMemory::Remember(const QString& dataSource, const TReportDef& def, const TReportFilters& f,
                             const QJsonObject& extra)
{
    QJsonObject all = ReadAll();
    QJsonObject sources = all.value(QStringLiteral("sources")).toObject();
    QJsonObject source = sources.value(dataSource).toObject();
    QJsonObject run{{QStringLiteral("from"), DateText(f.FromDate)},
                              {QStringLiteral("to"), DateText(f.ToDate)},
                              {QStringLiteral("store"), f.StoreN},
                              {QStringLiteral("fiscalDevice"), f.FiscalDeviceN},
                              {QStringLiteral("operator"), f.UserN},
                              {QStringLiteral("pageSize"), f.RecordsPerPage},
                              {QStringLiteral("sortColumn"), f.SortColumn},
                              {QStringLiteral("descending"), f.SortDescending},
                              {QStringLiteral("find"), f.FindText}};
    if (!extra.isEmpty())
        run.insert(QStringLiteral("extra"), extra);
    source.insert(QString::fromUtf16(def.Name), run);
    sources.insert(dataSource, source);
    all.insert(QStringLiteral("version"), kVersion);
    all.insert(QStringLiteral("sources"), sources);

    const QString name = FileName();
    const QString folder = QFileInfo(name).absolutePath();
    if (!QDir().mkpath(folder))
        return;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(all).toJson());
    file.commit();
}
