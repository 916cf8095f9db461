#pragma once
// TElidedLabel: a one-line label that gives up width to its neighbours and then ends in "…".

#include <QLabel>

// Plain or rich text on one line. Its layout may make it narrower than its text, down to
// `minimumChars` characters of it: the text is then cut at a character and ends in "…",
// and the whole text is its tooltip.
class TElidedLabel : public QLabel {
public:
    TElidedLabel(const QString& text, int minimumChars, QWidget* parent);

    QSize minimumSizeHint() const override;
    // Whether the text is cut at the label's present width.
    bool Elided() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    int FMinimumChars;
};
