#pragma once
// The hand-painted widgets of the ribbon: buttons, groups, the band, the tab row and its
// headers, the band popup of a minimised ribbon, and the application menu's style.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFrame>
#include <QIcon>
#include <QList>
#include <QProxyStyle>
#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenu;
class TUICommand;
class TUICommandAction;
class TUIRibbon;

// A button that draws its own hover state: repainted when the mouse enters and leaves.
class TRibbonHoverButton : public QAbstractButton {
public:
    explicit TRibbonHoverButton(QWidget* parent);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// A large button: picture above a label of up to two lines.
class TRibbonLargeButton : public TRibbonHoverButton {
public:
    TRibbonLargeButton(TUICommandAction* command, QWidget* parent);

    TUICommandAction* Command() const { return FCommand; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* event) override;

private:
    void Refresh();

    TUICommandAction* FCommand;
    QStringList FLines;
};

// The drop-down button that stands for a collapsed group: the group's picture and
// caption with an arrow; a click opens a menu of the group's commands.
class TRibbonGroupButton : public TRibbonHoverButton {
public:
    TRibbonGroupButton(TUICommand* group, QWidget* parent);

    // A menu item for a button of the group; choosing it clicks the button.
    void AddItem(TRibbonLargeButton* button);
    QMenu* Menu() const { return FMenu; }
    // Opens the menu under the button; from the keyboard with its first item chosen.
    void ShowMenu(bool selectFirst);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QMenu* FMenu;
    QIcon FIcon;
    QStringList FLines;
};

// A group: its buttons in a row, the caption centred below them, a thin line at its right.
// Collapsed, the group shows only its drop-down button.
class TRibbonGroup : public QWidget {
public:
    TRibbonGroup(TUICommand* command, QWidget* parent);

    void AddButton(TRibbonLargeButton* button);
    const QList<TRibbonLargeButton*>& Buttons() const { return FButtonList; }
    TRibbonGroupButton* DropDown() const { return FDropDown; }

    bool Collapsed() const { return FCollapsed; }
    void SetCollapsed(bool value);
    // The width the group takes expanded or collapsed.
    int WidthWhen(bool collapsed) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QHBoxLayout* FButtons;
    QLabel* FCaption;
    TRibbonGroupButton* FDropDown;
    QList<TRibbonLargeButton*> FButtonList;
    bool FCollapsed = false;
};

// The band under the tab row: a page of groups per tab, the current one shown. In a
// window too narrow for a page its groups collapse from the right into drop-down buttons;
// what is still too wide is cut off rather than squeezed, and the band sets no minimum
// width on the window.
class TRibbonBand : public QWidget {
public:
    explicit TRibbonBand(QWidget* parent);

    void AddPage(QWidget* page);
    void SetCurrent(int index);

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    void LayoutPages();
    void FitPage(QWidget* page);

    QList<QWidget*> FPages;
    int FCurrent = 0;
};

// A tab header. A press selects the tab, a double click minimises or restores the ribbon.
class TRibbonTabHeader : public TRibbonHoverButton {
public:
    TRibbonTabHeader(TUIRibbon* ribbon, TUICommand* command, int index, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    bool Selected() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    TUIRibbon* FRibbon;
    int FIndex;
};

// The application menu button at the left of the tab row.
class TRibbonApplicationButton : public TRibbonHoverButton {
public:
    explicit TRibbonApplicationButton(QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    bool MenuOpen = false;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The small chevron at the right of the tab row that minimises or restores the ribbon.
class TRibbonMinimizeButton : public TRibbonHoverButton {
public:
    explicit TRibbonMinimizeButton(QWidget* parent);

    bool PointsDown = false;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The tab row: white, with a thin line under it that the selected tab header interrupts.
class TRibbonTabRow : public QWidget {
public:
    explicit TRibbonTabRow(QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The band of a minimised ribbon, shown over the window below while a tab is open.
class TRibbonBandPopup : public QFrame {
public:
    explicit TRibbonBandPopup(TUIRibbon* ribbon);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TUIRibbon* FRibbon;
    QElapsedTimer FOpened;
};

// Large pictures in the ribbon's menus.
class TRibbonMenuStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
};

// The look of the application menu and of a collapsed group's menu.
void ApplyRibbonMenuLook(QMenu* menu);
