// TDateField: typed text is kept as typed and read as a whole date when the typing ends.
#include "DateFieldUnit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>

namespace {

const QString kSeparators = QStringLiteral(".,/- ");

bool IsTypedChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || kSeparators.contains(c);
}

// The date `typed` stands for. Three parts, or six or eight digits, are a whole date, day
// first; fewer parts fill the sections from `start` on and keep the rest of `current`. A
// year of one or two digits is of this century. Invalid when the text is no date.
QDate ReadTyped(QString typed, QDateTimeEdit::Section start, QDate current)
{
    for (QChar& c : typed)
        if (kSeparators.contains(c))
            c = QLatin1Char('.');
    while (typed.endsWith(QLatin1Char('.')))
        typed.chop(1);
    if (typed.isEmpty())
        return {};
    QStringList parts = typed.split(QLatin1Char('.'));
    if (parts.size() == 1 && (typed.size() == 8 || typed.size() == 6))
        parts = {typed.left(2), typed.mid(2, 2), typed.mid(4)};
    const int first = parts.size() == 3 ? 0 : start == QDateTimeEdit::MonthSection ? 1
                                          : start == QDateTimeEdit::YearSection  ? 2
                                                                                  : 0;
    if (first + parts.size() > 3)
        return {};
    int dmy[3] = {current.day(), current.month(), current.year()};
    for (int i = 0; i < parts.size(); ++i) {
        const int field = first + i;
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > (field == 2 ? 4 : 2) || (field == 2 && part.size() == 3))
            return {};
        dmy[field] = part.toInt() + (field == 2 && part.size() <= 2 ? 2000 : 0);
    }
    if (first > 0 && dmy[1] >= 1 && dmy[1] <= 12) // the day kept fits the month typed
        dmy[0] = std::min(dmy[0], QDate(dmy[2], dmy[1], 1).daysInMonth());
    return QDate(dmy[2], dmy[1], dmy[0]);
}

} // namespace

TDateField::TDateField(QWidget* parent) : QDateEdit(parent)
{
    lineEdit()->installEventFilter(this);
    // A date set from elsewhere (the calendar, the program) replaces what was typed.
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (FTyping) {
            FTyping = false;
            FTyped.clear();
            SetRefused(false);
        }
    });
}

bool TDateField::Commit()
{
    if (!FTyping)
        return true;
    const QDate typed = ReadTyped(FTyped, FStart, date());
    if (!typed.isValid() || typed < minimumDate() || typed > maximumDate()) {
        SetRefused(true);
        return false;
    }
    FTyping = false;
    FTyped.clear();
    SetRefused(false);
    setDate(typed);
    lineEdit()->setText(textFromDateTime(dateTime())); // also when the date was the same
    return true;
}

void TDateField::ShowTyped()
{
    // Out of the base class's sight: it would put its own reading of the text in its place.
    const QSignalBlocker block(lineEdit());
    lineEdit()->setText(FTyped);
    lineEdit()->setCursorPosition(int(FTyped.size()));
}

void TDateField::Drop()
{
    FTyping = false;
    FTyped.clear();
    SetRefused(false);
    lineEdit()->setText(textFromDateTime(dateTime()));
}

void TDateField::SetRefused(bool refused)
{
    FRefused = refused;
    setToolTip(refused ? QStringLiteral("„%1“ не е дата. Въведете дата във вида дд.мм.гггг, напр. 01.01.2025.")
                             .arg(FTyped)
                       : QString());
    update();
}

void TDateField::keyPressEvent(QKeyEvent* e)
{
    const QString text = e->text();
    const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && text.size() == 1 && IsTypedChar(text[0])) {
        if (!FTyping) {
            FTyping = true;
            FTyped.clear();
            const bool all = lineEdit()->selectedText() == lineEdit()->text();
            FStart = all ? DaySection : currentSection();
        }
        if (FTyped.size() < 12)
            FTyped += text;
        SetRefused(false);
        ShowTyped();
        e->accept();
        return;
    }
    if (FTyping) {
        switch (e->key()) {
        case Qt::Key_Backspace:
            FTyped.chop(1);
            SetRefused(false);
            FTyped.isEmpty() ? Drop() : ShowTyped();
            e->accept();
            return;
        case Qt::Key_Escape:
            Drop();
            e->accept();
            return;
        default:
            if (!Commit()) { // refused: the key does nothing more
                e->accept();
                return;
            }
        }
    }
    QDateEdit::keyPressEvent(e);
}

void TDateField::focusInEvent(QFocusEvent* e)
{
    if (!FTyping) {
        QDateEdit::focusInEvent(e);
        return;
    }
    // Not the date edit's own: it would select a section of the date in the typed text.
    const QSignalBlocker block(lineEdit());
    QAbstractSpinBox::focusInEvent(e);
    ShowTyped();
}

void TDateField::focusOutEvent(QFocusEvent* e)
{
    const bool refused = !Commit();
    QDateEdit::focusOutEvent(e);
    if (refused)
        ShowTyped(); // the base class showed the date again
}

void TDateField::mousePressEvent(QMouseEvent* e)
{
    // The calendar button: the calendar's choice replaces text that was no date.
    if (FTyping && !Commit())
        Drop();
    QDateEdit::mousePressEvent(e);
}

void TDateField::wheelEvent(QWheelEvent* e)
{
    if (FTyping && !Commit()) {
        e->accept();
        return;
    }
    QDateEdit::wheelEvent(e);
}

bool TDateField::eventFilter(QObject* watched, QEvent* e)
{
    // A click in the text ends the typing; refused text stays as it is, to be mended.
    if (watched == lineEdit() && FTyping &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) && !Commit()) {
        setFocus(Qt::MouseFocusReason);
        return true;
    }
    return QDateEdit::eventFilter(watched, e);
}

QValidator::State TDateField::validate(QString& text, int& pos) const
{
    if (FTyping)
        return QValidator::Intermediate; // read when the typing ends
    return QDateEdit::validate(text, pos);
}

void TDateField::paintEvent(QPaintEvent* e)
{
    QDateEdit::paintEvent(e);
    if (!FRefused)
        return;
    QPainter p(this);
    p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
