#pragma once
// TLoadingAnimation: the animated picture over a report's grid while a page loads: a
// circular arc that fades along its length and turns, on white; 24 frames of 70 ms. After a
// second the time spent so far is written under it; a control of the window's (its Cancel
// button) may sit below that.

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

class TLoadingAnimation : public QWidget {
public:
    static constexpr int kFrames = 24;
    static constexpr int kFrameMs = 70;

    explicit TLoadingAnimation(QWidget* parent = nullptr);

    void Start();
    void Stop();
    bool Animating() const { return FTimer.isActive(); }
    int Frame() const { return FFrame; }
    // The time written under the arc after `ms` milliseconds of loading: nothing in the first
    // second, then "Зареждане… 5 с", from a minute on "Зареждане… 1:05 мин".
    static QString ElapsedText(qint64 ms);
    // Makes `control` a child of the picture, centred under the arc and its time.
    void PlaceBelow(QWidget* control);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The arc's square and the line of text under it, for the widget's size.
    QRectF ArcBox() const;
    QRectF TextLine(const QRectF& arc) const;
    void PlaceControl();

    QWidget* FBelow = nullptr;
    QTimer FTimer;
    QElapsedTimer FClock;
    int FFrame = 0;
};
