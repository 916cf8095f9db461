// bench_checks: the statements of the audit checks, run through the program's own data
// layer (data manager, TQuery) as the check windows and the overview run them; the runner
// and its options are StatementBench.h's.
//
// Three statements a check, on the whole data with the default parameters, the day of the
// check fixed so that every run reads the same: KEY.overview, the overview's count and
// amount; KEY.count and KEY.page, the count and first page of 500 findings its window runs.

#include "StatementBench.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QDate>

namespace {

constexpr int kPageSize = 500; // the window's default page size
const QDate kCheckDay(2027, 1, 15);

} // namespace

int main(int argc, char** argv)
{
    std::vector<TBenchStatement> table;
    for (const TCheckDef& def : CheckList()) {
        const QString key = QString::fromLatin1(def.Key);
        const auto statement = [&def](bool overview, bool count) {
            return [&def, overview, count](TDbType dialect, int) {
                const TRepository repository(dialect);
                const TCheckQuery query(repository, kCheckDay);
                TReportFilters filters;
                filters.RecordsPerPage = kPageSize;
                if (overview)
                    return query.OverviewSql(def, filters, TCheckParams{});
                QString page, countSql;
                query.FillQuery(def, filters, TCheckParams{}, page, countSql);
                return count ? countSql : page;
            };
        };
        table.push_back({key + QStringLiteral(".overview"), false, statement(true, false)});
        table.push_back({key + QStringLiteral(".count"), true, statement(false, true)});
        table.push_back({key + QStringLiteral(".page"), false, statement(false, false)});
    }
    return RunStatementBench(argc, argv, "bench_checks", table);
}
