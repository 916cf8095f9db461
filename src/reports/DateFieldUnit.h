#pragma once
// TDateField: the filter's date field, which takes a date typed the way it is shown.

#include <QDateEdit>

// A dd.MM.yyyy date field whose typed text is read as a whole once it is finished (Enter,
// Tab, leaving the field, an arrow key): "01.01.2025", "1.1.25", "01012025" and, from the
// section selected when typing began, a part of a date ("05" over the month). While typing,
// the field shows the text as typed. Text that is no date is refused: it stays in the field,
// framed in red with the reason as its tooltip, and the date keeps its last good value.
class TDateField : public QDateEdit {
public:
    explicit TDateField(QWidget* parent = nullptr);

    // Reads the typed text, if any, into the date. False, and the field refused, when the
    // text is no date.
    bool Commit();
    bool Refused() const { return FRefused; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    QValidator::State validate(QString& text, int& pos) const override;

private:
    void ShowTyped();
    void Drop(); // forgets the typed text, back to the date's own
    void SetRefused(bool refused);

    bool FTyping = false;
    QString FTyped;
    Section FStart = DaySection;
    bool FRefused = false;
};
