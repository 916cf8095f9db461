#pragma once
// The log-in dialog: a prompt, a user name and a password.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class TEnterPasswordForm : public QDialog {
    Q_OBJECT
public:
    // Modal results of Run.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    explicit TEnterPasswordForm(QWidget* parent = nullptr);

    // Shows a new dialog with `titleMessage` as its prompt, centred on the main window.
    // Both edits start empty whatever the two texts hold. Returns mrOk or mrCancel; only
    // on mrOk are Username and Password overwritten, with the edits' texts as typed.
    static int Run(const QString& titleMessage, QString& Username, QString& Password);

    // The prompt; a text longer than the title area's two lines makes the area (and the
    // dialog) taller instead of being cut off.
    void SetTitleMessage(const QString& message);

private:
    void PlaceControls();

    QWidget* TitlePanel;
    QLabel* TitleLabel;
    QLabel* UserNameLabel;
    QLabel* PasswordLabel;
    QLineEdit* UserNameEdit;
    QLineEdit* PasswordEdit;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    int FExtraTitleHeight = 0;
};
