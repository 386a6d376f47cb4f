// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where windows go: every sub-window centred over the window it was opened from, a
// companion window beside the main window, and every window kept on a screen the user
// can see.
#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// A window manager's title bar and borders, allowed for where a window's own frame is not
// known yet (before it is first shown).
inline constexpr QSize WindowFrameAllowance(16, 48);

// The frame moved onto the area, shrunk where it is larger than the area.
QRect KeptWithin(QRect frame, const QRect& area);
// The frame kept on the area it overlaps most; off every area (a screen unplugged since),
// centred on the first one.
QRect KeptOnAreas(const QRect& frame, const QList<QRect>& areas);
// The screens' available areas, the primary screen's first.
QList<QRect> AvailableScreenAreas();

// A main window and a companion window placed side by side on the area, never one over
// the other where the area has room for both: the companion goes to the right of the main
// window where it fits, else to the left; else the main window moves over to make room;
// else the companion narrows to the room beside it (to no less than a usable width) and,
// on a screen too small even for that, the main window narrows too.
struct TSideBySide {
  QRect Main;
  QRect Side;
};
inline constexpr int SideBySideGap = 8;
inline constexpr int NarrowestSideWindow = 360;
TSideBySide PlaceSideBySide(QRect main, QRect side, const QRect& area);

// The frame a window has, or will have once shown: its size with the window manager's
// border (that of `like` while its own is not known yet).
QRect FrameOf(QWidget* window, const QWidget* like);
// Moves and sizes a window so that its frame becomes the given one.
void SetFrame(QWidget* window, const QRect& frame, const QWidget* like);

// Places a window about to be shown (or shown again) centred over the window it was opened
// from, within that window's screen. The one rule for every sub-window.
void CentreOver(QWidget* window, const QWidget* owner);
