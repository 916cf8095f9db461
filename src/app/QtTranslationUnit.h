#pragma once
// Qt's own texts in Bulgarian, whatever the system's language: the standard buttons of
// message boxes ("OK", "Cancel", "Yes", "No") and the file dialogs. Texts the program sets
// itself are not touched.

#include <QTranslator>

// Installs Qt's Bulgarian translation (qtbase_bg.qm of Qt's translations folder) on the
// application while it lives. Without the file Qt's texts stay English.
class TQtBulgarian {
public:
    TQtBulgarian();
    ~TQtBulgarian();
    TQtBulgarian(const TQtBulgarian&) = delete;
    TQtBulgarian& operator=(const TQtBulgarian&) = delete;

    bool Installed() const { return FInstalled; }

private:
    QTranslator FTranslator;
    bool FInstalled = false;
};
