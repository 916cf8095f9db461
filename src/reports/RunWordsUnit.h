#pragma once
// The words that say what a run of a report covers: its period, the store, fiscal device
// and operator chosen, its order and find, as the summary bar shows them and a workbook's
// properties keep them.

#include "ReportListUnit.h"
#include "RepositoryUnit.h"

#include <QStringList>
#include <functional>

// The name a lookup gives a number; empty when it has none (the number is said instead).
using TLookupName = std::function<QString(TLookupKind kind, int number)>;

// "Период: 01.01.2025 – 31.01.2025", "Обект: Склад Център", ..., the order chosen and the
// find: one entry for each filter the run of report `kind` has (a store of 0, every store,
// is none).
QStringList RunFilterWords(TReportKind kind, const TReportFilters& filters, const TLookupName& nameOf);
// The same for any grid laid out as `def`.
QStringList RunFilterWords(const TReportDef& def, const TReportFilters& filters, const TLookupName& nameOf);

// The data source and the filter words in one line: "Източник: AuditDemo · Период: …".
QString RunSubject(const QString& dataSource, const QStringList& filterWords);
