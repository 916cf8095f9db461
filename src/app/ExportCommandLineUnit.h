#pragma once
// The command line of auditor-export: its usage text, its options read into a request, and
// the usage errors found on the way.

#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckParamsUnit.h"
#include "export/ExportUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCommandLineParser>
#include <QDate>
#include <QRegularExpression>
#include <QString>
#include <climits>
#include <optional>

// The page size the report window starts with; --page alone uses it.
inline constexpr int kDefaultPageSize = 500;

// The range of the report window's date pickers.
inline const QDate kFirstPickableDate(1752, 9, 14);
inline const QDate kLastPickableDate(9999, 12, 31);

// The help text (--help).
extern const char* const kUsage;

// A usage error found while the options are read.
struct TUsageError {
    QString Message;
};

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
    // Every value of an option that may be given more than once.
    QStringList Values(const QString& name) const { return FParser.values(name); }

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
    bool ListChecks = false;               // --list checks: print the checks' keys and titles
    const TReportListItem* Report = nullptr;
    const TCheckDef* Check = nullptr; // --check: a check's findings instead of a report
    // The checks' parameters: their defaults, with those given on the command line.
    TCheckParams CheckParams;
    bool All = false; // --all: every report into OutputDir (Report is null)
    QString OutputDir;
    // The filters asked for, with --find and the order of --sort. With --all each report
    // takes those its window offers, and the order of BundleSort where it has that column.
    TReportFilters Filters;
    QString BundleSort; // --all --sort: a view column's name
    bool HasPeriod = false;
    bool PrintSql = false;
    std::optional<TDbType> Engine;
    QString Dsn, User, Password;
    TExportKind Kind = ekTextFile;
    QString Output; // kStandardOutput: the CSV goes to standard output
    bool Quiet = false;
    int Timeout = 0; // --timeout: seconds any wait for the database may take; 0: no limit
};

// The --output that names standard output.
inline const QString kStandardOutput = QStringLiteral("-");

// The request the options make; throws TUsageError.
TRequest ReadRequest(const TArgs& args);
