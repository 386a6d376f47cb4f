// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WindowPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect KeptWithin(QRect frame, const QRect& area) {
  frame.setWidth(std::min(frame.width(), area.width()));
  frame.setHeight(std::min(frame.height(), area.height()));
  frame.moveLeft(std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width()));
  frame.moveTop(std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height()));
  return frame;
}

QRect KeptOnAreas(const QRect& frame, const QList<QRect>& areas) {
  if (areas.isEmpty())
    return frame;
  const QRect* best = nullptr;
  long long bestOverlap = 0;
  for (const QRect& area : areas) {
    const QRect common = area.intersected(frame);
    const long long overlap = static_cast<long long>(common.width()) * common.height();
    if (overlap > bestOverlap) {
      best = &area;
      bestOverlap = overlap;
    }
  }
  if (best)
    return KeptWithin(frame, *best);
  QRect centred = KeptWithin(frame, areas.front());
  centred.moveCenter(areas.front().center());
  return centred;
}

QList<QRect> AvailableScreenAreas() {
  QList<QRect> areas;
  if (const QScreen* primary = QGuiApplication::primaryScreen())
    areas.append(primary->availableGeometry());
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen != QGuiApplication::primaryScreen())
      areas.append(screen->availableGeometry());
  return areas;
}

TSideBySide PlaceSideBySide(QRect main, QRect side, const QRect& area) {
  main = KeptWithin(main, area);
  side.setHeight(std::min(side.height(), area.height()));
  const int roomRight = area.right() - main.right() - SideBySideGap;
  const int roomLeft = main.left() - area.left() - SideBySideGap;
  if (side.width() > std::max(roomRight, roomLeft)) {
    // No room on either side as things are: the main window gives what it can.
    const int bothWide = main.width() + SideBySideGap + side.width();
    if (bothWide > area.width()) {
      side.setWidth(std::max(NarrowestSideWindow, area.width() - SideBySideGap - main.width()));
      main.setWidth(
          std::max(1, std::min(main.width(), area.width() - SideBySideGap - side.width())));
    }
    // The pair kept on the side the main window leant to.
    if (roomRight >= roomLeft)
      main.moveRight(std::min(main.right(), area.right() - SideBySideGap - side.width()));
    else
      main.moveLeft(std::max(main.left(), area.left() + SideBySideGap + side.width()));
  }
  if (area.right() - main.right() - SideBySideGap >= side.width())
    side.moveLeft(main.right() + 1 + SideBySideGap);
  else
    side.moveRight(main.left() - 1 - SideBySideGap);
  side.moveTop(std::clamp(main.top(), area.top(), area.bottom() + 1 - side.height()));
  return {main, KeptWithin(side, area)}; // on a screen too small for both, over it at worst
}

namespace {
QSize BorderOf(const QWidget* window, const QWidget* like) {
  const QSize own = window->frameGeometry().size() - window->size();
  if (window->isVisible() || !like)
    return own;
  // A window just shown may not have its frame yet either: then the usual one is allowed.
  const QSize likeBorder = like->frameGeometry().size() - like->size();
  return likeBorder.isNull() ? WindowFrameAllowance : likeBorder;
}
} // namespace

QRect FrameOf(QWidget* window, const QWidget* like) {
  if (!window->testAttribute(Qt::WA_Resized))
    window->adjustSize(); // the size it will be shown at
  return {window->pos(), window->size() + BorderOf(window, like)};
}

void SetFrame(QWidget* window, const QRect& frame, const QWidget* like) {
  window->resize(frame.size() - BorderOf(window, like));
  window->move(frame.topLeft());
}

void CentreOver(QWidget* window, const QWidget* owner) {
  if (!owner)
    return;
  owner = owner->window();
  QRect frame = FrameOf(window, owner);
  frame.moveCenter(owner->frameGeometry().center());
  if (const QScreen* screen = owner->screen())
    frame = KeptWithin(frame, screen->availableGeometry());
  SetFrame(window, frame, owner);
}
