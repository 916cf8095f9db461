// TReportPager: the page to run for each pager move and the page buttons after it.
#include "ReportPagerUnit.h"

#include <algorithm>
#include <cmath>

int TReportPager::PageCount(int rows, int pageSize)
{
    if (pageSize <= 0)
        return 0;
    return int(std::ceil(double(rows) / double(pageSize)));
}

TReportPager::TReportPager() { FCaptions[pbFirst] = QStringLiteral("1"); }

TReportPager::TMove TReportPager::Plan(TPagerAction action, int page, int pageCount) const
{
    switch (action) {
    case TPagerAction::paReset:
        return {action, 0, pageCount};
    case TPagerAction::paNext:
        return {action, page + 1, pageCount};
    case TPagerAction::paPrevious:
        return {action, page - 1, pageCount};
    case TPagerAction::paLast:
        return {action, std::max(0, pageCount - 1), pageCount};
    }
    return {action, page, pageCount};
}

void TReportPager::Commit(const TMove& move, int pageCount)
{
    const int p = move.Page;
    switch (move.Action) {
    case TPagerAction::paReset: {
        // The Last caption is set here only: it keeps the count of the latest fresh run.
        FCaptions[pbPrevious] = FCaptions[pbFirst];
        FCaptions[pbCurrent] = QString::number(p + 1);
        FCaptions[pbNext] = QString::number(p + 2);
        FCaptions[pbLast] = QString::number(pageCount);
        const bool onePage = pageCount < p + 2;
        if (onePage)
            FCaptions[pbNext] = QString::number(pageCount);
        SetEnabled(false, false, !onePage, !onePage);
        break;
    }
    case TPagerAction::paNext: {
        SetCaptions(p, p + 1, p + 2);
        const bool last = p == move.PagesBefore - 1;
        if (last)
            FCaptions[pbNext] = FCaptions[pbCurrent];
        SetEnabled(true, true, !last, !last);
        break;
    }
    case TPagerAction::paPrevious: {
        SetCaptions(p, p + 1, p + 2);
        const bool first = p == 0;
        if (first)
            FCaptions[pbPrevious] = FCaptions[pbFirst];
        // Next never reads past the Last caption.
        const bool reduced = FCaptions[pbNext].toInt() > FCaptions[pbLast].toInt();
        if (reduced)
            FCaptions[pbNext] = FCaptions[pbLast];
        SetEnabled(!first, !first, !reduced, !reduced);
        break;
    }
    case TPagerAction::paLast: {
        const int pages = move.PagesBefore;
        SetCaptions(pages - 1, pages, pages);
        SetEnabled(true, true, false, false);
        break;
    }
    }
}

void TReportPager::SetCaptions(int previous, int current, int next)
{
    FCaptions[pbPrevious] = QString::number(previous);
    FCaptions[pbCurrent] = QString::number(current);
    FCaptions[pbNext] = QString::number(next);
}

void TReportPager::SetEnabled(bool first, bool previous, bool next, bool last)
{
    FEnabled[pbFirst] = first;
    FEnabled[pbPrevious] = previous;
    FEnabled[pbCurrent] = false;
    FEnabled[pbNext] = next;
    FEnabled[pbLast] = last;
}
