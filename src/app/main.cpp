// Program entry: the application, the main window and the message loop.
#include "MainUnit.h"
#include "app/ribbon/RibbonMarkup.h"
#include "db/SqlDataManagerUnit.h"

#include <memory>

int main(int argc, char** argv)
{
    BuildApplicationRibbonMarkup();
    TAuditorApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    TMainForm mainForm(arguments);
    mainForm.showMaximized(); // runs the command-line connection
    if (!mainForm.LoadRibbonOrSay())
        return 1;
    TSqlDataModule dataModule;
    return app.exec();
}
