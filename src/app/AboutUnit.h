#pragma once
// The About dialog: maker's mark and links, product name and icon, version of this build.

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// The maker, as the dialog shows and links them.
inline const QString kMakerName = QStringLiteral("Dravik Engineering Ltd.");
inline const QString kMakerWebHost = QStringLiteral("www.dravik.bg");
inline const QString kMakerMail = QStringLiteral("office@dravik.bg");

// Version text of a packed 64-bit file version: major (bits 48..63), minor (32..47),
// release (16..31) and build (0..15), joined by ".".
QString FileVersionText(quint64 fileVersion);
// Packs a version such as "1.0.0.0" (one to four numbers 0..65535, missing ones 0) the way
// a version resource holds it; an empty or unreadable version gives 0 (no version).
quint64 ParseFileVersion(QStringView version);
// The four-part version text of this build ("0.0.0.0" when it carries none).
QString ApplicationVersionText();

// The application icon (auditor, folder, magnifying glass) in the sizes 16 to 256 px.
QIcon ApplicationIcon();

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // Opens a URL with the user's default handler; the result is not looked at.
    using TUrlOpener = std::function<bool(const QUrl&)>;

    explicit TAboutForm(QWidget* parent = nullptr);

    // Shows a new dialog modally, centred on the main window, and frees it when it closes.
    static void Run();

    // Replaces how links are opened (an empty function restores QDesktopServices::openUrl).
    static void SetUrlOpener(TUrlOpener opener);

    // The links the two labels open.
    static QString MailUrl(const QString& mail);
    static QString WebUrl(const QString& host);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void lblWebClick();
    void lblMailClick();

    QWidget* pnlLogo;
    QLabel* ProductName;
    QLabel* ProgramIcon;
    QLabel* lblWeb;
    QLabel* lblMail;
    QWidget* pnlProductName;
    QLabel* Label2;
    QLabel* ImgProductLogo;
    QLabel* Label3;
    QLabel* av;
    QWidget* pnlControls;
    QGroupBox* gbDatabaseInfo;
    QPushButton* btnClose;
};
