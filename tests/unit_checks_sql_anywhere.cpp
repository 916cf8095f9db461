// The checks' statements as SQL Anywhere gets them (there is no server to run them on): no
// window function (its versions 9 to 11 have none to rely on), no WITH, nothing read but the
// audit views, the period in its day form, and the texts from the user (the log's activity
// types) never spliced in with their quotes.
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "checks/CheckSqlUnit.h"
#include "reports/RepositoryUnit.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QSet<QString> kAllowedViews = {
    QStringLiteral("SalesSummaryAudit"), QStringLiteral("SalesDetailsAudit"),       QStringLiteral("SalesPaymentsAudit"),
    QStringLiteral("SalesReversedAudit"), QStringLiteral("SalesRevokedAudit"),      QStringLiteral("ItemsAudit"),
    QStringLiteral("PartnersAudit"),     QStringLiteral("OperationsAudit"),         QStringLiteral("PayTypesAudit"),
    QStringLiteral("StoreNamesAudit"),   QStringLiteral("UsersAudit"),              QStringLiteral("UsersLogAudit"),
    QStringLiteral("StoreFilterAudit"),  QStringLiteral("FiscalDeviceFilterAudit"), QStringLiteral("UserFilterAudit")};

TEST(ChecksOnSqlAnywhere, UseNoWindowAndReadOnlyTheAuditViews)
{
    const TRepository repo(dbSybase);
    const TCheckQuery checks(repo, QDate(2027, 1, 15));
    TReportFilters filtered;
    filtered.FromDate = DateToDays(QDate(2025, 1, 1));
    filtered.ToDate = DateToDays(QDate(2025, 12, 31));
    filtered.StoreN = 2;
    filtered.FiscalDeviceN = 3;
    filtered.UserN = 4;
    TCheckParams params;
    params.OpensAt = QTime(22, 0);
    params.ClosesAt = QTime(6, 0);
    const QRegularExpression source(QStringLiteral("\\b(?:FROM|JOIN)\\s+([A-Za-z_][A-Za-z_0-9.]*)"),
                                    QRegularExpression::CaseInsensitiveOption);
    for (const TCheckDef& def : CheckList()) {
        for (const TReportFilters& filters : {TReportFilters{}, filtered}) {
            SCOPED_TRACE(def.Key);
            const QString text = checks.FindingsSql(def, filters, params);
            EXPECT_FALSE(text.contains(QStringLiteral(" OVER"), Qt::CaseInsensitive)) << text.toStdString();
            EXPECT_FALSE(text.trimmed().startsWith(QStringLiteral("WITH"), Qt::CaseInsensitive));
            EXPECT_FALSE(text.contains(u"typeof", Qt::CaseInsensitive)) << text.toStdString();
            if (filters.FromDate != 0 && (def.Filters & rfPeriod))
                EXPECT_TRUE(text.contains(QStringLiteral("20250101"))) << "the period, as SQL Anywhere writes a day";
            int read = 0;
            for (auto m = source.globalMatch(text); m.hasNext(); ++read) {
                const QString name = m.next().captured(1);
                EXPECT_TRUE(kAllowedViews.contains(name)) << name.toStdString();
            }
            EXPECT_GT(read, 0);
        }
    }
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
