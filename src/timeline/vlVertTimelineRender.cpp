#include "vlVertTimelineRender.h"

#include "vl09_DayFilesManager.h"
#include "vl_Document.h"
#include "vldTemporal.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor TickColor(221, 221, 221);
const QColor MarkerBox(15, 41, 61);
const QColor MarkerText(255, 201, 14);

// The date header's text shrinks to fit the ruler's columns, down to this many pixels.
constexpr int DateHeaderPixelSize = 12;
constexpr int DateHeaderMinPixelSize = 7;
// Pixels kept between a label tag and the text moved right of it.
constexpr int TagToTextGap = 3;

QFont PixelFont(const QString &Face, double Points, bool Bold = false) {
  QFont f(TimelineDrawingFace(Face));
  f.setPixelSize(int(std::lround(Points * 96.0 / 72.0)));
  f.setBold(Bold);
  return f;
}

QColor Fade(const QColor &Background, const QColor &Colour, double F) {
  auto ch = [F](int b, int c) { return int(std::lround(b + F * (c - b))); };
  return QColor(ch(Background.red(), Colour.red()), ch(Background.green(), Colour.green()),
                ch(Background.blue(), Colour.blue()));
}

}  // namespace

std::vector<RParagraphStart> ParagraphStartsOf(const std::vector<const TDocument *> &Documents,
                                               TDateTime From, TDateTime To) {
  std::vector<RParagraphStart> starts;
  for (const TDocument *doc : Documents) {
    if (!doc) continue;
    for (int sn = doc->Section_Low(); sn <= doc->Section_High(); ++sn) {
      const TParagraph *para = doc->Paragraph_FromSectionNum(sn);
      if (!para || para->High() == 0) continue;
      RParagraphStart start;
      int first = 1;
      QString prefix;
      if (para->Outline_Get(prefix) != oNone && !prefix.isEmpty() && para->High() > prefix.size() &&
          para->Text().startsWith(prefix)) {
        first = int(prefix.size()) + 1;
        for (int i = 1; i < first; ++i) {
          start.Prefix += TypingEventText(para->Char_GetChar(i));
          start.PrefixWhens.push_back(TypingEventMoment(para->Timestamp_Get(i)));
        }
      }
      start.When = TypingEventMoment(para->Timestamp_Get(first));
      start.Text = TypingEventText(para->Char_GetChar(first));
      if (start.When >= From && start.When <= To) starts.push_back(std::move(start));
    }
  }
  return starts;
}

TVertTimelineRender::TVertTimelineRender() {
  FFonts.Minor = PixelFont(QStringLiteral("Terminal"), 5.25);
  FFonts.Normal = PixelFont(QStringLiteral("MS Sans Serif"), 8);
  FFonts.Major = PixelFont(QStringLiteral("MS Sans Serif"), 8, true);
  FFonts.AmPm = PixelFont(QStringLiteral("MS Sans Serif"), 7);
  FFonts.Date = QFont(TimelineDrawingFace(QStringLiteral("Arial")));
  FFonts.Date.setPixelSize(DateHeaderPixelSize);
  FFonts.Narrow = QFont(TimelineDrawingFace(QStringLiteral("Arial Narrow")));
  FFonts.Narrow.setPixelSize(9);
  FFonts.NarrowBold = FFonts.Narrow;
  FFonts.NarrowBold.setBold(true);
}

QRect TVertTimelineRender::LockHandleRect(const RVertView &View) const {
  const int y = int(RoundHalfEven(View.Size.height() * View.WhereToLockWhen));
  const int x = FBands.FMarkersBand.Middle();
  return QRect(x - 5, y - 3, 11, 7);
}

void TVertTimelineRender::Render(const RVertView &View, const TvlDayFilesManager *Days,
                                 const std::vector<const TDocument *> &Documents,
                                 TVertLevelSource *Levels, RVertRendered &Out) const {
  const int w = std::max(1, View.Size.width()), h = std::max(1, View.Size.height());
  const qreal ratio = View.PixelRatio > 0 ? View.PixelRatio : 1;
  if (Out.Image.deviceIndependentSize().toSize() != QSize(w, h) ||
      Out.Image.devicePixelRatio() != ratio) {
    Out.Image = QImage(QSize(w, h) * ratio, QImage::Format_RGB32);
    Out.Image.setDevicePixelRatio(ratio);
  }
  const TVertRowMap map(View.FromDT, View.SpanFD);

  // 1. The events of the view and a margin (none at all for a window of 3 hours or more).
  std::vector<TEventID> ids;
  std::vector<TvlEvent> events;
  std::vector<RTypedEvent> typed;
  if (Days) {
    Days->EventIndex().ListEventIDsForTimePeriod(ids, map.TimeOfRow(-RowsListedAbove),
                                                 map.TimeOfRow(h + RowsListedBelow));
    events.resize(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (!Days->Event_FromEventID(ids[i], events[i])) events[i].Kind = koeNone;
      if (events[i].Kind == koeTyping)
        typed.push_back(RTypedEvent{ids[i], events[i].When, events[i].What, events[i].Text});
    }
  }
  // Paragraph breaks file no event: the open documents say where their paragraphs start.
  if (!typed.empty()) {
    const auto byTime = [](const RTypedEvent &A, const RTypedEvent &B) { return A.When < B.When; };
    std::stable_sort(typed.begin(), typed.end(), byTime);
    MarkParagraphStarts(typed, ParagraphStartsOf(Documents, typed.front().When, typed.back().When));
  }

  // 2, 3. The lines of text.
  const QFontMetrics fm(FBands.FKeyboardingBand.Font);
  Out.LineHeight = fm.height() + 1;
  const int available = w - FBands.FKeyboardingBand.Left - 5;
  Out.Lines = BuildTextLines(typed, map, h, Out.LineHeight, available,
                             [&fm](const QString &S) { return fm.horizontalAdvance(S); });

  QPainter p(&Out.Image);
  p.setRenderHint(QPainter::Antialiasing, false);
  // 4. Background and ruler.
  DrawBackground(p, View);
  DrawRuler(p, View, map);
  // 5, 6. Text beside the bookmarks: the tags are placed first, so that text moves right of them.
  PlaceBookmarks(View, map, events, ids, Out);
  DrawLines(p, View, Out);
  DrawBookmarks(p, Out);
  // 8. The level band over the full height.
  const TBand &audio = FBands.FAudioTrackBand;
  p.end();
  const QRect band(audio.Left, 0, audio.Width, h);
  if (Levels) {
    if (Out.Image.devicePixelRatio() == 1) {
      Levels->DrawAllVert(Out.Image, band, View.FromDT, View.SpanFD);
    } else {
      // The level sources fill rows of pixels, one row a time step: they draw at the widget's
      // own resolution, and the band is copied in with each pixel made a block.
      QImage levels = Out.Image.scaled(QSize(w, h), Qt::IgnoreAspectRatio, Qt::FastTransformation);
      levels.setDevicePixelRatio(1);
      Levels->DrawAllVert(levels, band, View.FromDT, View.SpanFD);
      p.begin(&Out.Image);
      p.drawImage(band, levels, band);
      p.end();
    }
  }
  p.begin(&Out.Image);
  // The date over the level band's top, never under it.
  Out.DateHeaderRect = DrawDateHeader(p, View);
  // 9. The lock handle.
  DrawLockHandle(p, View);
  Out.LockHandleRect = LockHandleRect(View);
  p.end();
}

void TVertTimelineRender::DrawBackground(QPainter &P, const RVertView &View) const {
  P.fillRect(QRect(QPoint(0, 0), View.Size), View.Background);
  if (View.Skin.isNull() || !View.ScrollingSkin) {
    // Plain: the ruler keeps its dark column, or its white and grey labels could not be read.
    P.fillRect(0, 0, FBands.FAudioTrackBand.Left, View.Size.height(), View.TimeBackground);
    return;
  }
  for (int y = 0; y < View.Size.height(); y += View.Skin.height()) P.drawImage(0, y, View.Skin);
}

void TVertTimelineRender::DrawRuler(QPainter &P, const RVertView &View,
                                    const TVertRowMap &Map) const {
  const int h = View.Size.height();
  const int first = -25, last = h + 19;
  std::vector<int> bestClass(std::size_t(last - first + 1), 0);
  std::vector<int> bestSecond(bestClass.size(), 0);
  const TDateTime t0 = Map.TimeOfRow(first), t1 = Map.TimeOfRow(last + 1);
  const TDateTime origin = std::floor(t0);
  // Every multiple of 5 seconds in the window; each row keeps its strongest tick.
  const std::int64_t s0 = std::int64_t(std::ceil((t0 - origin) * SecsPerDay / 5)) * 5;
  const std::int64_t s1 = std::int64_t(std::floor((t1 - origin) * SecsPerDay));
  for (std::int64_t s = s0; s <= s1; s += 5) {
    const int row = Map.RowOf(origin + double(s) / SecsPerDay);
    if (row < first || row > last) continue;
    const int cls = VertTickClass(int(s % 86400));
    const std::size_t k = std::size_t(row - first);
    if (cls > bestClass[k]) {
      bestClass[k] = cls;
      bestSecond[k] = int(s % 86400);
    }
  }
  const TBand &tics = FBands.FTimeTicsBand;
  const TBand &nums = FBands.FTimeNumsBand;
  const QFont &minor = FFonts.Minor, &normal = FFonts.Normal, &major = FFonts.Major,
              &ampm = FFonts.AmPm;
  const QFontMetrics fmMinor(minor), fmNormal(normal), fmMajor(major), fmAmpm(ampm);
  const double pd = View.PixelDuration();
  for (int row = first; row <= last; ++row) {
    const int cls = bestClass[std::size_t(row - first)];
    if (cls == 0) continue;
    const int len = VertTickLength(cls);
    if (row >= 0 && row < h && len > 0) P.fillRect(tics.Right - len + 1, row, len, 1, TickColor);
    const double f = VertTickLabelStrength(cls, pd);
    if (f <= 0) continue;
    const int second = bestSecond[std::size_t(row - first)];
    const QString label = VertTickLabel(second, View.TwentyFour);
    const QFont &font = cls == 2 ? minor : cls == 7 ? major : normal;
    const QFontMetrics &fm = cls == 2 ? fmMinor : cls == 7 ? fmMajor : fmNormal;
    QColor colour = cls == 7   ? QColor(Qt::white)
                    : cls == 2 ? Fade(View.TimeBackground, QColor(184, 184, 184), f)
                               : Fade(View.TimeBackground, QColor(204, 204, 204), f);
    P.setFont(font);
    P.setPen(colour);
    int x = nums.Right - fm.horizontalAdvance(label) + 1;
    int top = row - fm.height() / 2;
    if (cls == 2) {
      x += 7;
      top += 1;
    }
    P.drawText(x, top + fm.ascent(), label);
    // The 24-hour clock needs no "am" and "pm".
    if (cls >= 3 && !View.TwentyFour) {
      const QString suffix = second / 3600 < 12 ? QStringLiteral("am") : QStringLiteral("pm");
      P.setFont(ampm);
      P.setPen(Fade(View.TimeBackground, QColor(144, 144, 144), f));
      P.drawText(nums.Right - 3 - fmAmpm.horizontalAdvance(suffix) + 1,
                 top + fm.height() + fmAmpm.ascent() - 2, suffix);
    }
  }
}

QRect TVertTimelineRender::DrawDateHeader(QPainter &P, const RVertView &View) const {
  const QString weekday = VertWeekday(View.FromDT), date = VertShortDate(View.FromDT);
  // The header stays inside the ruler's columns: from one pixel in to one before the level
  // band. A date too wide for them at 12 pixels is written smaller rather than cut at both
  // sides.
  const int left = 1, right = FBands.FAudioTrackBand.Left - 1;  // right exclusive
  QFont font = FFonts.Date;
  int textW = 0;
  for (int size = DateHeaderPixelSize;; --size) {
    font.setPixelSize(size);
    const QFontMetrics fm(font);
    textW = std::max(fm.horizontalAdvance(weekday), fm.horizontalAdvance(date));
    if (textW + 8 <= right - left || size <= DateHeaderMinPixelSize) break;
  }
  const QFontMetrics fm(font);
  const int width = std::min(textW + 8, right - left);
  const int centre = (FBands.FTimeNumsBand.Left + FBands.FAudioTrackBand.Left) / 2;
  const int x = std::clamp(centre - width / 2, left, std::max(left, right - width));
  const QRect rect(x, 3, width, 2 * fm.height() + 5 - 3);
  const QColor back = View.Background;
  P.setRenderHint(QPainter::Antialiasing, true);
  P.setPen(Fade(VertColors::Text, back, 0.4));
  P.setBrush(back);
  P.drawRoundedRect(rect, 6, 6);
  P.setRenderHint(QPainter::Antialiasing, false);
  P.setBrush(Qt::NoBrush);
  P.setFont(font);
  P.setPen(VertColors::Text);
  P.save();
  P.setClipRect(rect.adjusted(1, 1, -1, -1));
  const int mid = rect.left() + rect.width() / 2;
  P.drawText(mid - fm.horizontalAdvance(weekday) / 2, 4 + fm.ascent(), weekday);
  P.drawText(mid - fm.horizontalAdvance(date) / 2, 4 + fm.height() + fm.ascent(), date);
  P.restore();
  return rect;
}

void TVertTimelineRender::PlaceBookmarks(const RVertView &View, const TVertRowMap &Map,
                                         const std::vector<TvlEvent> &Events,
                                         const std::vector<TEventID> &IDs,
                                         RVertRendered &Out) const {
  Out.Bookmarks.clear();
  const TBand &mb = FBands.FMarkersBand;
  const int x = mb.Middle() - 5;
  const QFontMetrics fmB(FFonts.NarrowBold);
  for (std::size_t i = 0; i < Events.size(); ++i) {
    const TvlEvent &e = Events[i];
    if (e.Kind == koeTyping || e.Kind == koeNone) continue;
    const int y = Map.RowOf(e.When);
    if (y < -20 || y > View.Size.height() + 20) continue;
    RDrawnBookmark b;
    b.ID = IDs[i];
    b.Kind = e.Kind;
    b.When = e.When;
    if (e.Kind == koeMarker) {
      b.Text = QStringLiteral("F") + e.What;
      b.Shown = b.Text;
      b.Rect = QRect(x, y - 8, 12, 11);
    } else if (e.Kind == koeLabel) {
      // A long label is cut short with an ellipsis: the text beside it moves right of the tag,
      // and must keep half of the panel at least.
      const int widest = std::max(40, (View.Size.width() - x) / 2);
      b.Text = e.Text;
      b.Shown = fmB.elidedText(e.Text, Qt::ElideRight, widest - 3);
      b.Rect = QRect(x, y - 8, fmB.horizontalAdvance(b.Shown) + 3, 11);
    } else {
      b.Rect = QRect(mb.Left, y - 1, mb.Width, 3);
    }
    Out.Bookmarks.push_back(b);
  }
}

void TVertTimelineRender::DrawBookmarks(QPainter &P, const RVertRendered &Out) const {
  const QFontMetrics fmN(FFonts.Narrow), fmB(FFonts.NarrowBold);
  for (const RDrawnBookmark &b : Out.Bookmarks) {
    const int x = b.Rect.left(), y = b.Rect.top() + 8;
    if (b.Kind == koeMarker) {
      P.fillRect(b.Rect, MarkerBox);
      P.setPen(MarkerText);
      P.setFont(FFonts.Narrow);
      P.drawText(x + 1, y - 10 + fmN.ascent(), QStringLiteral("F"));
      P.setFont(FFonts.NarrowBold);
      P.drawText(x + 1 + fmN.horizontalAdvance(QStringLiteral("F")), y - 10 + fmB.ascent(),
                 b.Text.mid(1));
    } else if (b.Kind == koeLabel) {
      P.fillRect(b.Rect, MarkerBox);
      P.setPen(MarkerText);
      P.setFont(FFonts.NarrowBold);
      P.drawText(x + 1, y - 10 + fmB.ascent(), b.Shown);
    } else {
      P.fillRect(b.Rect.left(), b.Rect.top() + 1, b.Rect.width(), 1, MarkerBox);
    }
  }
}

void TVertTimelineRender::DrawLines(QPainter &P, const RVertView &View, RVertRendered &Out) const {
  const TBand &kb = FBands.FKeyboardingBand;
  const QFontMetrics fm(kb.Font);
  P.setFont(kb.Font);
  Out.LineRects.clear();
  Out.LineRedFrom.clear();
  Out.LineRects.reserve(Out.Lines.size());
  for (const RTextLine &line : Out.Lines) {
    const int top = line.Row - Out.LineHeight / 2;
    // A label tag reaching into the text column on this line's rows pushes the text right of it.
    int left = kb.Left;
    for (const RDrawnBookmark &b : Out.Bookmarks)
      if (b.Kind == koeLabel && b.Rect.top() < top + Out.LineHeight && top < b.Rect.bottom() + 1)
        left = std::max(left, b.Rect.right() + 1 + TagToTextGap);
    const int red = line.RedFrom(View.FeatureDT);
    const QString before = line.Text.left(red), after = line.Text.mid(red);
    const int beforeW = fm.horizontalAdvance(before);
    if (!before.isEmpty()) {
      P.setPen(VertColors::Text);
      P.drawText(left, top + fm.ascent(), before);
    }
    if (!after.isEmpty()) {
      P.setPen(VertColors::Red);
      P.drawText(left + beforeW, top + fm.ascent(), after);
    }
    Out.LineRects.push_back(
        QRect(left, top, std::max(1, fm.horizontalAdvance(line.Text)), Out.LineHeight));
    Out.LineRedFrom.push_back(red);
  }
}

void TVertTimelineRender::DrawLockHandle(QPainter &P, const RVertView &View) const {
  const QRect r = LockHandleRect(View);
  const int x = r.left() + 5, y = r.top() + 3;
  const QColor red(255, 0, 0);
  P.fillRect(x - 5, y, 11, 1, red);
  P.fillRect(x - 3, y - 1, 7, 3, red);
  P.fillRect(x - 1, y - 2, 3, 5, red);
}
