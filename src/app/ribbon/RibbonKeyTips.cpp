// Key tips of the ribbon: choosing the letters, showing them over the tab row and the
// band, and the keys that walk through them.

#include "RibbonKeyTips.h"

#include "RibbonLook.h"
#include "RibbonWidgets.h"
#include "UIRibbonUnit.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include <utility>

namespace {

// The Cyrillic letter each Latin key makes in the phonetic Bulgarian layout.
const QHash<QChar, QChar>& PhoneticLayout()
{
    static const QHash<QChar, QChar> layout = [] {
        const QString latin = QStringLiteral("QWERTYUIOP[]ASDFGHJKLZXCVBNM`\\");
        const QString cyrillic = QStringLiteral("ЯВЕРТЪУИОПШЩАСДФГХЙКЛЗЬЦЖБНМЧЮ");
        QHash<QChar, QChar> map;
        for (qsizetype i = 0; i < latin.size(); ++i)
            map.insert(latin[i], cyrillic[i]);
        return map;
    }();
    return layout;
}

// A key tip's badge: a small dark box with the letter, centred on a point.
QLabel* MakeBadge(QWidget* target, const QString& key, QPoint centre)
{
    auto* badge = new QLabel(key, target->window());
    badge->setObjectName(QStringLiteral("RibbonKeyTip"));
    badge->setProperty("keyTipTarget", target->objectName());
    badge->setAlignment(Qt::AlignCenter);
    QFont font = RibbonFont();
    font.setPixelSize(11);
    font.setBold(true);
    badge->setFont(font);
    badge->setStyleSheet(QStringLiteral(
        "QLabel { background: #3c3c3c; color: white; border: 1px solid #202020; border-radius: 2px; padding: 0 3px; }"));
    badge->adjustSize();
    badge->resize(std::max(badge->width(), 17), 17);
    const QPoint at = target->mapTo(target->window(), centre);
    badge->move(at - QPoint(badge->width() / 2, badge->height() / 2));
    badge->show();
    badge->raise();
    return badge;
}

} // namespace

TRibbonKeyTips::TTip TRibbonKeyTips::Tip(QWidget* target, std::function<void()> run)
{
    return TTip{target, {}, std::move(run), {}};
}

QStringList AssignKeyTips(const QStringList& captions)
{
    QStringList tips;
    QStringList used;
    const auto take = [&used](const QString& key) {
        if (key.isEmpty() || used.contains(key))
            return false;
        used.append(key);
        return true;
    };
    for (const QString& caption : captions) {
        QStringList candidates;
        const qsizetype amp = caption.indexOf(u'&');
        if (amp >= 0 && amp + 1 < caption.size() && caption[amp + 1].isLetterOrNumber())
            candidates.append(caption[amp + 1].toUpper());
        const QString plain = StripMnemonic(caption);
        for (const QString& word : plain.split(u' ', Qt::SkipEmptyParts))
            if (word[0].isLetter())
                candidates.append(word[0].toUpper());
        for (QChar c : plain)
            if (c.isLetter())
                candidates.append(c.toUpper());
        for (char digit = '1'; digit <= '9'; ++digit)
            candidates.append(QString(QChar::fromLatin1(digit)));
        QString chosen;
        for (const QString& candidate : std::as_const(candidates))
            if (take(candidate)) {
                chosen = candidate;
                break;
            }
        tips.append(chosen);
    }
    return tips;
}

bool KeyTipMatches(const QString& tip, const QKeyEvent& event)
{
    const QString typed = event.text().toUpper();
    if (tip.isEmpty() || typed.size() != 1)
        return false;
    if (typed == tip)
        return true;
    const auto cyrillic = PhoneticLayout().constFind(typed[0]);
    return cyrillic != PhoneticLayout().constEnd() && QString(*cyrillic) == tip;
}

TRibbonKeyTips::TRibbonKeyTips(TUIRibbon* ribbon) : QObject(ribbon), FRibbon(ribbon)
{
    qApp->installEventFilter(this);
}

TRibbonKeyTips::~TRibbonKeyTips()
{
    ClearBadges();
}

void TRibbonKeyTips::ShowTabs()
{
    QList<TTip> tips;
    QStringList captions;
    if (QAbstractButton* button = FRibbon->FApplicationButton) {
        tips.append(Tip(button, [this] {
                         FRibbon->ShowApplicationMenu();
                         QMenu* menu = FRibbon->ApplicationMenu();
                         if (!menu->actions().isEmpty())
                             menu->setActiveAction(menu->actions().constFirst());
                     }));
        captions.append(button->text());
    }
    for (int i = 0; i < FRibbon->FTabHeaders.size(); ++i) {
        QAbstractButton* header = FRibbon->FTabHeaders[i];
        tips.append(Tip(header, [this, i] {
                         FRibbon->TabHeaderClicked(i);
                         ShowCommands();
                     }));
        captions.append(header->text());
    }
    Show(TLevel::Tabs, std::move(tips), captions);
}

void TRibbonKeyTips::ShowCommands()
{
    QList<TTip> tips;
    QStringList captions;
    const int tab = FRibbon->ActiveTabIndex();
    QWidget* page = tab >= 0 ? FRibbon->FBand->findChild<QWidget*>(FRibbon->FTabCommands[tab]->Name() + QStringLiteral("Page"))
                             : nullptr;
    if (page)
        for (TRibbonGroup* group : page->findChildren<TRibbonGroup*>(Qt::FindDirectChildrenOnly)) {
            if (group->Collapsed()) {
                TRibbonGroupButton* dropDown = group->DropDown();
                tips.append(Tip(dropDown, [dropDown] { dropDown->ShowMenu(true); }));
                captions.append(dropDown->text());
                continue;
            }
            for (TRibbonLargeButton* button : group->Buttons()) {
                tips.append(Tip(button, [button] { button->click(); }));
                captions.append(button->text());
            }
        }
    Show(TLevel::Commands, std::move(tips), captions);
}

void TRibbonKeyTips::Hide()
{
    ClearBadges();
    FTips.clear();
    FLevel = TLevel::Hidden;
}

void TRibbonKeyTips::Show(TLevel level, QList<TTip> tips, const QStringList& captions)
{
    ClearBadges();
    FLevel = level;
    FTips = std::move(tips);
    const QStringList keys = AssignKeyTips(captions);
    for (qsizetype i = 0; i < FTips.size(); ++i)
        FTips[i].Key = keys[i];
    for (TTip& tip : FTips) {
        if (!tip.Target || tip.Key.isEmpty() || !tip.Target->isVisible())
            continue;
        const QRect r = tip.Target->rect();
        // Tabs carry their letter under the header, commands under their label, over the
        // group's caption (a collapsed group's over its arrow).
        const QPoint centre = level == TLevel::Tabs ? QPoint(r.center().x(), r.bottom() + 1)
                                                    : QPoint(r.center().x(), kButtonHeight + 10);
        tip.Badge = MakeBadge(tip.Target, tip.Key, centre);
        if (!tip.Target->isEnabled())
            tip.Badge->setEnabled(false);
    }
}

void TRibbonKeyTips::ClearBadges()
{
    for (TTip& tip : FTips)
        delete tip.Badge.data();
}

void TRibbonKeyTips::StepBack()
{
    if (FLevel == TLevel::Commands) {
        if (FRibbon->FBandPopup)
            FRibbon->FBandPopup->close();
        ShowTabs();
    } else {
        Hide();
    }
}

bool TRibbonKeyTips::InRibbonWindow(QObject* watched) const
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !FRibbon->isVisible())
        return false;
    QWidget* window = widget->window();
    return window == FRibbon->window() || (FRibbon->FBandPopup && window == FRibbon->FBandPopup);
}

bool TRibbonKeyTips::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        if (InRibbonWindow(watched))
            return HandleKey(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        FAltAlone = false;
        if (FLevel != TLevel::Hidden)
            Hide();
        break;
    case QEvent::Resize:
        if (FLevel != TLevel::Hidden && watched == FRibbon)
            Hide(); // the badges would no longer sit on their targets // the badges would no longer sit on their targets
        break;
    case QEvent::WindowDeactivate:
        // A menu that has closed may still take the activation late; only a switch to
        // another window or program hides the tips.
        if (FLevel != TLevel::Hidden && watched == FRibbon->window() && !FRibbon->FBandPopup) {
            const QWidget* active = QApplication::activeWindow();
            if (!active || (active != FRibbon->window() && active->isVisible() && active->windowType() != Qt::Popup))
                Hide();
        }
        break;
    default:
        break;
    }
    return false;
}

bool TRibbonKeyTips::HandleKey(QKeyEvent* event)
{
    const bool alone = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (event->type() == QEvent::ShortcutOverride) {
        // While tips show, every key belongs to them and no shortcut may take it.
        if (FLevel == TLevel::Hidden)
            return false;
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyRelease) {
        if (event->key() != Qt::Key_Alt || event->isAutoRepeat() || !FAltAlone)
            return false;
        FAltAlone = false;
        if (FLevel == TLevel::Hidden)
            ShowTabs();
        else
            Hide();
        return true;
    }
    if (event->key() == Qt::Key_Alt) {
        FAltAlone = !event->isAutoRepeat() && (event->modifiers() & ~Qt::AltModifier) == Qt::NoModifier;
        return FLevel != TLevel::Hidden;
    }
    FAltAlone = false;
    if (event->key() == Qt::Key_F10 && alone) {
        if (FLevel == TLevel::Hidden)
            ShowTabs();
        else
            Hide();
        return true;
    }
    if (FLevel == TLevel::Hidden)
        return false;
    if (event->key() == Qt::Key_Escape) {
        StepBack();
        return true;
    }
    for (const TTip& tip : std::as_const(FTips)) {
        if (!tip.Badge || !tip.Target || !tip.Target->isEnabled() || !KeyTipMatches(tip.Key, *event))
            continue;
        const std::function<void()> run = tip.Run;
        Hide();
        run();
        return true;
    }
    return true; // a key that names no tip is swallowed, as the tips still show
}
