// bench_grid: the statements of the report grid's column order and find, run through the
// program's own data layer (data manager, TQuery) as the report window runs them; the
// runner and its options are StatementBench.h's (--deep-page K: the zero-based page of the
// "deep" statements, default 1800: rows 900,001 to 900,500 at 500 rows a page).
//
// The statements are a table of names, each a report, the filters changed from none and
// whether the count or the page is run; a new statement is one more line of it.

#include "StatementBench.h"
#include "reports/RepositoryUnit.h"

#include <QString>
#include <functional>

namespace {

constexpr int kPageSize = 500; // the window's default page size

enum class TPart { Count, Page, Totals };

struct TStatement {
    const char* Name;
    TReportKind Kind;
    TPart Part;
    std::function<void(TReportFilters&, int deepPage)> Filters;
};

// The column order: "Дължима сума" (TotalSumWithVAT), descending, as a second click leaves it.
void AmountDescending(TReportFilters& f)
{
    f.SortColumn = 10;
    f.SortDescending = true;
}
// A find of a company form that many partner names end in, typed in small letters.
void FindCompanyForm(TReportFilters& f) { f.FindText = QStringLiteral("еоод"); }

const TStatement kStatements[] = {
    // The count the window runs without a find, beside which the find's cost shows.
    {"count", rkSalesSummary, TPart::Count, [](TReportFilters&, int) {}},
    {"sort_first", rkSalesSummary, TPart::Page, [](TReportFilters& f, int) { AmountDescending(f); }},
    {"sort_deep", rkSalesSummary, TPart::Page,
     [](TReportFilters& f, int deep) {
         AmountDescending(f);
         f.PageNumber = deep;
     }},
    {"find_count", rkSalesSummary, TPart::Count, [](TReportFilters& f, int) { FindCompanyForm(f); }},
    {"find_first", rkSalesSummary, TPart::Page, [](TReportFilters& f, int) { FindCompanyForm(f); }},
    // The sums of the totals row over the whole result.
    {"totals", rkSalesSummary, TPart::Totals, [](TReportFilters&, int) {}},
};

QString StatementSql(const TStatement& s, TDbType dialect, int deepPage)
{
    TReportFilters f;
    f.RecordsPerPage = kPageSize;
    s.Filters(f, deepPage);
    QString page, count;
    const TRepository repository(dialect);
    if (s.Part == TPart::Totals)
        return repository.FillTotalsQuery(s.Kind, f);
    repository.FillReportQuery(s.Kind, page, count, f);
    return s.Part == TPart::Count ? count : page;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<TBenchStatement> table;
    for (const TStatement& s : kStatements)
        table.push_back({QString::fromLatin1(s.Name), s.Part == TPart::Count,
                         [&s](TDbType dialect, int deepPage) { return StatementSql(s, dialect, deepPage); }});
    return RunStatementBench(argc, argv, "bench_grid", table, 1800);
}
