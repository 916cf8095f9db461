// The ribbon's font, label and tooltip texts, hover frame and SVG pictures.

#include "RibbonLook.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>

QFont RibbonFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(12);
    return font;
}

QString StripMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

QString TooltipHtml(const QString& title, const QString& description)
{
    const QString plainTitle = StripMnemonic(title).trimmed();
    if (plainTitle.isEmpty() && description.trimmed().isEmpty())
        return {};
    QString html = QStringLiteral("<p style='white-space:pre'><b>%1</b></p>").arg(plainTitle.toHtmlEscaped());
    if (!description.trimmed().isEmpty())
        html += QStringLiteral("<p>%1</p>").arg(description.trimmed().toHtmlEscaped());
    return html;
}

// A large button's label on one or two lines: a label with spaces is broken at the
// space that gives the narrowest button.
QStringList SplitLabel(const QString& label, const QFontMetrics& metrics)
{
    const QString text = label.trimmed();
    QStringList best{text};
    int bestWidth = -1;
    for (qsizetype i = text.indexOf(u' '); i >= 0; i = text.indexOf(u' ', i + 1)) {
        const QString first = text.left(i).trimmed();
        const QString second = text.mid(i + 1).trimmed();
        if (first.isEmpty() || second.isEmpty())
            continue;
        const int width = std::max(metrics.horizontalAdvance(StripMnemonic(first)),
                                   metrics.horizontalAdvance(StripMnemonic(second)));
        if (bestWidth < 0 || width < bestWidth) {
            bestWidth = width;
            best = QStringList{first, second};
        }
    }
    return best;
}


void DrawHoverFrame(QPainter& painter, const QRect& rect, bool pressed)
{
    painter.setPen(pressed ? kPressedLine : kHoverLine);
    painter.setBrush(pressed ? kPressedFill : kHoverFill);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

QIcon LoadSvgIcon(const QString& path, std::initializer_list<int> sizes)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QIcon icon;
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
