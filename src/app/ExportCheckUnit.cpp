// A check's findings as auditor-export writes them (see ExportCheckUnit.h).
#include "app/ExportCheckUnit.h"

#include "checks/CheckQueryUnit.h"
#include "checks/CheckRunWordsUnit.h"

TExportJob CheckExportJob(const TRepository& repository, const TCheckDef& def, const TReportFilters& filters,
                          const TCheckParams& params, QDate today)
{
    TExportJob job;
    job.Title = QString::fromUtf16(def.Title);
    TCheckQuery(repository, today).FillQuery(def, filters, params, job.Sql, job.CountSql);
    job.Filters = filters;
    job.SubjectWords = [&def, filters, params](const TLookupName& nameOf) {
        return CheckRunWords(def, filters, params, nameOf);
    };
    job.Conditions = [&def, filters, params](const TLookupName& nameOf) {
        return CheckExportConditions(def, filters, params, nameOf);
    };
    return job;
}

QString BundleCheckFileName(const TCheckDef& def, TExportKind kind)
{
    return QStringLiteral("check-") + QLatin1String(def.Key) +
           (kind == ekExcel ? QStringLiteral(".xlsx") : QStringLiteral(".csv"));
}

