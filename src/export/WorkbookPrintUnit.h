#pragma once
// How an exported workbook reads and prints: the field-name row frozen at the top of each
// sheet with an autofilter on it, landscape A4 pages one page wide with that row repeated,
// and the document's properties (title, subject).

#include <QString>
#include <xlsxwriter.h>

// Sets up a new sheet whose field names are on row `nameRow`.
void SetSheetForReading(lxw_worksheet* sheet, lxw_row_t nameRow);
// Puts the autofilter on the finished sheet: its field names and the rows under them, to
// `lastRow` (the name row itself when there are none).
void SetSheetFilter(lxw_worksheet* sheet, lxw_row_t nameRow, lxw_row_t lastRow, lxw_col_t lastColumn);
// The document's title and subject, and the program that made it.
void SetWorkbookProperties(lxw_workbook* workbook, const QString& title, const QString& subject);
