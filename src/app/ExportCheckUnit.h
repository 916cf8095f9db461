#pragma once
// A check's findings as auditor-export writes them: the export job of a check (its title,
// its statements, the lines under the title with what it looks for, its filters and its
// parameters), and the name of its file in a bundle.

#include "app/ExportRunUnit.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckParamsUnit.h"

#include <QDate>

// `today` is the day of the check.
TExportJob CheckExportJob(const TRepository& repository, const TCheckDef& def, const TReportFilters& filters,
                          const TCheckParams& params, QDate today);

// "check-unp-gaps.csv".
QString BundleCheckFileName(const TCheckDef& def, TExportKind kind);
