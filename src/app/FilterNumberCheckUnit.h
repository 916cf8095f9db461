#pragma once
// The store, fiscal device and operator numbers of an export's filters looked up in their
// lookups (the lists "auditor-export --list" prints): their names, and those not there (an
// export with one finds no records, which the exporter says before it goes on).

#include "db/SqlDataManagerUnit.h"
#include "reports/RepositoryUnit.h"

#include <QStringList>
#include <optional>

enum class TLookupKind;

// The name the lookup of `kind` gives `number`; none when it does not hold it.
std::optional<QString> LookupName(TSqlDataManager& manager, TLookupKind kind, qint64 number);

// One line for each number asked for (0, every one, is not asked for) that its lookup does
// not hold, as "no store 99 in the data source's stores (...); the export goes on".
QStringList UnknownFilterNumbers(TSqlDataManager& manager, const TReportFilters& filters);
