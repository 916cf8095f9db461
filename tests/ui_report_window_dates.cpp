// The filter's date fields as a user types in them: the date typed is the date taken,
// whatever section was selected, and text that is no date is refused in plain sight.
#include "ReportWindowFixture.h"

#include "reports/DateFieldUnit.h"

#include <QApplication>
#include <QImage>

namespace {

const QDate kBefore(2026, 8, 15); // the field's date before each typing

void StartTyping(TAbsReportBaseForm& form, TDateField* field, const char* selected)
{
    QApplication::setActiveWindow(&form);
    field->setDate(kBefore);
    field->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return field->hasFocus(); }));
    const QString s = QString::fromLatin1(selected);
    if (s == QLatin1String("all"))
        field->selectAll();
    else
        field->setSelectedSection(s == QLatin1String("day")     ? QDateTimeEdit::DaySection
                                  : s == QLatin1String("month") ? QDateTimeEdit::MonthSection
                                                                : QDateTimeEdit::YearSection);
}

TEST_F(ReportWindow, DatesAreTakenAsTyped)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    const struct {
        const char* selected;
        const char* keys;
        QDate want;
    } cases[] = {
        {"day", "01.01.2025", {2025, 1, 1}},   {"month", "01.01.2025", {2025, 1, 1}},
        {"year", "01.01.2025", {2025, 1, 1}},  {"all", "01.01.2025", {2025, 1, 1}},
        {"day", "01012025", {2025, 1, 1}},     {"year", "31122024", {2024, 12, 31}},
        {"all", "1.2.25", {2025, 2, 1}},       {"month", "5/6/2024", {2024, 6, 5}},
        {"day", "29.02.2024", {2024, 2, 29}},  {"day", "3", {2026, 8, 3}},
        {"month", "05", {2026, 5, 15}},        {"year", "2024", {2024, 8, 15}},
        {"day", "20.3", {2026, 3, 20}},        {"month", "02.2025", {2025, 2, 15}},
    };
    for (TDateField* field : {form->FromDateFilterPicker, form->ToDateFilterPicker})
        for (const auto& c : cases) {
            SCOPED_TRACE(field->objectName().toStdString() + " " + c.selected + " " + c.keys);
            StartTyping(*form, field, c.selected);
            QTest::keyClicks(field, QString::fromLatin1(c.keys));
            EXPECT_EQ(field->text(), QString::fromLatin1(c.keys)); // shown as typed meanwhile
            QTest::keyClick(field, Qt::Key_Tab);
            EXPECT_EQ(field->date(), c.want);
            EXPECT_EQ(field->text(), c.want.toString(QStringLiteral("dd.MM.yyyy")));
            EXPECT_FALSE(field->Refused());
        }

    // Enter ends the typing and runs the report with the date typed.
    StartTyping(*form, form->FromDateFilterPicker, "month");
    QTest::keyClicks(form->FromDateFilterPicker, QStringLiteral("01.03.2026"));
    QTest::keyClick(form->FromDateFilterPicker, Qt::Key_Return);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
    EXPECT_EQ(DaysToDate(form->CurrentFilters().FromDate), QDate(2026, 3, 1));
    EXPECT_EQ(DaysToDate(form->CurrentFilters().ToDate), QDate(2025, 2, 15)); // its last case

    // Escape puts the date back as it was.
    QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
    StartTyping(*form, form->ToDateFilterPicker, "day");
    QTest::keyClicks(form->ToDateFilterPicker, QStringLiteral("0707"));
    QTest::keyClick(form->ToDateFilterPicker, Qt::Key_Escape);
    EXPECT_EQ(form->ToDateFilterPicker->text(), QStringLiteral("15.08.2026"));
    QTest::keyClick(form->ToDateFilterPicker, Qt::Key_Tab);
    EXPECT_EQ(form->ToDateFilterPicker->date(), kBefore);
}

// A date that does not exist is never turned into another: the field keeps the text, framed
// in red with the reason as its tooltip, and neither Enter nor the Report button runs the
// report until it is mended.
TEST_F(ReportWindow, ImpossibleDatesAreRefused)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    TDateField* field = form->FromDateFilterPicker;
    for (const char* keys : {"31.02.2025", "32012025", "01.13.2025", "1..2025", "01.01.202"}) {
        SCOPED_TRACE(keys);
        StartTyping(*form, field, "day");
        QTest::keyClicks(field, QString::fromLatin1(keys));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(field->Refused());
        EXPECT_EQ(field->date(), kBefore);
        EXPECT_EQ(field->text(), QString::fromLatin1(keys));
        EXPECT_TRUE(field->toolTip().contains(QString::fromLatin1(keys)));
        EXPECT_FALSE(form->PageLoading());
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);

        // The button takes the focus from the field: still refused, still nothing run.
        QTest::mouseClick(form->ReportButton, Qt::LeftButton);
        EXPECT_FALSE(form->PageLoading());
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);
        EXPECT_TRUE(field->Refused());
        EXPECT_EQ(field->text(), QString::fromLatin1(keys));
        EXPECT_TRUE(field->hasFocus());
        const QImage shot = field->grab().toImage();
        const QColor frame = shot.pixelColor(1, shot.height() / 2);
        EXPECT_GT(frame.red(), 180);
        EXPECT_LT(frame.green(), 80);
        if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
            form->grab().save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/date-refused.png"));
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_FALSE(field->Refused());
    }

    // Mended with Backspace, the date is taken and the report runs.
    StartTyping(*form, field, "all");
    QTest::keyClicks(field, QStringLiteral("31.02.2025"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(field->Refused());
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("03.2025"));
    EXPECT_FALSE(field->Refused());
    QTest::mouseClick(form->ReportButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
    EXPECT_EQ(field->date(), QDate(2025, 3, 31));
    EXPECT_EQ(DaysToDate(form->CurrentFilters().FromDate), QDate(2025, 3, 31));
}

} // namespace
