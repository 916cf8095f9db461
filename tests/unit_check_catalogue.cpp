// The catalogue of checks as data the windows, the overview and the exporter rely on: keys
// and titles that tell the checks apart, texts that CSV files can hold, and columns that the
// identity of a finding, its amount, its evidence and its own order name rightly.
#include "checks/CheckCatalogueUnit.h"
#include "common/CodePage1251.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

TEST(CheckCatalogue, EntriesAreWhole)
{
    QSet<QString> keys, titles, memories;
    for (const TCheckDef& def : CheckList()) {
        SCOPED_TRACE(def.Key);
        const QString key = QString::fromLatin1(def.Key);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z]+(-[a-z]+)+$")).match(key).hasMatch());
        EXPECT_FALSE(keys.contains(key));
        keys << key;
        EXPECT_FALSE(titles.contains(QString::fromUtf16(def.Title)));
        titles << QString::fromUtf16(def.Title);
        EXPECT_EQ(QString::fromUtf16(def.Grid.Name), QStringLiteral("check:") + key);
        EXPECT_FALSE(memories.contains(QString::fromUtf16(def.Grid.Name)));
        memories << QString::fromUtf16(def.Grid.Name);
        EXPECT_EQ(FindCheckByKey(key), &def);

        // Every text an export writes fits the CSV's code page.
        EXPECT_TRUE(FitsWindows1251(QString::fromUtf16(def.Title)));
        EXPECT_TRUE(FitsWindows1251(QString::fromUtf16(def.Purpose)));
        QSet<QString> aliases;
        for (int i = 0; i < def.Grid.ColumnCount; ++i) {
            EXPECT_TRUE(FitsWindows1251(QString::fromUtf16(def.Grid.Columns[i].Caption)));
            aliases << QString::fromUtf16(def.Grid.Columns[i].Column).toLower();
        }
        EXPECT_EQ(aliases.size(), def.Grid.ColumnCount) << "aliases repeat";

        EXPECT_GE(def.KeyColumnCount, 1);
        EXPECT_LE(def.KeyColumnCount, def.Grid.ColumnCount);
        if (def.AmountColumn >= 0) {
            ASSERT_LT(def.AmountColumn, def.Grid.ColumnCount);
            EXPECT_EQ(def.Grid.Columns[def.AmountColumn].Role, TColumnRole::Amount);
        }
        for (const QString& column : QString::fromUtf16(def.EvidenceColumns).split(u','))
            EXPECT_TRUE(aliases.contains(column.trimmed().toLower())) << column.toStdString();
        // The own order names the findings' columns only.
        const QString order = QString::fromUtf16(def.Grid.OrderBy);
        ASSERT_TRUE(order.startsWith(QStringLiteral(" ORDER BY "))) << order.toStdString();
        for (QString term : order.mid(10).split(u',')) {
            term = term.trimmed().section(u' ', 0, 0);
            EXPECT_TRUE(aliases.contains(term.toLower())) << term.toStdString();
        }
    }
    EXPECT_EQ(CheckKeys().count(u',') + 1, qsizetype(CheckList().size()));
}

} // namespace
