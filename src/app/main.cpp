// Program entry: --help and --version, else the application, the main window and the
// message loop.
#include "MainUnit.h"
#include "app/ProgramCommandLineUnit.h"
#include "app/QtTranslationUnit.h"
#include "app/ribbon/RibbonMarkup.h"
#include "db/SqlDataManagerUnit.h"

#include <memory>

int main(int argc, char** argv)
{
    // Before the application: it needs a display, these do not.
    if (const std::optional<int> answered = AnswerWithoutWindow(argc, argv))
        return *answered;
    BuildApplicationRibbonMarkup();
    TAuditorApplication app(argc, argv);
    const TQtBulgarian qtTexts;
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    TMainForm mainForm(arguments);
    mainForm.showMaximized(); // runs the command-line connection
    if (!mainForm.LoadRibbonOrSay())
        return 1;
    TSqlDataModule dataModule;
    return app.exec();
}
