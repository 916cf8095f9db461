// Qt's own texts in Bulgarian (see QtTranslationUnit.h).
#include "app/QtTranslationUnit.h"

#include <QCoreApplication>
#include <QLibraryInfo>

TQtBulgarian::TQtBulgarian()
{
    if (FTranslator.load(QStringLiteral("qtbase_bg"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        FInstalled = QCoreApplication::installTranslator(&FTranslator);
}

TQtBulgarian::~TQtBulgarian()
{
    if (FInstalled)
        QCoreApplication::removeTranslator(&FTranslator);
}
