// Order and find in a report window on the demo databases: a click on a column title sorts
// the whole result (ascending, descending, then the report's own order), the pages and the
// export follow it; Ctrl+F's field finds a text in the text columns, and the export writes
// just the rows found. Each window is checked against the rows read from the database
// without the window's order or find.
#include "ReportWindowFixture.h"

#include "common/CodePage1251.h"
#include "reports/ReportSortFindUnit.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

namespace {

// Every row of a report for the whole demo period, with its filters and its own order, as
// the engine gives them: the texts of `columns`.
std::vector<QStringList> RowsOf(TDbType type, TReportKind kind, const std::vector<int>& columns)
{
    auto db = TestManager(type);
    TReportFilters f;
    f.FromDate = DateToDays(QDate(2025, 1, 1));
    f.ToDate = DateToDays(QDate(2026, 12, 31));
    QString reportSql, recCountSql;
    TRepository(type).FillReportQuery(kind, reportSql, recCountSql, f);
    TQuery q(&db->OpenConnection(), ckForwardOnly);
    q.SetSQL(reportSql);
    q.Open();
    std::vector<QStringList> rows;
    for (; !q.Eof(); q.Next()) {
        QStringList row;
        for (int c : columns)
            row << q.Fields(c).AsString();
        rows.push_back(row);
    }
    return rows;
}

// The text of a money cell as a number ("1 234,50" and "1234.50" alike).
double Amount(QString text)
{
    text.remove(u' ').remove(QChar(0xA0)).replace(u',', u'.');
    return text.toDouble();
}

class SortFindWindow : public ReportWindow {
protected:
    void TearDown() override
    {
        TAbsReportBaseForm::SetExportHandler(nullptr);
        ReportWindow::TearDown();
    }

    // Opens report `T` on the demo database of `type` for the whole demo period, 100 rows a
    // page, and runs it.
    template <class T>
    std::unique_ptr<TAbsReportBaseForm> OpenRun(TDbType type)
    {
        auto form = Open<T>(type);
        form->FromDateFilterPicker->setDate(QDate(2025, 1, 1));
        form->ToDateFilterPicker->setDate(QDate(2026, 12, 31));
        form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
        EXPECT_TRUE(WaitIdle(*form));
        QTest::mouseClick(form->ReportButton, Qt::LeftButton);
        EXPECT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
        return form;
    }

    // A real click on the title of `column`, scrolled into view first.
    static void ClickTitle(TAbsReportBaseForm& form, int column)
    {
        QHeaderView* header = form.ReportDBGrid->horizontalHeader();
        form.ReportDBGrid->scrollTo(form.DataSource().index(0, column));
        QApplication::processEvents();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    // The export of the window's whole result written as CSV into the test's folder and
    // read back: the texts of `column` of every record, in file order.
    QStringList ExportColumn(TAbsReportBaseForm& form, int column)
    {
        const QString path = QDir(folder.path()).filePath(QStringLiteral("export.csv"));
        TAbsReportBaseForm::SetExportHandler([&](TQuery& query, const RExportOptions& opts, int expected) {
            RExportOptions o = opts;
            o.FileName = path;
            auto strategy = TExportStrategyAbs::GetInstance(o, TExportSource{&query, nullptr}, &query);
            EXPECT_TRUE(strategy->Init(expected) && strategy->MakeExport());
        });
        QFile::remove(path);
        QEvent request(WM_EXPORT_CSV);
        QCoreApplication::sendEvent(&form, &request);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList lines = FromWindows1251(file.readAll()).split(QStringLiteral("\r\n"));
        QStringList values;
        for (int i = 1; i < lines.size(); ++i) // the captions first
            if (!lines[i].isEmpty())
                values << lines[i].split(u'\t').value(column);
        return values;
    }

    // Saves the window's picture for a look, when AUDITOR_SHOTS_DIR names a folder.
    static void Shot(TAbsReportBaseForm& form, const char* name)
    {
        const QString dir = qEnvironmentVariable("AUDITOR_SHOTS_DIR");
        if (!dir.isEmpty())
            form.grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
    }

    QTemporaryDir folder;
};

// Ascending, descending, the report's own order: the grid's title, the summary, the pages
// (the last one holding the end of the order) and the export follow each click.
TEST_F(SortFindWindow, TitleClicksOrderTheWholeResult)
{
    constexpr int kAmount = 10; // TotalSumWithVAT, "Дължима сума"
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "sqlite" : "postgres");
        const std::vector<QStringList> rows = RowsOf(type, rkSalesSummary, {0, kAmount});
        ASSERT_GT(rows.size(), 300u);
        auto form = OpenRun<TSalesSummaryForm>(type);
        const QString ownSql = form->PageQuery().SQL();
        QHeaderView* header = form->ReportDBGrid->horizontalHeader();
        EXPECT_EQ(header->sortIndicatorSection(), -1);

        for (const bool descending : {false, true}) {
            SCOPED_TRACE(descending ? "descending" : "ascending");
            ClickTitle(*form, kAmount);
            ASSERT_TRUE(form->PageLoading());
            // While the page loads (its grid hidden behind the picture) a click does nothing.
            emit form->ReportDBGrid->horizontalHeader()->sectionClicked(kAmount);
            ASSERT_TRUE(WaitIdle(*form));
            ASSERT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
            EXPECT_EQ(header->sortIndicatorSection(), kAmount);
            EXPECT_EQ(header->sortIndicatorOrder(), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            EXPECT_TRUE(form->SummaryLabel->text().contains(
                descending ? QStringLiteral("Подредба: „Дължима сума“, низходящо")
                           : QStringLiteral("Подредба: „Дължима сума“, възходящо")))
                << form->SummaryLabel->text().toStdString();
            EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("1"));
            EXPECT_EQ(form->CurrentRecCount(), int(rows.size()));
            if (descending && type == dbPostgres) {
                form->ReportDBGrid->scrollTo(form->DataSource().index(0, kAmount));
                Shot(*form, "sorted-descending.png");
            }

            // The expected order: by amount, the report's own order among equal amounts.
            std::vector<QStringList> sorted = rows;
            std::stable_sort(sorted.begin(), sorted.end(), [&](const QStringList& a, const QStringList& b) {
                return descending ? Amount(a[1]) > Amount(b[1]) : Amount(a[1]) < Amount(b[1]);
            });
            QStringList expectedUnp;
            for (const QStringList& r : sorted)
                expectedUnp << r[0];

            QStringList shown = Column(*form, 0);
            QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
            ASSERT_TRUE(WaitIdle(*form));
            shown << Column(*form, 0);
            EXPECT_EQ(shown, expectedUnp.mid(0, 200));
            QTest::mouseClick(form->LastPageButton, Qt::LeftButton);
            ASSERT_TRUE(WaitIdle(*form));
            const QStringList last = Column(*form, 0);
            EXPECT_EQ(last, expectedUnp.mid(expectedUnp.size() - last.size()));
            EXPECT_EQ(ExportColumn(*form, 0), expectedUnp);
        }

        ClickTitle(*form, kAmount); // the third click: the report's own order again
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(header->sortIndicatorSection(), -1);
        EXPECT_FALSE(form->SummaryLabel->text().contains(QStringLiteral("Подредба")));
        EXPECT_EQ(form->PageQuery().SQL(), ownSql);
        EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("1"));
    }
}

// Ctrl+F, a text in another case, Enter: the count, the pages and the export hold exactly
// the rows whose text columns hold it; Esc closes the field and the find stays; an empty
// find gives the whole result back.
TEST_F(SortFindWindow, FindKeepsTheRowsHoldingTheText)
{
    const TReportDef& def = ReportDef(rkSalesDetail);
    std::vector<int> all;
    for (int c = 0; c < def.ColumnCount; ++c)
        all.push_back(c);
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "sqlite" : "postgres");
        const std::vector<QStringList> rows = RowsOf(type, rkSalesDetail, all);
        const QString needle = QStringLiteral("КАФЕ м");
        QStringList expectedUnp;
        for (const QStringList& r : rows) {
            bool holds = false;
            for (int c = 0; c < def.ColumnCount; ++c)
                holds = holds || (def.Columns[c].Role == TColumnRole::Text && r[c].toLower().contains(needle.toLower()));
            if (holds)
                expectedUnp << r[0];
        }
        ASSERT_GT(expectedUnp.size(), 100);
        ASSERT_LT(expectedUnp.size(), int(rows.size()));

        auto form = OpenRun<TSalesDetailForm>(type);
        QLineEdit* field = form->SortFind->FindField;
        EXPECT_TRUE(form->SortFind->FindPanel->isHidden());
        form->activateWindow();
        QApplication::setActiveWindow(form.get()); // shortcuts go to the active window
        form->ReportDBGrid->setFocus();
        QTest::keyClick(form->ReportDBGrid, Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(form->SortFind->FindPanel->isVisible());
        EXPECT_TRUE(field->hasFocus());
        field->insert(needle); // QTest types ASCII only
        QTest::keyClick(field, Qt::Key_Return);
        ASSERT_TRUE(WaitIdle(*form));
        ASSERT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
        EXPECT_EQ(form->CurrentRecCount(), expectedUnp.size());
        EXPECT_EQ(Column(*form, 0), expectedUnp.mid(0, 100));
        EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Търсене: „КАФЕ м“")));
        if (type == dbPostgres)
            Shot(*form, "find-open.png");
        QTest::mouseClick(form->LastPageButton, Qt::LeftButton);
        ASSERT_TRUE(WaitIdle(*form));
        const QStringList last = Column(*form, 0);
        EXPECT_EQ(last, expectedUnp.mid(expectedUnp.size() - last.size()));
        EXPECT_EQ(ExportColumn(*form, 0), expectedUnp);

        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_TRUE(form->SortFind->FindPanel->isHidden());
        EXPECT_EQ(form->CurrentRecCount(), expectedUnp.size());
        EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Търсене:")));

        // Reopened, it shows the find in force; emptied, Enter removes it.
        QTest::keyClick(form->ReportDBGrid, Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(field->text(), needle);
        field->clear();
        QTest::keyClick(field, Qt::Key_Return);
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->CurrentRecCount(), int(rows.size()));
        EXPECT_FALSE(form->SummaryLabel->text().contains(QStringLiteral("Търсене:")));
    }
}

} // namespace
