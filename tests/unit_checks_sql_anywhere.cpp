// The statements of the sums, reversals and people checks as SQL Anywhere gets them (there
// is no server to run them on): no window function, only the audit views, and the texts from
// the user (the log's activity types) never spliced in with their quotes.
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "reports/RepositoryUnit.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QSet<QString> kAllowedViews = {
    QStringLiteral("SalesSummaryAudit"), QStringLiteral("SalesDetailsAudit"), QStringLiteral("SalesPaymentsAudit"), QStringLiteral("SalesReversedAudit"),
    QStringLiteral("SalesRevokedAudit"), QStringLiteral("ItemsAudit"),         QStringLiteral("PartnersAudit"),      QStringLiteral("OperationsAudit"),
    QStringLiteral("PayTypesAudit"),     QStringLiteral("StoreNamesAudit"),    QStringLiteral("UsersAudit"),         QStringLiteral("UsersLogAudit"),
    QStringLiteral("StoreFilterAudit"),  QStringLiteral("FiscalDeviceFilterAudit"), QStringLiteral("UserFilterAudit")};

bool OursGroup(const TCheckDef& def)
{
    return def.Group == TCheckGroup::Sums || def.Group == TCheckGroup::Reversals || def.Group == TCheckGroup::People;
}

TEST(ChecksOnSqlAnywhere, UseNoWindowAndReadOnlyTheAuditViews)
{
    const TRepository repo(dbSybase);
    const TCheckQuery checks(repo, QDate(2027, 1, 15));
    TReportFilters filtered;
    filtered.FromDate = DateToDays(QDate(2026, 1, 1));
    filtered.ToDate = DateToDays(QDate(2026, 12, 31));
    filtered.StoreN = 2;
    filtered.FiscalDeviceN = 4;
    filtered.UserN = 7;
    const QRegularExpression source(QStringLiteral("\\b(?:FROM|JOIN)\\s+([A-Za-z_][A-Za-z_0-9.]*)"),
                                    QRegularExpression::CaseInsensitiveOption);
    int seen = 0;
    for (const TCheckDef& def : CheckList()) {
        if (!OursGroup(def))
            continue;
        ++seen;
        for (const TReportFilters& filters : {TReportFilters{}, filtered}) {
            SCOPED_TRACE(def.Key);
            const QString sql = checks.FindingsSql(def, filters, TCheckParams{});
            EXPECT_FALSE(sql.contains(u" OVER", Qt::CaseInsensitive)) << sql.toStdString();
            EXPECT_FALSE(sql.contains(u"typeof", Qt::CaseInsensitive)) << sql.toStdString();
            for (auto it = source.globalMatch(sql); it.hasNext();) {
                const QString name = it.next().captured(1);
                EXPECT_TRUE(kAllowedViews.contains(name)) << name.toStdString();
            }
        }
    }
    EXPECT_EQ(seen, 12);
}

TEST(ChecksOnSqlAnywhere, ActivityTypesReachTheStatementWithoutTheirQuotes)
{
    const TRepository repo(dbSybase);
    const TCheckQuery checks(repo, QDate(2027, 1, 15));
    const TCheckDef& def = *FindCheckByKey(u"rev-other-operator");
    TCheckParams params;
    params.ReversalActivities = {QStringLiteral("Сторно' OR 1=1 --\\")};
    const QString sql = checks.FindingsSql(def, TReportFilters{}, params);
    EXPECT_EQ(sql.count(u'\'') % 2, 0) << sql.toStdString(); // no quote left unpaired
    EXPECT_TRUE(sql.contains(u"CHAR(39)")) << sql.toStdString();
    EXPECT_TRUE(sql.contains(u"CHAR(92)")) << sql.toStdString();
    params.ReversalActivities.clear();
    EXPECT_TRUE(checks.FindingsSql(def, TReportFilters{}, params).contains(u"1 = 0"));
}

} // namespace
