#pragma once
// How the ribbon looks: its geometry, colours and font, the texts of labels and tooltips,
// the hover frame of its buttons, and pictures drawn from SVG files.

#include "UIRibbonUnit.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QPainter;

// Geometry: a tab row above a band of groups; together the ribbon's full height.
inline constexpr int kTabRowHeight = 25;
inline constexpr int kBandHeight = TUIRibbon::DefaultHeight - kTabRowHeight;
inline constexpr int kLargeIcon = 32;
inline constexpr int kButtonHeight = 66;
inline constexpr int kMinButtonWidth = 42;
inline constexpr int kCaptionHeight = 16;

inline const QColor kFrameLine(0xd5, 0xd8, 0xdc);
inline const QColor kBandTop(0xfb, 0xfb, 0xfc);
inline const QColor kBandBottom(0xf3, 0xf4, 0xf6);
inline const QColor kText(0x26, 0x26, 0x26);
inline const QColor kDisabledText(0xa0, 0xa0, 0xa0);
inline const QColor kCaptionText(0x66, 0x66, 0x66);
inline const QColor kAccent(0x2b, 0x57, 0x9a);
inline const QColor kHoverFill(0xe5, 0xf1, 0xfb);
inline const QColor kHoverLine(0xb9, 0xd7, 0xf2);
inline const QColor kPressedFill(0xcc, 0xe4, 0xf7);
inline const QColor kPressedLine(0x8c, 0xbd, 0xe8);

// Segoe UI, or a font like it where there is none, at 12 pixels.
QFont RibbonFont();

// "И&зход" -> "Изход", "a && b" -> "a & b".
QString StripMnemonic(const QString& text);

// A tooltip: the title in bold without its access-key marks, the description below it;
// empty when both are blank.
QString TooltipHtml(const QString& title, const QString& description);

// A large button's label on one or two lines: a label with spaces is broken at the
// space that gives the narrowest button.
QStringList SplitLabel(const QString& label, const QFontMetrics& metrics);

// The frame and fill of a button under the mouse, or pressed.
void DrawHoverFrame(QPainter& painter, const QRect& rect, bool pressed);

// An icon drawn from an SVG file at each of the given pixel sizes; empty when the file is not a
// valid SVG.
QIcon LoadSvgIcon(const QString& path, std::initializer_list<int> sizes);
