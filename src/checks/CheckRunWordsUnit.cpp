// The words of a check's run (see CheckRunWordsUnit.h).
#include "CheckRunWordsUnit.h"

QStringList CheckRunWords(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                          const TLookupName& nameOf)
{
    return RunFilterWords(def.Grid, filters, nameOf) + params.Words(def.Params);
}

QStringList CheckExportConditions(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                                  const TLookupName& nameOf)
{
    return QStringList{QString::fromUtf16(def.Purpose)} + CheckRunWords(def, filters, params, nameOf);
}
