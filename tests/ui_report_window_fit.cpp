// Report windows in a main window from 640x480 up: every one fits its frame, with the
// longest filter entries chosen and run, the filter panel shown and hidden again, and the
// last page button in full view.
#include "ReportWindowFixture.h"

#include <QScrollArea>
#include <QScrollBar>

namespace {

// The entry of `box` with the longest name.
int LongestEntry(const QComboBox* box)
{
    int longest = 0;
    for (int i = 1; i < box->count(); ++i)
        if (box->itemText(i).size() > box->itemText(longest).size())
            longest = i;
    return longest;
}

void ExpectFits(TMainForm& main, TAbsReportBaseForm& form, const char* when)
{
    SCOPED_TRACE(when);
    // The layouts first follow what was shown and hidden (they wait for the event loop).
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        Pump(20);
    }
    QMdiArea* area = main.MdiArea();
    QMdiSubWindow* sub = area->activeSubWindow();
    ASSERT_TRUE(sub);
    ASSERT_EQ(sub->widget(), &form);
    const QRect viewport = area->viewport()->rect();
    EXPECT_TRUE(viewport.contains(sub->geometry())) << sub->geometry().width() << "x" << sub->geometry().height()
                                                    << " in " << viewport.width() << "x" << viewport.height();
    const QRect formInViewport(form.mapTo(area->viewport(), QPoint(0, 0)), form.size());
    EXPECT_TRUE(viewport.contains(formInViewport));
    const QRect last(form.LastPageButton->mapTo(&form, QPoint(0, 0)), form.LastPageButton->size());
    EXPECT_TRUE(form.LastPageButton->isVisible());
    EXPECT_TRUE(form.rect().contains(last)) << last.right() << " > " << form.width();
    const QRect report(form.ReportButton->mapTo(&form, QPoint(0, 0)), form.ReportButton->size());
    // The panel's button, when the panel is shown: in view, or its scroll bar is.
    const auto* filterScroll = form.findChild<QScrollArea*>(QStringLiteral("FiltersScrollArea"));
    ASSERT_TRUE(filterScroll);
    if (form.ReportButton->isVisible() && !form.rect().contains(report)) {
        EXPECT_TRUE(filterScroll->verticalScrollBar()->isVisible()) << report.bottom() << " > " << form.height();
    }
}

TEST_F(ReportWindow, WindowsFitTheirFrame)
{
    QTemporaryDir dir;
    const std::unique_ptr<TMainForm> mainWindow = MainOnDemo(dir);
    TMainForm& main = *mainWindow;
    ASSERT_TRUE(main.Repository());
    for (const QSize size : {QSize(640, 480), QSize(1280, 1024)}) {
        SCOPED_TRACE(size.width());
        main.resize(size);
        for (int k = rkSalesSummary; k <= rkUsersLog; ++k) {
            SCOPED_TRACE(k);
            main.CloseAllReports();
            main.OpenReportWindow(TReportKind(k));
            auto* form = dynamic_cast<TAbsReportBaseForm*>(main.MdiArea()->activeSubWindow()->widget());
            ASSERT_TRUE(form);
            ExpectFits(main, *form, "opened");
            form->FromDateFilterPicker->setDate(QDate(2000, 1, 1));
            form->ToDateFilterPicker->setDate(QDate(2099, 12, 31));
            for (QComboBox* box : {form->StoreFilterLookup, form->FiscalDeviceFilterLookup, form->UserFilterLookup})
            {
                box->setCurrentIndex(LongestEntry(box));
                EXPECT_EQ(box->toolTip(), box->currentText()); // the name the box has no room for
                EXPECT_LE(box->width(), form->FiltersPanel->width());
            }
            form->ReportButtonClick();
            ASSERT_TRUE(WaitIdle(*form));
            ExpectFits(main, *form, "run");
            QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
            ExpectFits(main, *form, "panel shown");
            if (size.width() == 640 && k == rkPayments && !qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
                main.grab().save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/fit-640-payments.png"));
            QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
            ExpectFits(main, *form, "panel hidden");
            // The grid scrolls sideways exactly when its columns are wider than it (once its
            // deferred layout has followed the panel).
            QTableView* grid = form->ReportDBGrid;
            EXPECT_TRUE(PumpUntil([&] {
                return grid->horizontalScrollBar()->isVisible() ==
                       (grid->horizontalHeader()->length() > grid->viewport()->width());
            }));
            if (k == rkPayments && !qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
                main.grab().save(qEnvironmentVariable("AUDITOR_SHOTS") +
                                 QStringLiteral("/fit-%1-payments-run.png").arg(size.width()));
        }
    }
    main.CloseAllReports();
}

} // namespace
