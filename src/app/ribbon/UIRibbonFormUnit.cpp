// The base of a main window that carries a ribbon.

#include "UIRibbonFormUnit.h"

#include "common/MessageBoxUnit.h"
#include "db/Exception.h"

#include <QKeyEvent>

TUIRibbonForm::TUIRibbonForm(QWidget* parent) : QMainWindow(parent)
{
    FRibbon = new TUIRibbon(this, [this](TUIRibbon* sender, TUICommand* command) { RibbonCommandCreated(sender, command); });
    setMenuWidget(FRibbon);
}

TUIRibbonForm::~TUIRibbonForm()
{
    delete FRibbon;
    FRibbon = nullptr;
}

void TUIRibbonForm::LoadRibbon()
{
    if (FRibbon->Loaded())
        return;
    FRibbon->Load(RibbonResourceName());
    AfterRibbonLoad();
}

bool TUIRibbonForm::LoadRibbonOrSay()
{
    try {
        LoadRibbon();
        return true;
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
        return false;
    }
}

void TUIRibbonForm::RibbonCommandCreated(TUIRibbon*, TUICommand*) {}

void TUIRibbonForm::AfterRibbonLoad() {}

QString TUIRibbonForm::RibbonResourceName() const
{
    return QStringLiteral("APPLICATION");
}

void TUIRibbonForm::keyPressEvent(QKeyEvent* event)
{
    if (FRibbon && FRibbon->HandleShortCut(QKeySequence(event->keyCombination()))) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
