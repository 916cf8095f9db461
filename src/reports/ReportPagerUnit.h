#pragma once
// TReportPager: the report window's pager without its widgets. It holds the captions of the
// five page buttons and which of them are enabled, and works out for each move the page to
// show and the buttons once that page has run.

#include <QString>
#include <array>

// Reset: a fresh run from the first page (the Report button, First, a new page size).
enum class TPagerAction { paReset, paNext, paPrevious, paLast };

enum TPagerButton { pbFirst, pbPrevious, pbCurrent, pbNext, pbLast };
inline constexpr int kPagerButtonCount = 5;

class TReportPager {
public:
    // A move worked out and not yet shown.
    struct TMove {
        TPagerAction Action;
        int Page;        // index of the page to run
        int PagesBefore; // the page count held before the move; Next and Last go by it
    };

    // ceil(rows / pageSize); 0 when the page size is not positive.
    static int PageCount(int rows, int pageSize);

    // Before the first run: First reads "1", the others are blank, every button disabled.
    TReportPager();

    // The move `action` makes from page index `page` with `pageCount` pages. The pager
    // stays as it is until Commit: the page has yet to run, and may fail.
    TMove Plan(TPagerAction action, int page, int pageCount) const;
    // The page of `move` ran; `pageCount` is the count of that run (a Reset goes by it).
    void Commit(const TMove& move, int pageCount);

    const QString& Caption(TPagerButton button) const { return FCaptions[button]; }
    // Current is never enabled.
    bool Enabled(TPagerButton button) const { return FEnabled[button]; }

private:
    void SetCaptions(int previous, int current, int next);
    void SetEnabled(bool first, bool previous, bool next, bool last);

    std::array<QString, kPagerButtonCount> FCaptions;
    std::array<bool, kPagerButtonCount> FEnabled{};
};
