// TElidedLabel: the text is laid out as a document and cut where the width ends.
#include "ElidedLabelUnit.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

namespace {

const QString kEllipsis = QStringLiteral("…");

void Fill(QTextDocument& doc, const QLabel& label)
{
    doc.setDefaultFont(label.font());
    doc.setDocumentMargin(0);
    const bool rich = label.textFormat() == Qt::RichText ||
                      (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
    rich ? doc.setHtml(label.text()) : doc.setPlainText(label.text());
}

} // namespace

TElidedLabel::TElidedLabel(const QString& text, int minimumChars, QWidget* parent)
    : QLabel(text, parent), FMinimumChars(minimumChars)
{
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

QSize TElidedLabel::minimumSizeHint() const
{
    QTextDocument doc;
    Fill(doc, *this);
    const QString shown = doc.toPlainText().left(FMinimumChars) + kEllipsis;
    const int width = std::min(fontMetrics().horizontalAdvance(shown), QLabel::sizeHint().width());
    return {width + contentsMargins().left() + contentsMargins().right(), QLabel::minimumSizeHint().height()};
}

bool TElidedLabel::Elided() const
{
    QTextDocument doc;
    Fill(doc, *this);
    return doc.idealWidth() > contentsRect().width();
}

bool TElidedLabel::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        auto* help = static_cast<QHelpEvent*>(e);
        QTextDocument doc;
        Fill(doc, *this);
        if (Elided())
            QToolTip::showText(help->globalPos(), doc.toPlainText(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(e);
}

void TElidedLabel::paintEvent(QPaintEvent* e)
{
    QTextDocument doc;
    Fill(doc, *this);
    const QRect area = contentsRect();
    if (doc.idealWidth() <= area.width()) {
        QLabel::paintEvent(e);
        return;
    }
    // The characters that fit before the "…", which takes the format of the last of them.
    const int room = area.width() - fontMetrics().horizontalAdvance(kEllipsis);
    int cut = std::max(0, doc.documentLayout()->hitTest(QPointF(room, 1), Qt::FuzzyHit));
    for (;; --cut) {
        QTextCursor cursor(&doc);
        cursor.setPosition(cut);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.insertText(kEllipsis);
        if (cut == 0 || doc.idealWidth() <= area.width())
            break;
        Fill(doc, *this);
    }
    QPainter p(this);
    p.setClipRect(area);
    p.translate(area.left(), area.top() + (area.height() - doc.size().height()) / 2);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(foregroundRole()));
    doc.documentLayout()->draw(&p, context);
}
