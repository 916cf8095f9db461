// The check window: its findings run, paged and exported with the check's purpose, filters
// and parameters; the parameter fields beside the filters; the rows behind a finding.
#include "CheckWindowFixture.h"

#include <QCheckBox>
#include <QLayout>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimeEdit>

namespace {

const TCheckDef& UnpForm() { return *FindCheckByKey(u"unp-form"); }


// 120 sales with UNPs of no form (among them one holding SQL), 5 well-formed ones and one
// without a UNP, in March 2026.
QStringList MalformedUnps()
{
    QStringList unps;
    for (int i = 1; i <= 5; ++i)
        unps << GoodUnp(i);
    unps << QStringLiteral("X'; DELETE FROM SalesSummaryAudit; --");
    for (int i = 1; i < 120; ++i)
        unps << QStringLiteral("bad-%1").arg(i, 3, 10, QLatin1Char('0'));
    unps << QString();
    return unps;
}

TEST_F(CheckWindow, RunsPagesAndExportsItsFindingsUnderItsPurposeAndFilters)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    BuildScratchSales(*db, MalformedUnps());
    auto form = OpenCheck(dbSqlite, kScratchDsn, UnpForm());
    EXPECT_EQ(form->windowTitle(), QString::fromUtf16(UnpForm().Title));
    EXPECT_EQ(form->ParamsPanel(), nullptr); // a check without parameters shows none
    SetPeriod(*form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
    ASSERT_TRUE(WaitIdle(*form));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    // Every malformed UNP and the sale without one; the well-formed ones are no finding.
    EXPECT_EQ(form->CurrentRecCount(), 121);
    EXPECT_EQ(form->DataSource().rowCount(), 100);
    form->NextPageButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->DataSource().rowCount(), 21);
    const QStringList secondPage = Column(*form, 0);
    for (int i = 1; i <= 5; ++i)
        EXPECT_FALSE(secondPage.contains(GoodUnp(i)));

    // The export holds the title, the purpose, the filters, then every finding.
    const QStringList lines = ExportLines(*form);
    ASSERT_GT(lines.size(), 6);
    EXPECT_EQ(lines[0], QString::fromUtf16(UnpForm().Title));
    const qsizetype purpose = lines.indexOf(QString::fromUtf16(UnpForm().Purpose));
    ASSERT_GT(purpose, 0);
    EXPECT_TRUE(lines[purpose + 1].contains(QStringLiteral("01.03.2026"))) << lines[purpose + 1].toStdString();
    const qsizetype captions = lines.indexOf(QRegularExpression(QStringLiteral("^УНП\tДокумент\t.*")));
    ASSERT_GT(captions, purpose) << lines.mid(0, 12).join(QStringLiteral("\n")).toStdString();
    QStringList exported;
    for (qsizetype i = captions + 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty() && !lines[i].startsWith(u'-'))
            exported << lines[i].section(u'\t', 0, 0);
    EXPECT_EQ(exported.size(), 121);
    EXPECT_TRUE(exported.contains(QStringLiteral("X'; DELETE FROM SalesSummaryAudit; --")));
    EXPECT_EQ(db->FastSql(QStringLiteral("select count(*) from SalesSummaryAudit")).toInt(), 126);
}

TEST_F(CheckWindow, TakesItsParametersFromFieldsBesideTheFiltersAndRemembersThem)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    BuildScratchSales(*db, {GoodUnp(1), GoodUnp(2)});
    auto form = OpenCheck(dbSqlite, kScratchDsn, kParamsCheck);
    TCheckParamsPanel* panel = form->ParamsPanel();
    ASSERT_TRUE(panel);
    // The fields sit before the Report button, with their defaults.
    auto* filterLayout = form->FiltersPanel->layout();
    EXPECT_LT(filterLayout->indexOf(panel), filterLayout->indexOf(form->ReportButtonPanel));
    EXPECT_EQ(panel->ToleranceField->text(), QStringLiteral("0,01"));
    EXPECT_EQ(panel->MinutesField->value(), 60);
    EXPECT_FALSE(panel->OpeningHoursBox->isChecked());
    EXPECT_FALSE(panel->OpensAtField->isEnabled());
    // The activity types come from the database, as they are stored; the default is chosen.
    QStringList names, chosen;
    for (int i = 0; i < panel->ActivitiesList->count(); ++i) {
        names << panel->ActivitiesList->item(i)->text();
        if (panel->ActivitiesList->item(i)->checkState() == Qt::Checked)
            chosen << names.last();
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("<b>Анулиране</b>"), QStringLiteral("Продажба"),
                                  QStringLiteral("Сторниране на продажба")}));
    EXPECT_EQ(chosen, QStringList{QStringLiteral("Сторниране на продажба")});

    Shot(*form, "check-params-fields.png");
    SetPeriod(*form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    // Text that is no amount keeps the run from starting, with the focus on it.
    for (const char* refused : {"abc", "0,001", "-1", ""}) {
        SCOPED_TRACE(refused);
        panel->ToleranceField->setText(QString::fromUtf8(refused));
        form->ReportButtonClick();
        EXPECT_FALSE(form->PageLoading());
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);
        EXPECT_TRUE(panel->ToleranceField->property("refused").toBool());
    }
    // Both decimal marks are taken; Enter in a field runs the check.
    struct Case {
        const char* typed;
        qint64 cents;
    };
    for (const Case& c : {Case{"0.05", 5}, Case{"1,5", 150}}) {
        SCOPED_TRACE(c.typed);
        panel->ToleranceField->setText(QString::fromUtf8(c.typed));
        panel->MinutesField->setValue(45);
        QTest::keyClick(panel->ToleranceField, Qt::Key_Return);
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->Params().ToleranceCents, c.cents);
        EXPECT_EQ(Column(*form, 1), QStringList(2, QString::number(c.cents)));
        EXPECT_EQ(Column(*form, 2), QStringList(2, QStringLiteral("45")));
    }
    panel->OpeningHoursBox->setChecked(true);
    panel->OpensAtField->setTime(QTime(7, 30));
    panel->ClosesAtField->setTime(QTime(22, 0));
    panel->ActivitiesList->item(0)->setCheckState(Qt::Checked);
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Допуск: 1,50 лв.")));
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Работно време: 07:30 – 22:00")));
    Shot(*form, "check-params.png");
    // The parameters' words go into the export too, the markup-like name as it is.
    const QStringList lines = ExportLines(*form);
    EXPECT_TRUE(lines.contains(QStringLiteral("Най-много отворена: 45 мин.")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Дейности за сторно: „<b>Анулиране</b>“, „Сторниране на продажба“")));
    // Refused with the filters folded away: they open again, the focus on the field.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(form->FiltersPanel->isHidden());
    panel->ToleranceField->setText(QStringLiteral("1,2,3"));
    form->ReportButtonClick();
    EXPECT_FALSE(form->PageLoading());
    EXPECT_FALSE(form->FiltersPanel->isHidden());
    EXPECT_EQ(QApplication::focusWidget(), panel->ToleranceField);
    EXPECT_EQ(form->Params().ToleranceCents, 150); // the run's parameters stay
    panel->ToleranceField->setText(QStringLiteral("1,50"));
    form->close();
    form.reset();

    // Another window of the check opens with them.
    auto again = OpenCheck(dbSqlite, kScratchDsn, kParamsCheck);
    TCheckParamsPanel* p = again->ParamsPanel();
    EXPECT_EQ(p->ToleranceField->text(), QStringLiteral("1,50"));
    EXPECT_EQ(p->MinutesField->value(), 45);
    EXPECT_TRUE(p->OpeningHoursBox->isChecked());
    EXPECT_EQ(p->OpensAtField->time(), QTime(7, 30));
    EXPECT_EQ(again->Params().ReversalActivities,
              (QStringList{QStringLiteral("<b>Анулиране</b>"), QStringLiteral("Сторниране на продажба")}));
}

// The rows of the views behind the chosen finding, found by its UNP as a bound value.
TEST_F(CheckWindow, ShowsTheRowsBehindTheChosenFinding)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    const QString hostile = QStringLiteral("X' OR '1'='1");
    BuildScratchSales(*db, {GoodUnp(1), hostile, QStringLiteral("bad-1"), QString()});
    auto form = OpenCheck(dbSqlite, kScratchDsn, UnpForm());
    SetPeriod(*form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    ASSERT_EQ(form->CurrentRecCount(), 3);
    TCheckEvidencePanel* evidence = form->Evidence();
    EXPECT_FALSE(evidence->isVisible());
    EXPECT_FALSE(form->EvidenceButton->isEnabled()); // no finding chosen

    const int row = int(Column(*form, 0).indexOf(hostile));
    ASSERT_GE(row, 0);
    form->ReportDBGrid->setCurrentIndex(form->DataSource().index(row, 0));
    ASSERT_TRUE(form->EvidenceButton->isEnabled());
    QTest::keyClick(form->ReportDBGrid, Qt::Key_Return);
    ASSERT_TRUE(evidence->isVisible());
    ASSERT_TRUE(PumpUntil([&] { return !evidence->Loading(); }));
    // Under the grid, in a splitter.
    EXPECT_EQ(evidence->parentWidget(), form->findChild<QSplitter*>(QStringLiteral("EvidenceSplitter")));

    struct TabCase {
        TReportKind kind;
        int rows;
    };
    const TabCase tabs[] = {{rkSalesSummary, 1}, {rkSalesDetail, 2}, {rkPayments, 1},
                            {rkReversedSales, 0}, {rkRevokedSales, 0}, {rkUsersLog, 1}};
    ASSERT_EQ(evidence->Tabs().size(), std::size(tabs));
    for (size_t i = 0; i < std::size(tabs); ++i) {
        const auto& tab = evidence->Tabs()[i];
        SCOPED_TRACE(ReportTitle(tab.Kind).toStdString());
        EXPECT_EQ(tab.Kind, tabs[i].kind);
        EXPECT_EQ(tab.Count, tabs[i].rows);
        const QString caption = evidence->TabWidget->tabText(int(i));
        EXPECT_TRUE(caption.startsWith(ReportTitle(tab.Kind)));
        if (tabs[i].rows == 0) {
            EXPECT_TRUE(caption.endsWith(QStringLiteral("(няма)")));
            EXPECT_FALSE(tab.Empty->isHidden());
            continue;
        }
        // The report's own columns and captions; only the finding's sale.
        const TReportDef& def = ReportDef(tab.Kind);
        ASSERT_EQ(tab.Source->columnCount(), def.ColumnCount);
        for (int c = 0; c < def.ColumnCount; ++c)
            EXPECT_EQ(tab.Source->headerData(c, Qt::Horizontal).toString(), QString::fromUtf16(def.Columns[c].Caption));
        ASSERT_EQ(tab.Source->rowCount(), tabs[i].rows);
        for (int r = 0; r < tab.Source->rowCount(); ++r)
            EXPECT_EQ(tab.Source->CellText(r, 0), tab.Kind == rkUsersLog ? QStringLiteral("3") : hostile);
    }
    EXPECT_EQ(evidence->TabWidget->currentIndex(), 0);

    // A double click on another finding; a finding without a UNP says it has none.
    const int nullRow = int(Column(*form, 0).indexOf(QString()));
    ASSERT_GE(nullRow, 0);
    form->ReportDBGrid->setCurrentIndex(form->DataSource().index(nullRow, 0));
    form->EvidenceAction->trigger();
    EXPECT_EQ(evidence->Stack->currentWidget(), evidence->MessageLabel);
    EXPECT_TRUE(evidence->MessageLabel->text().contains(QStringLiteral("УНП")));
    const int badRow = int(Column(*form, 0).indexOf(QStringLiteral("bad-1")));
    const QRect cell = form->ReportDBGrid->visualRect(form->DataSource().index(badRow, 2));
    QTest::mouseClick(form->ReportDBGrid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(form->ReportDBGrid->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(PumpUntil([&] { return !evidence->Loading(); }));
    ASSERT_FALSE(evidence->Tabs().empty());
    EXPECT_EQ(evidence->Tabs()[0].Source->CellText(0, 0), QStringLiteral("bad-1"));
    Shot(*form, "check-evidence.png");

    // Closed, the grid has the focus again.
    evidence->CloseButton->click();
    EXPECT_FALSE(evidence->isVisible());
}

// Closing the window while the rows behind a finding load: the statement is cancelled on the
// server, the panel's connection goes, and nothing is left behind.
TEST_F(CheckWindow, ClosingWhileTheRowsBehindAFindingLoadIsSafe)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchSales(*db, {QStringLiteral("bad-1"), GoodUnp(1)}, rkSalesDetail);
    auto form = OpenCheck(dbPostgres, kScratchPgDsn, UnpForm());
    SetPeriod(*form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    ASSERT_EQ(form->CurrentRecCount(), 1);
    const int before = OtherBackends(*db);
    form->ReportDBGrid->setCurrentIndex(form->DataSource().index(0, 0));
    form->EvidenceButton->click();
    const int pid = SleepingBackend(*db, QStringLiteral("%SalesDetailsAudit%"));
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(form->Evidence()->Loading());
    EXPECT_EQ(OtherBackends(*db), before + 1); // the panel's own connection
    EXPECT_TRUE(form->Evidence()->LoadingImage->isVisible());
    form->close();
    form.reset();
    EXPECT_TRUE(PumpUntil([&] { return OtherBackends(*db) == 0; }));
}

// Esc gives the load up: the tabs not read say so, and another finding can be shown.
TEST_F(CheckWindow, TheLoadOfTheRowsBehindAFindingCanBeGivenUp)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchSales(*db, {QStringLiteral("bad-1"), GoodUnp(1)}, rkSalesDetail);
    auto form = OpenCheck(dbPostgres, kScratchPgDsn, UnpForm());
    SetPeriod(*form, QDate(2026, 3, 1), QDate(2026, 3, 31));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    form->ReportDBGrid->setCurrentIndex(form->DataSource().index(0, 0));
    ASSERT_TRUE(form->ShowEvidence());
    ASSERT_NE(SleepingBackend(*db, QStringLiteral("%SalesDetailsAudit%")), 0);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->Evidence()->Loading());
    EXPECT_TRUE(PumpUntil([&] { return Sleepers(*db) == 0; }));
    const auto& tabs = form->Evidence()->Tabs();
    ASSERT_EQ(tabs.size(), 6u);
    EXPECT_EQ(tabs[0].Count, 1);
    EXPECT_TRUE(form->Evidence()->TabWidget->tabText(1).endsWith(QStringLiteral("(не е заредено)")));
    EXPECT_TRUE(form->ReportButton->isEnabled());
}

} // namespace
