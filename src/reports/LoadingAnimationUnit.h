#pragma once
// TLoadingAnimation: the animated picture over a report's grid while a page loads: a
// circular arc that fades along its length and turns, on white; 24 frames of 70 ms.

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer FTimer;
    int FFrame = 0;
};
