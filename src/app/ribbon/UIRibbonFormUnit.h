#pragma once
// The base of a main window that carries a ribbon.

#include "UIRibbonUnit.h"

#include <QMainWindow>

class QKeyEvent;

// Base of a window that carries a ribbon across its top. The ribbon is created with the
// window and sits above the central widget.
class TUIRibbonForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TUIRibbonForm(QWidget* parent = nullptr);
    // Destroys the ribbon (which saves its state) before the window.
    ~TUIRibbonForm() override;

    TUIRibbon* Ribbon() const { return FRibbon; }

    // Loads the ribbon from RibbonResourceName() and runs AfterRibbonLoad, once.
    void LoadRibbon();
    // LoadRibbon at start-up: markup that cannot be loaded is said in the error box, which
    // names it, and false is returned so that the program can end.
    bool LoadRibbonOrSay();

protected:
    // Called for every command the ribbon creates while loading. Does nothing here.
    virtual void RibbonCommandCreated(TUIRibbon* sender, TUICommand* command);
    // Called once after the ribbon has been loaded. Does nothing here.
    virtual void AfterRibbonLoad();
    // The ribbon markup's name; the markup resource is this name + "_RIBBON".
    virtual QString RibbonResourceName() const;

    // A key the window's own shortcuts did not take is offered to the ribbon's commands.
    void keyPressEvent(QKeyEvent* event) override;

private:
    TUIRibbon* FRibbon = nullptr;
};
