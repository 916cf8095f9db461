// Report windows on the offscreen platform against real databases: the pager, the filter
// panel, the twelve reports, two windows side by side, the filter fields and the summary bar.
#include "ReportWindowFixture.h"

namespace {

struct PagerStep {
    const char* action;        // "report", "next", "previous", "last", "first", "size100"
    QStringList captions;      // First, Previous, Current, Next, Last
    QString enabled;           // First, Previous, Next, Last: '1' enabled, '0' disabled
    int firstRow, lastRow;     // item codes shown (0, 0: none)
};

struct PagerCase {
    const char* name;
    int items;
    std::vector<PagerStep> steps;
};

TEST_F(ReportWindow, PagerFollowsItsTable)
{
    const QStringList page1 = {"1", "1", "1", "2", "3"};
    const QStringList page2 = {"1", "1", "2", "3", "3"};
    const QStringList page3 = {"1", "2", "3", "3", "3"};
    const PagerCase cases[] = {
        {"1001 rows at 500",
         1001,
         {{"report", page1, "0011", 1, 500},
          {"next", page2, "1111", 501, 1000},
          {"next", page3, "1100", 1001, 1001},
          {"first", page1, "0011", 1, 500},
          {"last", page3, "1100", 1001, 1001},
          {"previous", page2, "1111", 501, 1000},
          {"previous", page1, "0011", 1, 500}}},
        {"no rows", 0, {{"report", {"1", "1", "1", "0", "0"}, "0000", 0, 0}}},
        {"exactly one page", 300, {{"report", {"1", "1", "1", "1", "1"}, "0000", 1, 300}}},
        {"page size changed on page 3",
         1001,
         {{"report", page1, "0011", 1, 500},
          {"next", page2, "1111", 501, 1000},
          {"next", page3, "1100", 1001, 1001},
          {"size100", {"1", "1", "1", "2", "11"}, "0011", 1, 100},
          {"last", {"1", "10", "11", "11", "11"}, "1100", 1001, 1001}}},
    };
    for (const PagerCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto form = OpenScratchItems(c.items);
        for (const PagerStep& step : c.steps) {
            SCOPED_TRACE(step.action);
            const QString action = QString::fromLatin1(step.action);
            if (action == QLatin1String("report"))
                QTest::mouseClick(form->ReportButton, Qt::LeftButton);
            else if (action == QLatin1String("next"))
                QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
            else if (action == QLatin1String("previous"))
                QTest::mouseClick(form->PreviousPageButton, Qt::LeftButton);
            else if (action == QLatin1String("last"))
                QTest::mouseClick(form->LastPageButton, Qt::LeftButton);
            else if (action == QLatin1String("first"))
                QTest::mouseClick(form->FirstPageButton, Qt::LeftButton);
            else if (action == QLatin1String("size100"))
                form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
            // While the page loads, the Report button, the page size and the pager wait.
            EXPECT_FALSE(form->ReportButton->isEnabled() && form->PageLoading());
            ASSERT_TRUE(WaitIdle(*form));
            ASSERT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
            EXPECT_TRUE(form->PagesPanel->isEnabled());
            EXPECT_TRUE(form->cbRecordsPerPage->isEnabled());

            const QStringList captions = {form->FirstPageButton->text(), form->PreviousPageButton->text(),
                                          form->CurrentPageButton->text(), form->NextPageButton->text(),
                                          form->LastPageButton->text()};
            EXPECT_EQ(captions, step.captions);
            QString enabled;
            for (QPushButton* b : {form->FirstPageButton, form->PreviousPageButton, form->NextPageButton,
                                   form->LastPageButton})
                enabled += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            EXPECT_EQ(enabled, step.enabled);
            EXPECT_FALSE(form->CurrentPageButton->isEnabled());
            EXPECT_EQ(form->CurrentRecCount(), c.items);

            // The rows of the page, against what the scratch table holds.
            const QStringList codes = Column(*form, 0);
            EXPECT_EQ(codes, step.firstRow ? Numbers(step.firstRow, step.lastRow) : QStringList());
            if (step.firstRow) {
                EXPECT_EQ(form->DataSource().CellText(0, 1), QStringLiteral("Стока %1").arg(step.firstRow));
                EXPECT_EQ(form->DataSource().CellText(0, 2), QStringLiteral("05.01.2026"));
                EXPECT_EQ(form->DataSource().headerData(0, Qt::Vertical).toString(), QString::number(step.firstRow));
            }
        }
    }
}

// Rows added between two moves: every move counts again, the Last caption keeps the count
// of the latest fresh run.
TEST_F(ReportWindow, RowsAddedBetweenMovesAreCountedButLastKeepsItsCaption)
{
    auto form = OpenScratchItems(1001);
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    auto db = TestManager(dbSqlite, kScratchDsn);
    db->FastSql(QStringLiteral("insert into ItemsAudit select ItemCode + 1001, 'Стока ' || (ItemCode + 1001), "
                               "ItemCreateDate, ItemLastChangeDate, null from ItemsAudit where ItemCode <= 500"));
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), 1501);
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("3"));
    QTest::mouseClick(form->LastPageButton, Qt::LeftButton); // to the 4th page of the new count
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(Column(*form, 0), Numbers(1501, 1501));
    EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("4"));
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("3"));
    QTest::mouseClick(form->FirstPageButton, Qt::LeftButton); // a fresh run: the caption follows
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("4"));
}

// Pager moves keep the filters of the latest run, whatever the filter widgets show since; a
// page-size change before the first run runs the report without any filter.
TEST_F(ReportWindow, PagerKeepsTheFiltersOfTheLatestRun)
{
    QJsonObject month, all;
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray()) {
        if (v[QStringLiteral("name")] == QLatin1String("month"))
            month = v.toObject();
        if (v[QStringLiteral("name")] == QLatin1String("all"))
            all = v.toObject();
    }
    auto count = [](const QJsonObject& rec) {
        return rec[QStringLiteral("counts")][QStringLiteral("SalesDetailsAudit")].toInt();
    };
    ASSERT_GT(count(month), 200);

    auto form = Open<TSalesDetailForm>(dbSqlite);
    // Before the first run: nothing to page through, the page size runs the report.
    for (QPushButton* b : {form->FirstPageButton, form->PreviousPageButton, form->CurrentPageButton,
                           form->NextPageButton, form->LastPageButton})
        EXPECT_FALSE(b->isEnabled());
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("1000")));
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(all));
    EXPECT_EQ(form->DataSource().rowCount(), 1000);
    EXPECT_EQ(form->CurrentFilters().FromDate, 0);

    form->FromDateFilterPicker->setDate(QDate::fromString(month[QStringLiteral("FromDate")].toString(), Qt::ISODate));
    form->ToDateFilterPicker->setDate(QDate::fromString(month[QStringLiteral("ToDate")].toString(), Qt::ISODate));
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(all)); // the page size alone does not read the filters

    QTest::mouseClick(form->ReportButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(month));
    EXPECT_EQ(form->LastPageButton->text(), QString::number((count(month) + 99) / 100));

    // Filters changed but not run: the next page still belongs to the latest run.
    form->StoreFilterLookup->setCurrentIndex(1);
    form->FromDateFilterPicker->setDate(QDate(2025, 1, 1));
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(month));
    EXPECT_EQ(form->DataSource().rowCount(), 100);
    EXPECT_EQ(form->DataSource().headerData(0, Qt::Vertical).toString(), QStringLiteral("101"));
}

TEST_F(ReportWindow, FilterPanelToggles)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    auto arrows = [&] {
        return QString::fromLatin1("%1%2%3%4")
            .arg(form->ShowLeftImage->isVisible())
            .arg(form->ShowRightImage->isVisible())
            .arg(form->HideLeftImage->isVisible())
            .arg(form->HideRightImage->isVisible());
    };
    // A new window: today's period, every lookup on "<Всички>", 500 a page, blank grid area.
    EXPECT_TRUE(form->FiltersPanel->isVisible());
    EXPECT_EQ(arrows(), QStringLiteral("0011"));
    EXPECT_EQ(form->FromDateFilterPicker->date(), QDate::currentDate());
    EXPECT_EQ(form->ToDateFilterPicker->date(), QDate::currentDate());
    for (QComboBox* lookup : {form->StoreFilterLookup, form->FiscalDeviceFilterLookup, form->UserFilterLookup}) {
        EXPECT_EQ(lookup->currentText(), QStringLiteral("<Всички>"));
        EXPECT_EQ(lookup->currentData().toString(), QStringLiteral("0"));
        EXPECT_GT(lookup->count(), 1);
    }
    // After "<Всички>", each box lists its lookup's rows in the statement's order, by name,
    // each standing for its number.
    {
        auto manager = TestManager(dbSqlite);
        const std::pair<QComboBox*, TLookupKind> boxes[] = {{form->StoreFilterLookup, TLookupKind::Stores},
                                                            {form->FiscalDeviceFilterLookup, TLookupKind::FiscalDevices},
                                                            {form->UserFilterLookup, TLookupKind::Operators}};
        for (const auto& [box, kind] : boxes) {
            TQuery q;
            q.SetConnection(&manager->OpenConnection());
            q.SetSQL(QString::fromUtf16(LookupListItem(kind).Sql));
            q.Open();
            QStringList want, shown;
            for (; !q.Eof(); q.Next())
                want << q.Fields(0).AsString() + QLatin1Char('=') + q.Fields(1).AsString();
            for (int i = 1; i < box->count(); ++i)
                shown << box->itemData(i).toString() + QLatin1Char('=') + box->itemText(i);
            EXPECT_EQ(shown, want) << LookupListItem(kind).Key;
        }
    }
    EXPECT_EQ(form->cbRecordsPerPage->currentText(), QStringLiteral("500"));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);
    EXPECT_TRUE(form->LoadingPanel->isVisible());
    EXPECT_FALSE(form->LoadingGifImage->isVisible());
    EXPECT_FALSE(form->ReportDBGrid->isVisible());

    // The bar, its label and its arrows all toggle the panel.
    QTest::mouseClick(form->FiltersCaptionLabel, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(arrows(), QStringLiteral("1100"));
    QTest::mouseClick(form->ShowRightImage, Qt::LeftButton);
    EXPECT_TRUE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->FiltersPanel->width(), 185);
    EXPECT_EQ(arrows(), QStringLiteral("0011"));
    QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    QEvent toggle(WM_TOGGLE_FILTERS);
    QCoreApplication::sendEvent(form.get(), &toggle);
    EXPECT_TRUE(form->FiltersPanel->isVisible());

    // The Report button hides the panel, and the filters of the hidden panel still apply.
    QJsonObject rec;
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray())
        if (v[QStringLiteral("name")] == QLatin1String("monthUser"))
            rec = v.toObject();
    form->FromDateFilterPicker->setDate(QDate::fromString(rec[QStringLiteral("FromDate")].toString(), Qt::ISODate));
    form->ToDateFilterPicker->setDate(QDate::fromString(rec[QStringLiteral("ToDate")].toString(), Qt::ISODate));
    form->UserFilterLookup->setCurrentIndex(
        form->UserFilterLookup->findData(QString::number(rec[QStringLiteral("UserN")].toInt())));
    QTest::mouseClick(form->ReportButton, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoading);
    EXPECT_TRUE(form->LoadingGifImage->isVisible());
    EXPECT_TRUE(form->LoadingGifImage->Animating());
    ASSERT_TRUE(WaitIdle(*form));
    const int expected = rec[QStringLiteral("counts")][QStringLiteral("SalesSummaryAudit")].toInt();
    EXPECT_EQ(form->CurrentRecCount(), expected);
    EXPECT_EQ(form->DataSource().rowCount(), expected);
    QTest::mouseClick(form->ReportButton, Qt::LeftButton); // the panel stays hidden
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->CurrentRecCount(), expected);
    EXPECT_FALSE(form->LoadingGifImage->Animating());
    EXPECT_TRUE(form->ReportDBGrid->isVisible());
}

struct ReportCase {
    int command;
    TReportKind kind;
    const char* caption;
    TReportUIFilters filters;
};

// Every report through its ribbon command: caption, filter sub-panels, column titles, and a
// first page whose texts look as a user expects (numbers right, dates dd.MM.yyyy, amounts
// with two decimals).
TEST_F(ReportWindow, TheTwelveReports)
{
    const ReportCase cases[] = {
        {CmdSalesSummary, rkSalesSummary, "Продажби Обобщени", 15},
        {CmdSalesDetail, rkSalesDetail, "Продажби детайлни", 15},
        {CmdSalePayments, rkPayments, "Плащания", 15},
        {CmdSalesReturn, rkReversedSales, "Сторнирани продажби", 15},
        {CmdRevokedSales, rkRevokedSales, "Анулирани продажби", 15},
        {CmdItemsData, rkItems, "Стоки", 0},
        {CmdPartners, rkPartners, "Клиенти / Доставчици", 0},
        {CmdActivityTypes, rkActivityTypes, "Видове Операции", 0},
        {CmdPayTypes, rkPayTypes, "Видове плащания", 0},
        {CmdStores, rkStores, "Търговски обекти", 0},
        {CmdUsers, rkUsers, "Потребители", 0},
        {CmdActionsLog, rkUsersLog, "Лог на действията", 1},
    };
    QTemporaryDir dir;
    const std::unique_ptr<TMainForm> mainWindow = MainOnDemo(dir);
    TMainForm& main = *mainWindow;
    ASSERT_TRUE(main.Repository());
    const QJsonObject all = ExpectedNumbers()[QStringLiteral("filters")].toArray()[0].toObject();
    ASSERT_EQ(all[QStringLiteral("name")].toString(), QStringLiteral("all"));
    const QRegularExpression date(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?$"));
    const QRegularExpression amount(QStringLiteral("^-?\\d+\\.\\d{2,}$"));

    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.caption);
        dynamic_cast<TUICommandAction*>(main.Ribbon()->CommandById(c.command))->Execute();
        auto* form = dynamic_cast<TAbsReportBaseForm*>(main.MdiArea()->activeSubWindow()->widget());
        ASSERT_TRUE(form);
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_EQ(form->ReportUIFilters(), c.filters);
        EXPECT_EQ(!form->PeriodFilterPanel->isHidden(), bool(c.filters & rfPeriod));
        EXPECT_EQ(!form->StoreFilterPanel->isHidden(), bool(c.filters & rfStore));
        EXPECT_EQ(!form->FpFilterPanel->isHidden(), bool(c.filters & rfFP));
        EXPECT_EQ(!form->UserFilterPanel->isHidden(), bool(c.filters & rfUser));
        EXPECT_FALSE(form->ReportButtonPanel->isHidden());
        EXPECT_GT(form->UserFilterLookup->count(), 1); // the lookups are loaded for every report

        form->FromDateFilterPicker->setDate(QDate(2000, 1, 1));
        form->ToDateFilterPicker->setDate(QDate(2099, 12, 31));
        form->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*form));
        const TReportDef& def = ReportDef(c.kind);
        const int expected = all[QStringLiteral("counts")][QString::fromUtf16(def.View)].toInt();
        EXPECT_EQ(form->CurrentRecCount(), expected);
        EXPECT_EQ(form->DataSource().rowCount(), std::min(expected, 500));
        QStringList titles, want;
        for (int i = 0; i < form->DataSource().columnCount(); ++i)
            titles << form->DataSource().headerData(i, Qt::Horizontal).toString();
        for (int i = 0; i < def.ColumnCount; ++i)
            want << QString::fromUtf16(def.Columns[i].Caption);
        EXPECT_EQ(titles, want);

        TQuery& page = form->PageQuery();
        for (int col = 0; col < page.FieldCount(); ++col) {
            const TField& f = page.Fields(col);
            const int align = form->DataSource().data(form->DataSource().index(0, col), Qt::TextAlignmentRole).toInt();
            EXPECT_EQ(bool(align & Qt::AlignRight), IsNumericFieldType(f.DataType())) << f.FieldName().toStdString();
            for (int r = 0; r < std::min(form->DataSource().rowCount(), 50); ++r) {
                const QString text = form->DataSource().CellText(r, col);
                if (text.isEmpty())
                    continue;
                if (IsTemporalFieldType(f.DataType()) && f.DataType() != ftTime) {
                    EXPECT_TRUE(date.match(text).hasMatch()) << text.toStdString();
                }
                if (f.DataType() == ftBCD || f.DataType() == ftFMTBcd || f.DataType() == ftFloat) {
                    EXPECT_TRUE(amount.match(text).hasMatch()) << f.FieldName().toStdString() << " " << text.toStdString();
                }
            }
        }
    }
    EXPECT_EQ(main.MdiArea()->subWindowList().size(), 12);
}

// Two windows load at the same time, each on its own connection.
TEST_F(ReportWindow, TwoWindowsLoadSideBySide)
{
    auto detail = Open<TSalesDetailForm>(dbPostgres);
    auto payments = Open<TPaymentsForm>(dbPostgres);
    for (TAbsReportBaseForm* f : {static_cast<TAbsReportBaseForm*>(detail.get()), static_cast<TAbsReportBaseForm*>(payments.get())}) {
        f->FromDateFilterPicker->setDate(QDate(2000, 1, 1));
        f->ToDateFilterPicker->setDate(QDate(2099, 12, 31));
    }
    const int pid1 = detail->SqlManager().FastSql(QStringLiteral("select pg_backend_pid()")).toInt();
    const int pid2 = payments->SqlManager().FastSql(QStringLiteral("select pg_backend_pid()")).toInt();
    EXPECT_NE(pid1, pid2);
    detail->ReportButtonClick();
    payments->ReportButtonClick();
    EXPECT_EQ(detail->LoadingState(), TLoadingState::lsLoading);
    EXPECT_EQ(payments->LoadingState(), TLoadingState::lsLoading);
    ASSERT_TRUE(WaitIdle(*detail));
    ASSERT_TRUE(WaitIdle(*payments));
    const QJsonObject counts = ExpectedNumbers()[QStringLiteral("filters")].toArray()[0][QStringLiteral("counts")].toObject();
    EXPECT_EQ(detail->CurrentRecCount(), counts[QStringLiteral("SalesDetailsAudit")].toInt());
    EXPECT_EQ(payments->CurrentRecCount(), counts[QStringLiteral("SalesPaymentsAudit")].toInt());
    EXPECT_EQ(detail->DataSource().rowCount(), 500);
    EXPECT_EQ(payments->DataSource().rowCount(), 500);
    EXPECT_EQ(detail->DataSource().columnCount(), 10);
    EXPECT_EQ(payments->DataSource().columnCount(), 14);
}

// A failing count or page query leaves the window usable: the driver's message in the error
// box, no loading picture, the Report button, the page size and the pager enabled again.
TEST_F(ReportWindow, FilterFieldsPagerTipsAndBulgarianCalendars)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // the system's, say
    TAuditorApplication::ApplyLocale();
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    QCalendarWidget* calendar = form->FromDateFilterPicker->calendarWidget();
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->locale().language(), QLocale::Bulgarian);
    EXPECT_EQ(calendar->locale().standaloneMonthName(3), QStringLiteral("март"));
    EXPECT_EQ(form->FromDateFilterPicker->displayFormat(), QStringLiteral("dd.MM.yyyy")); // the format stays

    const std::pair<QPushButton*, const char*> tips[] = {
        {form->FirstPageButton, "Първа страница"},     {form->PreviousPageButton, "Предишна страница"},
        {form->CurrentPageButton, "Текуща страница"},  {form->NextPageButton, "Следваща страница"},
        {form->LastPageButton, "Последна страница"},
    };
    for (const auto& [button, tip] : tips)
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(tip)) << button->objectName().toStdString();

    for (QWidget* field : std::initializer_list<QWidget*>{form->StoreFilterLookup, form->ToDateFilterPicker}) {
        SCOPED_TRACE(field->objectName().toStdString());
        if (form->FiltersPanel->isHidden()) // the run before hid it; a click on the bar shows it
            QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
        ASSERT_FALSE(form->FiltersPanel->isHidden());
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(form->PageLoading()); // the run has begun
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
        EXPECT_TRUE(form->FiltersPanel->isHidden());
    }
}

// The summary bar says what the grid holds once the filter panel is hidden: the count, the
// filters of the latest run in words, and the data source; later changes to the filter
// fields do not change it until the next run.
TEST_F(ReportWindow, SummaryBarSaysWhatTheGridHolds)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Източник: AuditDemo")));
    form->FromDateFilterPicker->setDate(QDate(2026, 3, 1));
    form->ToDateFilterPicker->setDate(QDate(2026, 3, 31));
    form->StoreFilterLookup->setCurrentIndex(1);
    const QString store = form->StoreFilterLookup->currentText();
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    const QString expected = QStringLiteral("Период: 01.03.2026 – 31.03.2026&nbsp;&nbsp;·&nbsp;&nbsp;Обект: %1"
                                            "&nbsp;&nbsp;·&nbsp;&nbsp;Източник: AuditDemo")
                                 .arg(store.toHtmlEscaped());
    EXPECT_TRUE(form->SummaryLabel->text().endsWith(expected)) << form->SummaryLabel->text().toStdString();
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral(" записа")));
    EXPECT_FALSE(form->SummaryLabel->text().contains(QStringLiteral("Оператор")));
    if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
        form->grab().save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/report-summary.png"));

    form->StoreFilterLookup->setCurrentIndex(0);
    form->FirstPageButtonClick(); // a move keeps the filters of the latest run
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_TRUE(form->SummaryLabel->text().endsWith(expected)) << form->SummaryLabel->text().toStdString();
}

// Closing a window while its page loads cancels the statement and frees the window and its
// connection.
} // namespace
