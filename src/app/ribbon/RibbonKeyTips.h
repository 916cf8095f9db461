#pragma once
// Key tips: the ribbon driven from the keyboard. Alt (pressed and released alone) or F10
// shows a letter on the application button and on each tab; the letter of a tab selects
// it and shows letters on its commands; the letter of a command runs it; Esc steps back
// one level; Alt, F10 or a mouse press hides them.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QKeyEvent;
class QLabel;
class QWidget;
class TUIRibbon;

// One key tip per caption, in order, unique within the list: the caption's access key
// when it has one, else the first free initial of its words, else its first free letter,
// else a free digit; empty when none is left. Upper case.
QStringList AssignKeyTips(const QStringList& captions);

// Whether a key press selects the key tip: the typed character, or, for a Latin key, the
// Cyrillic letter it makes in the phonetic Bulgarian layout (so tips work whichever
// layout is active).
bool KeyTipMatches(const QString& tip, const QKeyEvent& event);

class TRibbonKeyTips : public QObject {
public:
    enum class TLevel { Hidden, Tabs, Commands };

    explicit TRibbonKeyTips(TUIRibbon* ribbon);
    ~TRibbonKeyTips() override;

    TLevel Level() const { return FLevel; }
    void ShowTabs();
    void ShowCommands();
    void Hide();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TTip {
        QPointer<QWidget> Target;
        QString Key;
        std::function<void()> Run;
        QPointer<QLabel> Badge;
    };

    static TTip Tip(QWidget* target, std::function<void()> run);
    bool InRibbonWindow(QObject* watched) const;
    bool HandleKey(QKeyEvent* event);
    void StepBack();
    // Shows the tips, their letters chosen from the targets' captions (one each, in order).
    void Show(TLevel level, QList<TTip> tips, const QStringList& captions);
    void ClearBadges();

    TUIRibbon* FRibbon;
    TLevel FLevel = TLevel::Hidden;
    QList<TTip> FTips;
    bool FAltAlone = false;
};
