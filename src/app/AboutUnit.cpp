// The About dialog: its layout, the maker's links and the version of this build.
#include "app/AboutUnit.h"

#include "app/ribbon/RibbonLook.h"
#include "common/DialogOwnerUnit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QSvgRenderer>

namespace {

const QString kMarkResource = QStringLiteral(":/resources/dravik-mark.svg");
const QString kAppIconResource = QStringLiteral(":/resources/app-icon.svg");

TAboutForm::TUrlOpener& UrlOpener()
{
    static TAboutForm::TUrlOpener opener;
    return opener;
}

QFont Font(std::initializer_list<const char*> families, int pixelSize, bool bold = false)
{
    QFont font;
    QStringList names;
    for (const char* f : families)
        names << QString::fromLatin1(f);
    font.setFamilies(names);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// An SVG picture at `size` logical pixels, sharp on the screen the dialog is on.
QPixmap SvgPixmap(const QString& resource, int size, qreal dpr)
{
    QSvgRenderer renderer(resource);
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size * dpr, size * dpr));
    painter.end();
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

QWidget* Panel(QWidget* parent, const char* name)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

// Widens a one-line label whose text is wider than its designed box (the stand-ins for
// Tahoma and Arial run wider than the originals), never past the right edge of its panel.
void FitWidth(QLabel* label)
{
    const int room = label->parentWidget()->width() - label->x() - 4;
    const int needed = label->sizeHint().width();
    if (needed > label->width())
        label->resize(qMin(needed, room), label->height());
}


} // namespace

QString FileVersionText(quint64 fileVersion)
{
    const quint32 ms = quint32(fileVersion >> 32);
    const quint32 ls = quint32(fileVersion);
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

quint64 ParseFileVersion(QStringView version)
{
    const auto parts = version.split(u'.');
    if (version.isEmpty() || parts.size() > 4)
        return 0;
    quint64 packed = 0;
    for (int i = 0; i < 4; ++i) {
        quint64 number = 0;
        if (i < parts.size()) {
            bool ok = false;
            number = parts[i].toUShort(&ok);
            if (!ok)
                return 0;
        }
        packed = (packed << 16) | number;
    }
    return packed;
}

QString ApplicationVersionText()
{
#ifdef AUDITOR_VERSION
    return FileVersionText(ParseFileVersion(QStringLiteral(AUDITOR_VERSION)));
#else
    return FileVersionText(0);
#endif
}

QIcon ApplicationIcon() { return LoadSvgIcon(kAppIconResource, {16, 24, 32, 48, 64, 128, 256}); }

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("Информация"));
    // A fixed dialog border with only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(Font({"Tahoma", "DejaVu Sans", "Liberation Sans"}, 11));
    setFixedSize(388, 295);

    // Maker: white strip with the name, the two links and the mark.
    pnlLogo = Panel(this, "pnlLogo");
    pnlLogo->setGeometry(0, 0, 388, 50);
    pnlLogo->setAutoFillBackground(true);
    QPalette white = pnlLogo->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnlLogo->setPalette(white);

    ProductName = Label(pnlLogo, "ProductName", kMakerName, QRect(6, 11, 203, 22));
    ProductName->setAlignment(Qt::AlignRight | Qt::AlignTop);
    ProductName->setFont(Font({"Arial", "Liberation Sans", "DejaVu Sans"}, 19, true));
    QPalette red = ProductName->palette();
    red.setColor(QPalette::WindowText, QColor(0xFF, 0, 0));
    ProductName->setPalette(red);

    ProgramIcon = Label(pnlLogo, "ProgramIcon", QString(), QRect(326, 9, 35, 35));
    ProgramIcon->setAlignment(Qt::AlignCenter);

    lblWeb = Label(pnlLogo, "lblWeb", kMakerWebHost, QRect(122, 33, 93, 13));
    lblWeb->setWordWrap(true);
    lblWeb->setCursor(Qt::PointingHandCursor);
    lblWeb->setToolTip(QStringLiteral("Click to visit our web site"));
    lblWeb->installEventFilter(this);

    lblMail = Label(pnlLogo, "lblMail", kMakerMail, QRect(8, 33, 102, 13));
    lblMail->setCursor(Qt::PointingHandCursor);
    lblMail->setToolTip(QStringLiteral("Click to send e-mail"));
    lblMail->installEventFilter(this);

    // Product: icon, name and version.
    pnlProductName = Panel(this, "pnlProductName");
    pnlProductName->setGeometry(0, 50, 388, 95);

    Label2 = Label(pnlProductName, "Label2", QStringLiteral("Дравик Одитор Продажби"), QRect(78, 19, 228, 22));
    Label2->setFont(Font({"Arial", "Liberation Sans", "DejaVu Sans"}, 19, true));
    QPalette black = Label2->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    Label2->setPalette(black);

    ImgProductLogo = Label(pnlProductName, "ImgProductLogo", QString(), QRect(23, 12, 32, 32));
    ImgProductLogo->setAlignment(Qt::AlignCenter);

    Label3 = Label(pnlProductName, "Label3", QStringLiteral("Версия на \"Дравик одитор продажби\" :"),
                   QRect(78, 47, 188, 13));

    av = Label(pnlProductName, "av", QStringLiteral("x.x.x.x.x.x.x.x."), QRect(84, 66, 264, 13));
    av->setFont(Font({"MS Sans Serif", "DejaVu Sans", "Liberation Sans"}, 11));

    // Database information (kept empty) and the close button.
    pnlControls = Panel(this, "pnlControls");
    pnlControls->setGeometry(0, 145, 388, 150);

    gbDatabaseInfo = new QGroupBox(QStringLiteral(" Информация за одитираната база данни "), pnlControls);
    gbDatabaseInfo->setObjectName(QStringLiteral("gbDatabaseInfo"));
    gbDatabaseInfo->setGeometry(8, 6, 369, 107);

    btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Затвори"),
                               pnlControls);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(256, 119, 105, 25);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    for (QLabel* label : {ProductName, lblMail, Label2, Label3})
        FitWidth(label);
}

void TAboutForm::Run()
{
    // Guarded: should the owner window go away while the dialog is up, it takes the dialog with it.
    QPointer<TAboutForm> dialog = new TAboutForm(DialogOwnerWindow());
    dialog->exec();
    delete dialog.data();
}

void TAboutForm::SetUrlOpener(TUrlOpener opener) { UrlOpener() = std::move(opener); }

QString TAboutForm::MailUrl(const QString& mail)
{
    return QStringLiteral("mailto:") + mail + QStringLiteral("?Subject=[DravikZaravAZUzizuvi]") + QStringLiteral("&Body= ");
}

QString TAboutForm::WebUrl(const QString& host) { return QStringLiteral("http://") + host; }

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TAboutForm::FormShow()
{
    av->setText(ApplicationVersionText());
    const qreal dpr = devicePixelRatioF();
    ProgramIcon->setPixmap(SvgPixmap(kMarkResource, 35, dpr));
    const QIcon appIcon = QApplication::windowIcon().isNull() ? ApplicationIcon() : QApplication::windowIcon();
    ImgProductLogo->setPixmap(appIcon.pixmap(QSize(32, 32), dpr));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && (watched == lblWeb || watched == lblMail)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* label = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (watched == lblWeb)
                lblWebClick();
            else
                lblMailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::lblMailClick()
{
    const QUrl url(MailUrl(lblMail->text()));
    // A link that cannot be opened is not reported: the dialog simply stays.
    if (UrlOpener())
        UrlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void TAboutForm::lblWebClick()
{
    const QUrl url(WebUrl(lblWeb->text()));
    if (UrlOpener())
        UrlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}
