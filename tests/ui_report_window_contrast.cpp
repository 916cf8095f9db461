// Report window texts stay readable under light and dark desktop palettes: the filter
// labels and the summary bar, against the background the window paints under them.
#include "ReportWindowFixture.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <cmath>
#include <map>

namespace {

double Luminance(const QColor& c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour most of the label's area is painted in, in a picture of the whole window.
QColor BackgroundUnder(const QImage& shot, QWidget& window, QLabel* label)
{
    const QRect r(label->mapTo(&window, QPoint(0, 0)), label->size());
    std::map<QRgb, int> counts;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[shot.pixel(x, y)];
    return QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                               return a.second < b.second;
                           })->first);
}

QPalette DarkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(55, 55, 58));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(38, 79, 120));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(45, 45, 48));
    p.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    return p;
}

TEST_F(ReportWindow, TextsAreReadableUnderLightAndDarkPalettes)
{
    const QPalette saved = QApplication::palette();
    struct Restore {
        QPalette palette;
        ~Restore() { QApplication::setPalette(palette); }
    } restore{saved};
    const std::pair<const char*, QPalette> palettes[] = {{"light", QApplication::style()->standardPalette()},
                                                         {"dark", DarkPalette()}};
    for (const auto& [name, palette] : palettes) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        auto form = Open<TSalesSummaryForm>(dbSqlite);
        form->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*form));
        QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton); // the filters in view again
        const QImage shot = form->grab().toImage();
        if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
            shot.save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/report-%1.png").arg(name));
        QList<QLabel*> labels = form->FiltersPanel->findChildren<QLabel*>();
        labels << form->SummaryLabel << form->RecorsPerPageLabel << form->FiltersCaptionLabel;
        ASSERT_GE(labels.size(), 8);
        for (QLabel* label : labels) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            SCOPED_TRACE(label->text().toStdString());
            const QColor text = label->palette().color(QPalette::Active, label->foregroundRole());
            const QColor background = BackgroundUnder(shot, *form, label);
            EXPECT_GE(Contrast(text, background), 4.5) << text.name().toStdString() << " on "
                                                       << background.name().toStdString();
        }
    }
}

} // namespace
