// The log-in dialog: its layout and its modal run.
#include "db/EnterPasswordUnit.h"

#include "common/DialogOwnerUnit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

namespace {

// Client area and title strip of the design.
constexpr int kClientWidth = 323;
constexpr int kClientHeight = 188;
constexpr int kTitlePanelHeight = 41;
constexpr int kTitleLabelHeight = 33;

// The gradient colour of an inactive caption in the classic Windows scheme.
const QColor kInactiveCaptionGradient(215, 228, 242);

QFont DialogFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11); // 8 points at 96 dpi
    return font;
}


} // namespace

TEnterPasswordForm::TEnterPasswordForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("EnterPasswordForm"));
    setWindowTitle(QStringLiteral("Идентифициране потребител"));
    // A fixed dialog border with only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());

    TitlePanel = new QWidget(this);
    TitlePanel->setObjectName(QStringLiteral("TitlePanel"));
    TitlePanel->setAutoFillBackground(true);
    QPalette pal = TitlePanel->palette();
    pal.setColor(QPalette::Window, kInactiveCaptionGradient);
    TitlePanel->setPalette(pal);

    TitleLabel = new QLabel(TitlePanel);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    TitleLabel->setWordWrap(true);
    TitleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    ReasonLabel = new QLabel(TitlePanel);
    ReasonLabel->setObjectName(QStringLiteral("ReasonLabel"));
    ReasonLabel->setWordWrap(true);
    ReasonLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ReasonLabel->setTextFormat(Qt::PlainText);
    QPalette reasonPal = ReasonLabel->palette();
    reasonPal.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
    ReasonLabel->setPalette(reasonPal);
    ReasonLabel->hide();

    UserNameLabel = new QLabel(QStringLiteral("Потребителско име"), this);
    UserNameLabel->setObjectName(QStringLiteral("UserNameLabel"));
    PasswordLabel = new QLabel(QStringLiteral("Парола"), this);
    PasswordLabel->setObjectName(QStringLiteral("PasswordLabel"));

    UserNameEdit = new QLineEdit(this);
    UserNameEdit->setObjectName(QStringLiteral("UserNameEdit"));
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    // One "*" for every character, as the log-in dialogs of the platform show it.
    PasswordEdit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    UserNameLabel->setBuddy(UserNameEdit);
    PasswordLabel->setBuddy(PasswordEdit);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отказ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(UserNameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, btnOk);
    setTabOrder(btnOk, btnCancel);

    PlaceControls();
    UserNameEdit->setFocus();
}

void TEnterPasswordForm::SetTitleMessage(const QString& message)
{
    TitleLabel->setText(message);
    // Room for the wrapped lines plus a small margin above and below them.
    const int needed = TitleLabel->heightForWidth(283) + 8;
    FExtraTitleHeight = qMax(0, needed - kTitleLabelHeight);
    PlaceControls();
}

void TEnterPasswordForm::SetReason(const QString& reason)
{
    // Drivers indent their continuation lines with tabs; the label shows plain lines.
    QStringList lines = reason.trimmed().split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    const QString text = lines.join(QLatin1Char('\n'));
    ReasonLabel->setText(text);
    ReasonLabel->setVisible(!text.isEmpty());
    FReasonHeight = text.isEmpty() ? 0 : ReasonLabel->heightForWidth(283) + 6;
    PlaceControls();
}

void TEnterPasswordForm::PlaceControls()
{
    const int dy = FExtraTitleHeight + FReasonHeight;
    TitlePanel->setGeometry(0, 0, kClientWidth, kTitlePanelHeight + dy);
    TitleLabel->setGeometry(22, 0, 283, kTitleLabelHeight + FExtraTitleHeight);
    ReasonLabel->setGeometry(22, kTitleLabelHeight + FExtraTitleHeight, 283, qMax(0, FReasonHeight - 6));
    UserNameLabel->move(22, 56 + dy);
    UserNameLabel->adjustSize();
    PasswordLabel->move(22, 104 + dy);
    PasswordLabel->adjustSize();
    UserNameEdit->setGeometry(22, 80 + dy, 283, 21);
    PasswordEdit->setGeometry(22, 120 + dy, 283, 21);
    btnOk->setGeometry(126, 155 + dy, 75, 25);
    btnCancel->setGeometry(230, 155 + dy, 75, 25);
    setFixedSize(kClientWidth, kClientHeight + dy);
}

int TEnterPasswordForm::Run(const QString& titleMessage, QString& Username, QString& Password, const QString& reason)
{
    // Guarded: should the owner window go away while the dialog is up, it takes the dialog with it.
    QPointer<TEnterPasswordForm> dialog = new TEnterPasswordForm(DialogOwnerWindow());
    dialog->SetTitleMessage(titleMessage);
    dialog->SetReason(reason);
    const bool ok = dialog->exec() == QDialog::Accepted && dialog;
    if (ok) {
        Username = dialog->UserNameEdit->text();
        Password = dialog->PasswordEdit->text();
    }
    delete dialog.data();
    return ok ? mrOk : mrCancel;
}
