// The statements of the numbering and time checks as SQL Anywhere gets them: no window
// function (its versions 9 to 11 have none to rely on), no WITH, and nothing read but the
// audit views, with every filter and parameter set.
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckSqlUnit.h"
#include "reports/RepositoryUnit.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

TEST(ChecksOnSqlAnywhere, NumberingAndTimeStatementsUseNoWindowAndReadOnlyTheViews)
{
    const TRepository repo(dbSybase);
    TReportFilters filters;
    filters.FromDate = DateToDays(QDate(2025, 1, 1));
    filters.ToDate = DateToDays(QDate(2025, 12, 31));
    filters.StoreN = 2;
    filters.FiscalDeviceN = 3;
    filters.UserN = 4;
    TCheckParams params;
    params.OpensAt = QTime(22, 0);
    params.ClosesAt = QTime(6, 0);
    const TCheckSql sql(repo, filters, params, QDate(2027, 1, 15));
    const QSet<QString> views = {QStringLiteral("SalesSummaryAudit"), QStringLiteral("SalesRevokedAudit")};
    const QRegularExpression source(QStringLiteral("\\b(?:FROM|JOIN)\\s+([A-Za-z_]\\w*)"),
                                    QRegularExpression::CaseInsensitiveOption);
    for (const TCheckDef& def : CheckList()) {
        if (def.Group != TCheckGroup::Numbering && def.Group != TCheckGroup::Times)
            continue;
        SCOPED_TRACE(def.Key);
        const QString text = def.Build(sql);
        EXPECT_FALSE(text.contains(QStringLiteral(" OVER"), Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_FALSE(text.trimmed().startsWith(QStringLiteral("WITH"), Qt::CaseInsensitive));
        EXPECT_TRUE(text.contains(QStringLiteral("20250101"))) << "the period, as SQL Anywhere writes a day";
        int read = 0;
        for (auto m = source.globalMatch(text); m.hasNext(); ++read) {
            const QString name = m.next().captured(1);
            EXPECT_TRUE(views.contains(name)) << name.toStdString();
        }
        EXPECT_GT(read, 0);
    }
}
