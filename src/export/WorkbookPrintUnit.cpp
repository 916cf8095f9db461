// How an exported workbook reads and prints (see WorkbookPrintUnit.h).
#include "WorkbookPrintUnit.h"

#include "SheetTextUnit.h"

#include "common/MessageBoxUnit.h"

#include <algorithm>

namespace {

constexpr uint8_t kPaperA4 = 9;

} // namespace

void SetSheetForReading(lxw_worksheet* sheet, lxw_row_t nameRow)
{
    worksheet_freeze_panes(sheet, nameRow + 1, 0);
    worksheet_set_landscape(sheet);
    worksheet_set_paper(sheet, kPaperA4);
    worksheet_fit_to_pages(sheet, 1, 0); // as wide as one page, as many pages down as it takes
    worksheet_repeat_rows(sheet, nameRow, nameRow);
}

void SetSheetFilter(lxw_worksheet* sheet, lxw_row_t nameRow, lxw_row_t lastRow, lxw_col_t lastColumn)
{
    worksheet_autofilter(sheet, nameRow, 0, std::max(lastRow, nameRow), lastColumn);
}

void SetWorkbookProperties(lxw_workbook* workbook, const QString& title, const QString& subject)
{
    // The library copies the texts it is given.
    QByteArray titleText = SheetText(title);
    QByteArray subjectText = SheetText(subject);
    QByteArray comments = SheetText(kApplicationTitle + QStringLiteral(" " AUDITOR_VERSION));
    lxw_doc_properties properties = {};
    properties.title = titleText.data();
    properties.subject = subjectText.data();
    properties.comments = comments.data();
    workbook_set_properties(workbook, &properties);
}
