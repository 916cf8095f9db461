#include "UIRibbonUnit.h"

#include "RibbonMarkup.h"
#include "db/Exception.h"
#include "common/MessageBoxUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QStyle>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

const QString kSettingsFileName = QStringLiteral("MainForm_RibbonOptions.xml");
const QString kMarkupFolder = QStringLiteral(":/resources/ribbon/");

QString gExecutableDirOverride;
QString gUserConfigDirOverride;

// Geometry: a tab row above a band of groups; together the ribbon's full height.
constexpr int kTabRowHeight = 25;
constexpr int kBandHeight = TUIRibbon::DefaultHeight - kTabRowHeight;
constexpr int kLargeIcon = 32;
constexpr int kButtonHeight = 66;
constexpr int kMinButtonWidth = 42;
constexpr int kCaptionHeight = 16;

const QColor kFrameLine(0xd5, 0xd8, 0xdc);
const QColor kBandTop(0xfb, 0xfb, 0xfc);
const QColor kBandBottom(0xf3, 0xf4, 0xf6);
const QColor kText(0x26, 0x26, 0x26);
const QColor kDisabledText(0xa0, 0xa0, 0xa0);
const QColor kCaptionText(0x66, 0x66, 0x66);
const QColor kAccent(0x2b, 0x57, 0x9a);
const QColor kHoverFill(0xe5, 0xf1, 0xfb);
const QColor kHoverLine(0xb9, 0xd7, 0xf2);
const QColor kPressedFill(0xcc, 0xe4, 0xf7);
const QColor kPressedLine(0x8c, 0xbd, 0xe8);

QFont RibbonFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(12);
    return font;
}

// "И&зход" -> "Изход", "a && b" -> "a & b".
QString StripMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

QString TooltipHtml(const QString& title, const QString& description)
{
    const QString plainTitle = StripMnemonic(title).trimmed();
    if (plainTitle.isEmpty() && description.trimmed().isEmpty())
        return {};
    QString html = QStringLiteral("<p style='white-space:pre'><b>%1</b></p>").arg(plainTitle.toHtmlEscaped());
    if (!description.trimmed().isEmpty())
        html += QStringLiteral("<p>%1</p>").arg(description.trimmed().toHtmlEscaped());
    return html;
}

// A large button's label on one or two lines: a label with spaces is broken at the
// space that gives the narrowest button.
QStringList SplitLabel(const QString& label, const QFontMetrics& metrics)
{
    const QString text = label.trimmed();
    QStringList best{text};
    int bestWidth = -1;
    for (qsizetype i = text.indexOf(u' '); i >= 0; i = text.indexOf(u' ', i + 1)) {
        const QString first = text.left(i).trimmed();
        const QString second = text.mid(i + 1).trimmed();
        if (first.isEmpty() || second.isEmpty())
            continue;
        const int width = std::max(metrics.horizontalAdvance(StripMnemonic(first)),
                                   metrics.horizontalAdvance(StripMnemonic(second)));
        if (bestWidth < 0 || width < bestWidth) {
            bestWidth = width;
            best = QStringList{first, second};
        }
    }
    return best;
}


void DrawHoverFrame(QPainter& painter, const QRect& rect, bool pressed)
{
    painter.setPen(pressed ? kPressedLine : kHoverLine);
    painter.setBrush(pressed ? kPressedFill : kHoverFill);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

// ---- Markup -------------------------------------------------------------------------------

struct TMarkupCommand {
    QString Name;
    int Id = 0;
    QString SmallImage;
    QString LargeImage;
};

struct TMarkupGroup {
    QString Command;
    QStringList Buttons;
};

struct TMarkupTab {
    QString Command;
    QList<TMarkupGroup> Groups;
};

struct TMarkup {
    QList<TMarkupCommand> Commands;
    QString ApplicationMenu;
    QList<QStringList> MenuGroups;
    QList<TMarkupTab> Tabs;
};

TMarkup ParseMarkup(const QByteArray& data, const QString& resource)
{
    const auto fail = [&resource](const QString& what) {
        return Exception(QStringLiteral("Ribbon markup \"%1\": %2").arg(resource, what));
    };
    TMarkup markup;
    QXmlStreamReader xml(data);
    bool inMenu = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"ApplicationMenu")
            inMenu = false;
        if (!xml.isStartElement())
            continue;
        const auto element = xml.name();
        const QString command = xml.attributes().value(QLatin1String("CommandName")).toString();
        if (element == u"Command") {
            TMarkupCommand c;
            c.Name = xml.attributes().value(QLatin1String("Name")).toString();
            bool ok = false;
            c.Id = xml.attributes().value(QLatin1String("Id")).toInt(&ok);
            if (c.Name.isEmpty() || !ok)
                throw fail(QStringLiteral("a command without name or id"));
            c.SmallImage = xml.attributes().value(QLatin1String("SmallImage")).toString();
            c.LargeImage = xml.attributes().value(QLatin1String("LargeImage")).toString();
            markup.Commands.append(c);
        } else if (element == u"ApplicationMenu") {
            markup.ApplicationMenu = command;
            inMenu = true;
        } else if (element == u"MenuGroup") {
            if (!inMenu)
                throw fail(QStringLiteral("a menu group outside the application menu"));
            markup.MenuGroups.append(QStringList());
        } else if (element == u"Tab") {
            markup.Tabs.append(TMarkupTab{command, {}});
        } else if (element == u"Group") {
            if (markup.Tabs.isEmpty())
                throw fail(QStringLiteral("group %1 outside a tab").arg(command));
            markup.Tabs.last().Groups.append(TMarkupGroup{command, {}});
        } else if (element == u"Button") {
            if (inMenu) {
                if (markup.MenuGroups.isEmpty())
                    throw fail(QStringLiteral("menu item %1 outside a menu group").arg(command));
                markup.MenuGroups.last().append(command);
            } else {
                if (markup.Tabs.isEmpty() || markup.Tabs.last().Groups.isEmpty())
                    throw fail(QStringLiteral("button %1 outside a group").arg(command));
                markup.Tabs.last().Groups.last().Buttons.append(command);
            }
        }
    }
    if (xml.hasError())
        throw fail(xml.errorString());
    return markup;
}

// Every name the views use must be a declared command, and a button must not be a tab,
// group or the application menu; checked before anything is built.
void ValidateMarkup(const TMarkup& markup, const QString& resource)
{
    QSet<QString> declared;
    for (const TMarkupCommand& c : markup.Commands)
        declared.insert(c.Name);
    QSet<QString> anchors;
    QStringList buttons;
    if (!markup.ApplicationMenu.isEmpty())
        anchors.insert(markup.ApplicationMenu);
    for (const QStringList& group : markup.MenuGroups)
        buttons += group;
    for (const TMarkupTab& tab : markup.Tabs) {
        anchors.insert(tab.Command);
        for (const TMarkupGroup& group : tab.Groups) {
            anchors.insert(group.Command);
            buttons += group.Buttons;
        }
    }
    for (const QString& name : anchors)
        if (!declared.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": unknown command %2").arg(resource, name));
    for (const QString& name : std::as_const(buttons)) {
        if (!declared.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": unknown command %2").arg(resource, name));
        if (anchors.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": %2 cannot be a button").arg(resource, name));
    }
}

} // namespace

QIcon LoadSvgIcon(const QString& path, std::initializer_list<int> sizes)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QIcon icon;
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// ---- Widgets of the ribbon -------------------------------------------------------------------

// A button that draws its own hover state: repainted when the mouse enters and leaves.
class TRibbonHoverButton : public QAbstractButton {
public:
    explicit TRibbonHoverButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        update();
        QAbstractButton::leaveEvent(event);
    }
};

// A large button: picture above a label of up to two lines.
class TRibbonLargeButton : public TRibbonHoverButton {
public:
    TRibbonLargeButton(TUICommandAction* command, QWidget* parent) : TRibbonHoverButton(parent), FCommand(command)
    {
        setObjectName(command->Name());
        setProperty("ribbonRole", QStringLiteral("button"));
        setProperty("commandId", command->CommandId());
        Refresh();
        QObject::connect(command, &TUICommand::Changed, this, [this] { Refresh(); });
    }

    TUICommandAction* Command() const { return FCommand; }

    QSize sizeHint() const override
    {
        int width = kLargeIcon;
        for (const QString& line : FLines)
            width = std::max(width, fontMetrics().horizontalAdvance(StripMnemonic(line)));
        return QSize(std::max(kMinButtonWidth, width + 12), kButtonHeight);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (isEnabled() && (isDown() || underMouse()))
            DrawHoverFrame(painter, rect(), isDown());
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QRect iconRect((width() - kLargeIcon) / 2, 3, kLargeIcon, kLargeIcon);
        FCommand->LargeImage().paint(&painter, iconRect, Qt::AlignCenter, mode);
        painter.setPen(isEnabled() ? kText : kDisabledText);
        const int lineHeight = fontMetrics().height();
        int y = iconRect.bottom() + 3;
        for (const QString& line : FLines) {
            painter.drawText(QRect(0, y, width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                             line);
            y += lineHeight;
        }
    }
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange)
            Refresh();
        TRibbonHoverButton::changeEvent(event);
    }

private:
    void Refresh()
    {
        setText(FCommand->Caption());
        setToolTip(TooltipHtml(FCommand->TooltipTitle(), FCommand->TooltipDescription()));
        setEnabled(FCommand->Enabled());
        FLines = SplitLabel(FCommand->Caption(), fontMetrics());
        updateGeometry();
        update();
    }

    TUICommandAction* FCommand;
    QStringList FLines;
};

// A group: its buttons in a row, the caption centred below them, a thin line at its right.
class TRibbonGroup : public QWidget {
public:
    TRibbonGroup(TUICommand* command, QWidget* parent) : QWidget(parent)
    {
        setObjectName(command->Name());
        setProperty("ribbonRole", QStringLiteral("group"));
        setProperty("commandId", command->CommandId());
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 0, 5, 0);
        layout->setSpacing(0);
        FButtons = new QHBoxLayout;
        FButtons->setContentsMargins(0, 0, 0, 0);
        FButtons->setSpacing(2);
        layout->addLayout(FButtons);
        layout->addStretch(1);
        FCaption = new QLabel(command->Caption(), this);
        FCaption->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        FCaption->setTextFormat(Qt::PlainText);
        FCaption->setFixedHeight(kCaptionHeight);
        QPalette palette = FCaption->palette();
        palette.setColor(QPalette::WindowText, kCaptionText);
        FCaption->setPalette(palette);
        layout->addWidget(FCaption);
        QObject::connect(command, &TUICommand::Changed, FCaption, [this, command] { FCaption->setText(command->Caption()); });
    }

    void AddButton(QWidget* button) { FButtons->addWidget(button); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(kFrameLine);
        painter.drawLine(width() - 1, 3, width() - 1, height() - 4);
    }

private:
    QHBoxLayout* FButtons;
    QLabel* FCaption;
};

// The band under the tab row: a page of groups per tab, the current one shown. A page
// keeps its natural width: in a window too narrow for it the groups at the right are
// cut off rather than squeezed, and the band sets no minimum width on the window.
class TRibbonBand : public QWidget {
public:
    explicit TRibbonBand(QWidget* parent) : QWidget(parent) { setFixedHeight(kBandHeight); }

    void AddPage(QWidget* page)
    {
        FPages.append(page);
        page->setVisible(FPages.size() - 1 == FCurrent);
        LayoutPages();
    }

    void SetCurrent(int index)
    {
        FCurrent = index;
        for (qsizetype i = 0; i < FPages.size(); ++i)
            FPages[i]->setVisible(i == index);
        LayoutPages();
    }

protected:
    void resizeEvent(QResizeEvent*) override { LayoutPages(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, kBandTop);
        gradient.setColorAt(1, kBandBottom);
        painter.fillRect(rect(), gradient);
        painter.setPen(kFrameLine);
        painter.drawLine(0, height() - 1, width(), height() - 1);
        if (parentWidget() && parentWidget()->windowType() == Qt::Popup) {
            painter.drawLine(0, 0, 0, height());
            painter.drawLine(width() - 1, 0, width() - 1, height());
        }
    }

private:
    void LayoutPages()
    {
        for (QWidget* page : std::as_const(FPages))
            page->setGeometry(0, 0, std::max(width(), page->sizeHint().width()), height() - 1);
    }

    QList<QWidget*> FPages;
    int FCurrent = 0;
};

// A tab header. A press selects the tab, a double click minimises or restores the ribbon.
class TRibbonTabHeader : public TRibbonHoverButton {
public:
    TRibbonTabHeader(TUIRibbon* ribbon, TUICommand* command, int index, QWidget* parent)
        : TRibbonHoverButton(parent), FRibbon(ribbon), FIndex(index)
    {
        setObjectName(command->Name());
        setProperty("ribbonRole", QStringLiteral("tab"));
        setProperty("commandId", command->CommandId());
        setText(command->Caption());
        QObject::connect(command, &TUICommand::Changed, this, [this, command] {
            setText(command->Caption());
            updateGeometry();
        });
    }

    QSize sizeHint() const override
    {
        return QSize(fontMetrics().horizontalAdvance(StripMnemonic(text())) + 24, kTabRowHeight - 1);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    bool Selected() const
    {
        return FRibbon->FActiveTab == FIndex && (!FRibbon->FMinimized || FRibbon->FBandPopup != nullptr);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            FRibbon->TabHeaderClicked(FIndex);
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            FRibbon->TabHeaderDoubleClicked(FIndex);
        event->accept();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect r = rect();
        if (Selected()) {
            painter.fillRect(r, kBandTop);
            painter.setPen(kFrameLine);
            painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
            painter.drawLine(r.left(), r.top(), r.right(), r.top());
            painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
        } else if (underMouse()) {
            painter.fillRect(r.adjusted(1, 1, -1, -1), QColor(0xf2, 0xf6, 0xfb));
        }
        painter.setPen(Selected() || underMouse() ? kAccent : kText);
        painter.drawText(r.adjusted(0, 1, 0, 0), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }

private:
    TUIRibbon* FRibbon;
    int FIndex;
};

// The application menu button at the left of the tab row.
class TRibbonApplicationButton : public TRibbonHoverButton {
public:
    explicit TRibbonApplicationButton(QWidget* parent) : TRibbonHoverButton(parent)
    {
        setProperty("ribbonRole", QStringLiteral("applicationMenu"));
    }

    QSize sizeHint() const override
    {
        return QSize(fontMetrics().horizontalAdvance(StripMnemonic(text())) + 30, kTabRowHeight - 1);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    bool MenuOpen = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QColor fill = kAccent;
        if (MenuOpen || isDown())
            fill = kAccent.darker(125);
        else if (underMouse())
            fill = kAccent.lighter(120);
        painter.fillRect(rect().adjusted(0, 0, 0, -1), fill);
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(0, 0, 0, -1), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
};

// The small chevron at the right of the tab row that minimises or restores the ribbon.
class TRibbonMinimizeButton : public TRibbonHoverButton {
public:
    explicit TRibbonMinimizeButton(QWidget* parent) : TRibbonHoverButton(parent)
    {
        setObjectName(QStringLiteral("RibbonMinimizeButton"));
        setFixedSize(22, 20);
    }

    bool PointsDown = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (underMouse() || isDown())
            DrawHoverFrame(painter, rect(), isDown());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.4));
        const QPointF c(width() / 2.0, height() / 2.0);
        const double dy = PointsDown ? 2 : -2;
        painter.drawPolyline(QPolygonF{{c.x() - 4, c.y() - dy}, {c.x(), c.y() + dy}, {c.x() + 4, c.y() - dy}});
    }
};

// The tab row: white, with a thin line under it that the selected tab header interrupts.
class TRibbonTabRow : public QWidget {
public:
    explicit TRibbonTabRow(QWidget* parent) : QWidget(parent) { setFixedHeight(kTabRowHeight); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(kFrameLine);
        painter.drawLine(0, height() - 1, width(), height() - 1);
    }
};

// The band of a minimised ribbon, shown over the window below while a tab is open.
class TRibbonBandPopup : public QFrame {
public:
    explicit TRibbonBandPopup(TUIRibbon* ribbon) : QFrame(ribbon, Qt::Popup), FRibbon(ribbon)
    {
        setObjectName(QStringLiteral("RibbonBandPopup"));
        setFont(ribbon->font());
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        FOpened.start();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        // A press on a tab header while the band is open switches the tab; a second press
        // on the same header closes the band, or restores the ribbon when it is a double click.
        if (!rect().contains(event->position().toPoint())) {
            for (int i = 0; i < FRibbon->FTabHeaders.size(); ++i) {
                QAbstractButton* header = FRibbon->FTabHeaders[i];
                if (!header->rect().contains(header->mapFromGlobal(event->globalPosition().toPoint())))
                    continue;
                if (i != FRibbon->FActiveTab) {
                    FRibbon->SetActiveTabIndex(i);
                    FOpened.restart();
                    event->accept();
                    return;
                }
                const bool doubleClick = FOpened.elapsed() <= QApplication::doubleClickInterval();
                close();
                if (doubleClick)
                    FRibbon->SetMinimized(false);
                event->accept();
                return;
            }
        }
        QFrame::mousePressEvent(event);
    }
    void hideEvent(QHideEvent* event) override
    {
        QFrame::hideEvent(event);
        FRibbon->BandPopupClosed();
    }

private:
    TUIRibbon* FRibbon;
    QElapsedTimer FOpened;
};

namespace {

// Large pictures in the application menu.
class TRibbonMenuStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_SmallIconSize)
            return kLargeIcon;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

// ---- Commands -------------------------------------------------------------------------------

TUICommand::TUICommand(TUIRibbon* ribbon, int commandId, QString name)
    : QObject(ribbon), FRibbon(ribbon), FCommandId(commandId), FName(std::move(name))
{
}

void TUICommand::SetCaption(const QString& text)
{
    FCaption = text;
    emit Changed();
}

void TUICommand::SetLabelDescription(const QString& text)
{
    FLabelDescription = text;
    emit Changed();
}

void TUICommand::SetTooltipTitle(const QString& text)
{
    FTooltipTitle = text;
    emit Changed();
}

void TUICommand::SetTooltipDescription(const QString& text)
{
    FTooltipDescription = text;
    emit Changed();
}

void TUICommand::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    emit Changed();
}

void TUICommandAction::Execute()
{
    if (!Enabled() || !OnExecute)
        return;
    TUICommandActionEventArgs args;
    args.Command = this;
    OnExecute(args);
}

// ---- Ribbon host ----------------------------------------------------------------------------

TUIRibbon::TUIRibbon(QWidget* parent, TCommandCreatedEvent onCommandCreated)
    : QWidget(parent), OnCommandCreated(std::move(onCommandCreated))
{
    setObjectName(QStringLiteral("Ribbon"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, kText);
    setPalette(palette);
    setFont(RibbonFont());
    setFixedHeight(DefaultHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

TUIRibbon::~TUIRibbon()
{
    if (FBandPopup)
        FBandPopup->close(); // puts the band back; the popup itself goes with its parent
    if (FLoaded)
        SaveSettings();
}

void TUIRibbon::Load(const QString& resourceName)
{
    if (FLoaded)
        return;
    const QString resource = resourceName + QStringLiteral("_RIBBON");
    QFile file(kMarkupFolder + resource + QStringLiteral(".xml"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot load the ribbon resource \"%1\"").arg(resource));
    const QByteArray markup = file.readAll();
    FResourceName = resourceName;
    BuildFromMarkup(markup);
    FLoaded = true;
    SetActiveTabIndex(TabCount() > 0 ? 0 : -1);
    UpdateHeight();
    NotifyCommandsCreated();
    LoadSettings();
}

void TUIRibbon::BuildFromMarkup(const QByteArray& data)
{
    const QString resource = FResourceName + QStringLiteral("_RIBBON");
    const TMarkup markup = ParseMarkup(data, resource);
    ValidateMarkup(markup, resource);

    // Commands that anchor the layout carry only texts; all others are actions.
    QSet<QString> anchors;
    if (!markup.ApplicationMenu.isEmpty())
        anchors.insert(markup.ApplicationMenu);
    for (const TMarkupTab& tab : markup.Tabs) {
        anchors.insert(tab.Command);
        for (const TMarkupGroup& group : tab.Groups)
            anchors.insert(group.Command);
    }

    const TRibbonMarkupElementList* descriptors = TRibbonMarkupElementList::LookupListByResourceName(FResourceName);
    QHash<QString, TUICommand*> byName;
    QHash<QString, QIcon> smallIcons;
    QHash<QString, QIcon> largeIcons;
    const auto icon = [](QHash<QString, QIcon>& cache, const QString& file, std::initializer_list<int> sizes) {
        if (file.isEmpty())
            return QIcon();
        auto it = cache.find(file);
        if (it == cache.end())
            it = cache.insert(file, LoadSvgIcon(kMarkupFolder + file, sizes));
        return *it;
    };

    for (const TMarkupCommand& c : markup.Commands) {
        TUICommand* command = anchors.contains(c.Name) ? static_cast<TUICommand*>(new TUICommandAnchor(this, c.Id, c.Name))
                                                       : new TUICommandAction(this, c.Id, c.Name);
        TRibbonMarkupElement descriptor;
        if (descriptors)
            descriptors->TryGetItem(c.Id, descriptor);
        command->FCaption = RibbonResourceString(descriptor.LabelTitleResourceID);
        command->FLabelDescription = RibbonResourceString(descriptor.LabelDescriptionResourceID);
        command->FTooltipTitle = RibbonResourceString(descriptor.TooltipTitleResourceID);
        command->FTooltipDescription = RibbonResourceString(descriptor.TooltipDescriptionResourceID);
        command->FSmallImage = icon(smallIcons, c.SmallImage, {16, 20, 24, 32});
        command->FLargeImage = icon(largeIcons, c.LargeImage, {32, 40, 48, 64});
        FCommands.append(command);
        byName.insert(c.Name, command);
    }

    const auto find = [&byName](const QString& name) { return byName.value(name); };
    const auto action = [&byName](const QString& name) { return static_cast<TUICommandAction*>(byName.value(name)); };

    // Tab row: application menu button, tab headers, the minimise chevron.
    auto* rootLayout = new QVBoxLayout(this);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);
    FTabRow = new TRibbonTabRow(this);
    FTabRowLayout = new QHBoxLayout(FTabRow);
    FTabRowLayout->setContentsMargins(0, 0, 4, 0);
    FTabRowLayout->setSpacing(2);
    rootLayout->addWidget(FTabRow);

    if (!markup.ApplicationMenu.isEmpty()) {
        TUICommand* menuCommand = find(markup.ApplicationMenu);
        auto* button = new TRibbonApplicationButton(FTabRow);
        button->setObjectName(menuCommand->Name());
        button->setProperty("commandId", menuCommand->CommandId());
        button->setText(menuCommand->Caption());
        button->setToolTip(TooltipHtml(menuCommand->TooltipTitle(), menuCommand->TooltipDescription()));
        FApplicationButton = button;
        FTabRowLayout->addWidget(button, 0, Qt::AlignBottom);
        FTabRowLayout->addSpacing(4);
        connect(button, &QAbstractButton::pressed, this, &TUIRibbon::ShowApplicationMenu);

        FApplicationMenu = new QMenu(this);
        FApplicationMenu->setObjectName(QStringLiteral("RibbonApplicationMenu"));
        auto* style = new TRibbonMenuStyle;
        style->setParent(FApplicationMenu);
        FApplicationMenu->setStyle(style);
        FApplicationMenu->setFont(RibbonFont());
        FApplicationMenu->setStyleSheet(QStringLiteral(
            "QMenu { background: white; border: 1px solid #a9b4c2; padding: 3px; }"
            "QMenu::item { padding: 7px 28px 7px 6px; margin: 1px; border: 1px solid transparent; color: #262626; }"
            "QMenu::item:selected { background: #e5f1fb; border: 1px solid #b9d7f2; }"
            "QMenu::item:disabled { color: #a0a0a0; }"
            "QMenu::icon { padding-left: 6px; }"
            "QMenu::separator { height: 1px; background: #d5d8dc; margin: 3px 4px; }"));
        for (qsizetype g = 0; g < markup.MenuGroups.size(); ++g) {
            if (g > 0)
                FApplicationMenu->addSeparator();
            for (const QString& name : markup.MenuGroups[g]) {
                TUICommandAction* command = action(name);
                QAction* item = FApplicationMenu->addAction(command->LargeImage(), command->Caption());
                item->setObjectName(command->Name());
                item->setProperty("commandId", command->CommandId());
                item->setEnabled(command->Enabled());
                item->setToolTip(TooltipHtml(command->TooltipTitle(), command->TooltipDescription()));
                connect(item, &QAction::triggered, this, [this, command] { ExecuteFromUi(command); });
                connect(command, &TUICommand::Changed, item, [item, command] {
                    item->setText(command->Caption());
                    item->setEnabled(command->Enabled());
                });
            }
        }
        connect(FApplicationMenu, &QMenu::aboutToHide, button, [button] {
            button->MenuOpen = false;
            button->update();
        });
    }

    // Band: one page of groups per tab.
    FBandHost = new QWidget(this);
    auto* hostLayout = new QVBoxLayout(FBandHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    FBand = new TRibbonBand(FBandHost);
    hostLayout->addWidget(FBand);
    rootLayout->addWidget(FBandHost);

    for (const TMarkupTab& tab : markup.Tabs) {
        TUICommand* tabCommand = find(tab.Command);
        const int index = static_cast<int>(FTabCommands.size());
        auto* header = new TRibbonTabHeader(this, tabCommand, index, FTabRow);
        FTabRowLayout->addWidget(header, 0, Qt::AlignBottom);
        FTabHeaders.append(header);
        FTabCommands.append(tabCommand);

        auto* page = new QWidget(FBand);
        page->setObjectName(tabCommand->Name() + QStringLiteral("Page"));
        auto* pageLayout = new QHBoxLayout(page);
        pageLayout->setContentsMargins(4, 3, 4, 3);
        pageLayout->setSpacing(0);
        for (const TMarkupGroup& g : tab.Groups) {
            auto* group = new TRibbonGroup(find(g.Command), page);
            for (const QString& name : g.Buttons) {
                auto* button = new TRibbonLargeButton(action(name), group);
                connect(button, &QAbstractButton::clicked, this, [this, button] { ExecuteFromUi(button->Command()); });
                group->AddButton(button);
            }
            pageLayout->addWidget(group);
        }
        pageLayout->addStretch(1);
        static_cast<TRibbonBand*>(FBand)->AddPage(page);
    }

    FTabRowLayout->addStretch(1);
    auto* minimize = new TRibbonMinimizeButton(FTabRow);
    FMinimizeButton = minimize;
    FTabRowLayout->addWidget(minimize, 0, Qt::AlignVCenter);
    connect(minimize, &QAbstractButton::clicked, this, [this] { SetMinimized(!FMinimized); });

}

void TUIRibbon::NotifyCommandsCreated()
{
    for (TUICommand* command : std::as_const(FCommands))
        if (OnCommandCreated)
            OnCommandCreated(this, command);
}

TUICommand* TUIRibbon::CommandById(int commandId) const
{
    for (TUICommand* command : FCommands)
        if (command->CommandId() == commandId)
            return command;
    return nullptr;
}

int TUIRibbon::TabCount() const
{
    return static_cast<int>(FTabCommands.size());
}

void TUIRibbon::SetActiveTabIndex(int index)
{
    if (index < -1 || index >= TabCount())
        return;
    const bool changed = index != FActiveTab;
    FActiveTab = index;
    if (FBand && index >= 0)
        static_cast<TRibbonBand*>(FBand)->SetCurrent(index);
    UpdateTabHeaders();
    if (changed)
        emit ActiveTabChanged(index);
}

void TUIRibbon::SetMinimized(bool value)
{
    if (FMinimized == value)
        return;
    if (FBandPopup)
        FBandPopup->close();
    FMinimized = value;
    UpdateHeight();
    UpdateTabHeaders();
    emit MinimizedChanged(value);
}

void TUIRibbon::UpdateHeight()
{
    if (!FLoaded)
        return;
    FBandHost->setVisible(!FMinimized);
    setFixedHeight(FMinimized ? kTabRowHeight : DefaultHeight);
    if (auto* chevron = static_cast<TRibbonMinimizeButton*>(FMinimizeButton)) {
        chevron->PointsDown = FMinimized;
        chevron->setToolTip(FMinimized ? QStringLiteral("Разгъване на лентата") : QStringLiteral("Свиване на лентата"));
        chevron->update();
    }
}

void TUIRibbon::UpdateTabHeaders()
{
    for (QAbstractButton* header : std::as_const(FTabHeaders))
        header->update();
}

void TUIRibbon::TabHeaderClicked(int index)
{
    SetActiveTabIndex(index);
    if (FMinimized && !FBandPopup)
        ShowBandPopup();
}

void TUIRibbon::TabHeaderDoubleClicked(int index)
{
    SetActiveTabIndex(index);
    SetMinimized(!FMinimized);
}

void TUIRibbon::ShowBandPopup()
{
    auto* popup = new TRibbonBandPopup(this);
    FBandPopup = popup;
    popup->layout()->addWidget(FBand);
    FBand->show();
    popup->setGeometry(QRect(mapToGlobal(QPoint(0, kTabRowHeight - 1)), QSize(width(), kBandHeight)));
    popup->show();
    UpdateTabHeaders();
}

void TUIRibbon::BandPopupClosed()
{
    if (!FBandPopup)
        return;
    QWidget* popup = FBandPopup;
    FBandPopup = nullptr;
    FBandHost->layout()->addWidget(FBand);
    FBand->show();
    popup->deleteLater();
    UpdateTabHeaders();
}

void TUIRibbon::ExecuteFromUi(TUICommandAction* command)
{
    if (FBandPopup)
        FBandPopup->close();
    command->Execute();
}

void TUIRibbon::ShowApplicationMenu()
{
    if (!FApplicationMenu)
        return;
    if (FBandPopup)
        FBandPopup->close();
    auto* button = static_cast<TRibbonApplicationButton*>(FApplicationButton);
    button->MenuOpen = true;
    button->setDown(false);
    button->update();
    FApplicationMenu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

bool TUIRibbon::HandleShortCut(const QKeySequence& key)
{
    if (key.isEmpty())
        return false;
    for (TUICommand* command : std::as_const(FCommands)) {
        auto* action = dynamic_cast<TUICommandAction*>(command);
        if (action && !action->Shortcut().isEmpty() && action->Shortcut() == key && action->Enabled()) {
            ExecuteFromUi(action);
            return true;
        }
    }
    return false;
}

// ---- Ribbon state file ----------------------------------------------------------------------

void TUIRibbon::SetSettingsFolders(const QString& executableDir, const QString& userConfigDir)
{
    gExecutableDirOverride = executableDir;
    gUserConfigDirOverride = userConfigDir;
}

QString TUIRibbon::SettingsFileName()
{
    const QString executableDir =
        gExecutableDirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : gExecutableDirOverride;
    const QString besideExecutable = QDir(executableDir).filePath(kSettingsFileName);
    if (QFileInfo::exists(besideExecutable))
        return besideExecutable;
    const QString configDir = gUserConfigDirOverride.isEmpty()
                                  ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                  : gUserConfigDirOverride;
    return QDir(configDir).filePath(kApplicationTitle + QLatin1Char('/') + kSettingsFileName);
}

// <RibbonOptions Resource="APPLICATION">
//   <SelectedTab>CmdTools</SelectedTab>
//   <Minimized>false</Minimized>
// </RibbonOptions>
void TUIRibbon::SaveSettings() const
{
    const QString fileName = SettingsFileName();
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("RibbonOptions"));
    xml.writeAttribute(QStringLiteral("Resource"), FResourceName);
    if (FActiveTab >= 0 && FActiveTab < TabCount())
        xml.writeTextElement(QStringLiteral("SelectedTab"), FTabCommands[FActiveTab]->Name());
    xml.writeTextElement(QStringLiteral("Minimized"), FMinimized ? QStringLiteral("true") : QStringLiteral("false"));
    xml.writeEndElement();
    xml.writeEndDocument();
    file.commit();
}

bool TUIRibbon::LoadSettings()
{
    QFile file(SettingsFileName());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != u"RibbonOptions")
        return false;
    QString selectedTab;
    std::optional<bool> minimized;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"SelectedTab") {
            selectedTab = xml.readElementText().trimmed();
        } else if (xml.name() == u"Minimized") {
            const QString value = xml.readElementText().trimmed();
            if (value == u"true" || value == u"1")
                minimized = true;
            else if (value == u"false" || value == u"0")
                minimized = false;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return false;
    for (int i = 0; i < TabCount(); ++i)
        if (FTabCommands[i]->Name() == selectedTab)
            SetActiveTabIndex(i);
    if (minimized)
        SetMinimized(*minimized);
    return true;
}

// ---- Ribbon form ----------------------------------------------------------------------------

TUIRibbonForm::TUIRibbonForm(QWidget* parent) : QMainWindow(parent)
{
    FRibbon = new TUIRibbon(this, [this](TUIRibbon* sender, TUICommand* command) { RibbonCommandCreated(sender, command); });
    setMenuWidget(FRibbon);
}

TUIRibbonForm::~TUIRibbonForm()
{
    delete FRibbon;
    FRibbon = nullptr;
}

void TUIRibbonForm::LoadRibbon()
{
    if (FRibbon->Loaded())
        return;
    FRibbon->Load(RibbonResourceName());
    AfterRibbonLoad();
}

void TUIRibbonForm::RibbonCommandCreated(TUIRibbon*, TUICommand*) {}

void TUIRibbonForm::AfterRibbonLoad() {}

QString TUIRibbonForm::RibbonResourceName() const
{
    return QStringLiteral("APPLICATION");
}

void TUIRibbonForm::keyPressEvent(QKeyEvent* event)
{
    if (FRibbon && FRibbon->HandleShortCut(QKeySequence(event->keyCombination()))) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
