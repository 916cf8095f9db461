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
    // `reason`, when given, stands under the prompt: why the last attempt to connect failed.
    static int Run(const QString& titleMessage, QString& Username, QString& Password, const QString& reason = {});

    // The prompt; a text longer than the title area's two lines makes the area (and the
    // dialog) taller instead of being cut off.
    void SetTitleMessage(const QString& message);
    // The driver's message of the last failed attempt, in smaller type under the prompt;
    // empty hides it.
    void SetReason(const QString& reason);

private:
    void PlaceControls();

    QWidget* TitlePanel;
    QLabel* TitleLabel;
    QLabel* ReasonLabel;
    QLabel* UserNameLabel;
    QLabel* PasswordLabel;
    QLineEdit* UserNameEdit;
    QLineEdit* PasswordEdit;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    int FExtraTitleHeight = 0;
    int FReasonHeight = 0;
};
