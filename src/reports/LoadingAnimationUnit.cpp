// The animated picture shown while a page loads.
#include "LoadingAnimationUnit.h"

#include <QPainter>
#include <algorithm>

TLoadingAnimation::TLoadingAnimation(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    FTimer.setInterval(kFrameMs);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] {
        FFrame = (FFrame + 1) % kFrames;
        update();
    });
}

void TLoadingAnimation::Start()
{
    FFrame = 0;
    FClock.start();
    FTimer.start();
    update();
}

void TLoadingAnimation::Stop() { FTimer.stop(); }

QString TLoadingAnimation::ElapsedText(qint64 ms)
{
    if (ms < 1000)
        return {};
    const qint64 seconds = ms / 1000;
    if (seconds < 60)
        return QStringLiteral("Зареждане… %1 с").arg(seconds);
    return QStringLiteral("Зареждане… %1:%2 мин").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QRectF TLoadingAnimation::ArcBox() const
{
    const int side = std::clamp(std::min(width(), height()) / 6, 24, 72);
    return QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side);
}

QRectF TLoadingAnimation::TextLine(const QRectF& arc) const
{
    const qreal pen = std::max(3.0, arc.width() / 9.0);
    return QRectF(0, arc.bottom() + pen + 6, width(), fontMetrics().height() + 4);
}

void TLoadingAnimation::PlaceBelow(QWidget* control)
{
    FBelow = control;
    control->setParent(this);
    PlaceControl();
}

void TLoadingAnimation::resizeEvent(QResizeEvent*) { PlaceControl(); }

void TLoadingAnimation::PlaceControl()
{
    if (!FBelow)
        return;
    const QSize size = FBelow->sizeHint().expandedTo(QSize(96, 0));
    const QRectF line = TextLine(ArcBox());
    FBelow->setGeometry(int((width() - size.width()) / 2.0), int(line.bottom() + 10), size.width(), size.height());
}

void TLoadingAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = ArcBox();
    const qreal side = box.width();
    const qreal pen = std::max(3.0, side / 9.0);
    // The arc is drawn as short segments whose opacity falls from head to tail.
    constexpr int kSegments = 36;
    constexpr qreal kSweep = 270.0;
    const qreal head = 90.0 - FFrame * (360.0 / kFrames);
    const QColor base(0x2b, 0x6c, 0xb0);
    for (int i = 0; i < kSegments; ++i) {
        QColor c = base;
        c.setAlphaF(1.0 - qreal(i) / kSegments);
        painter.setPen(QPen(c, pen, Qt::SolidLine, Qt::FlatCap));
        const qreal start = head + i * (kSweep / kSegments);
        painter.drawArc(box, int(start * 16), int((kSweep / kSegments + 0.8) * 16));
    }
    const QString elapsed = FTimer.isActive() ? ElapsedText(FClock.elapsed()) : QString();
    if (!elapsed.isEmpty()) {
        painter.setPen(QColor(0x33, 0x33, 0x33)); // dark on the picture's own white
        painter.drawText(TextLine(box), Qt::AlignHCenter | Qt::AlignTop, elapsed);
    }
}
