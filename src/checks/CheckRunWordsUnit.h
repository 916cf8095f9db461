#pragma once
// The words that say what a run of a check covers: the filters, order and find of its
// grid as a report's, then its parameters; and the lines its exports write under their
// title (what the check looks for, then those words, one a line). The window and the exporter both
// use them, so that their files carry the same lines.

#include "CheckCatalogueUnit.h"
#include "CheckParamsUnit.h"
#include "reports/RunWordsUnit.h"

#include <QStringList>

QStringList CheckRunWords(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                          const TLookupName& nameOf);

QStringList CheckExportConditions(const TCheckDef& def, const TReportFilters& filters, const TCheckParams& params,
                                  const TLookupName& nameOf);
