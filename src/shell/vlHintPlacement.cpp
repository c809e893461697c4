#include "vlHintPlacement.h"

#include <algorithm>

QRect HintRectAt(const QSize &TextSize, const QPoint &ScreenAt) {
  return QRect(ScreenAt.x() - TextSize.width() / 2, ScreenAt.y(), TextSize.width(),
               TextSize.height());
}

int NearestScreen(const QList<QRect> &Screens, const QPoint &P) {
  int best = -1;
  std::int64_t bestDistance = 0;
  for (qsizetype i = 0; i < Screens.size(); ++i) {
    const QRect &s = Screens.at(i);
    if (s.isEmpty()) continue;
    const std::int64_t x = P.x(), y = P.y();
    const std::int64_t left = s.x(), top = s.y();
    const std::int64_t right = left + s.width() - 1, bottom = top + s.height() - 1;
    const std::int64_t dx = x < left ? left - x : (x > right ? x - right : 0);
    const std::int64_t dy = y < top ? top - y : (y > bottom ? y - bottom : 0);
    const std::int64_t distance = dx * dx + dy * dy;
    if (best < 0 || distance < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  return best;
}

QRect PlaceHintOnScreens(const QRect &HintRect, const QList<QRect> &Screens) {
  QRect r(HintRect.x(), HintRect.y(), HintRect.width(), HintRect.height() + 4);
  const int index = NearestScreen(Screens, r.topLeft());
  if (index < 0) return r;
  const QRect &s = Screens.at(index);
  r.setSize(QSize(std::min(r.width(), s.width()), std::min(r.height(), s.height())));
  const int screenRight = s.x() + s.width(), screenBottom = s.y() + s.height();
  if (r.y() + r.height() > screenBottom) r.moveTop(screenBottom - r.height());
  if (r.x() + r.width() > screenRight) r.moveLeft(screenRight - r.width());
  if (r.x() < s.x()) r.moveLeft(s.x());
  if (r.y() < s.y()) r.moveTop(s.y());
  return r;
}

bool IsOnHintRect(const QRect &Rect, const QPoint &P) {
  return P.x() >= Rect.x() && P.y() >= Rect.y() && P.x() < Rect.x() + Rect.width() &&
         P.y() < Rect.y() + Rect.height();
}

bool HintShouldAnimate(bool PlatformAnimates, std::int64_t MSecsSinceLastHint,
                       qsizetype TextLength) {
  return PlatformAnimates && MSecsSinceLastHint > 250 && TextLength < 100;
}
