// Qt's own texts in Bulgarian, as the program installs them at start-up (TQtBulgarian, the
// same object main makes), on the offscreen platform: the standard buttons of a message box
// and of a file dialog change, the export dialog's own texts do not, and when the object
// goes Qt's English comes back.
#include "app/QtTranslationUnit.h"
#include "export/ExportUnit.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// The texts of a message box's standard buttons, as it shows them.
QStringList ButtonTexts(QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"), buttons);
    QStringList texts;
    for (QMessageBox::StandardButton b : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No})
        if (buttons & b)
            texts << box.button(b)->text();
    return texts;
}

TEST(QtBulgarian, StandardButtonsAreBulgarianWhileInstalled)
{
    const QStringList english = ButtonTexts(QMessageBox::Ok | QMessageBox::Cancel);
    ASSERT_EQ(english, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    {
        const TQtBulgarian qtTexts;
        ASSERT_TRUE(qtTexts.Installed()) << "no qtbase_bg.qm under Qt's translations folder";
        EXPECT_EQ(ButtonTexts(QMessageBox::Ok | QMessageBox::Cancel),
                  (QStringList{QStringLiteral("Добре"), QStringLiteral("Отказ")}));
        EXPECT_EQ(ButtonTexts(QMessageBox::Yes | QMessageBox::No), (QStringList{QStringLiteral("&Да"), QStringLiteral("&Не")}));

        // The save dialog of a CSV export: its title and filters are the program's own and
        // stay; Qt's button turns Bulgarian.
        QFileDialog save(nullptr, QStringLiteral("Save to text file"));
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setNameFilters({QStringLiteral("Text files (*.csv)")});
        save.setOption(QFileDialog::DontUseNativeDialog);
        EXPECT_EQ(save.windowTitle(), QStringLiteral("Save to text file"));
        const auto* buttons = save.findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отказ"));

        // The export progress dialog keeps its English texts.
        const TExportForm exportForm;
        EXPECT_EQ(exportForm.windowTitle(), QStringLiteral("Export"));
        EXPECT_EQ(exportForm.btnOk->text(), QStringLiteral("OK"));
        EXPECT_EQ(exportForm.btnCancel->text(), QStringLiteral("Cancel"));
    }
    EXPECT_EQ(ButtonTexts(QMessageBox::Ok | QMessageBox::Cancel), english);
}

} // namespace
