#include "vlVertTimelineLayout.h"

#include "vldFontsInUse.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <cmath>

QString TimelineDrawingFace(const QString &Face) {
  if (Face == QStringLiteral("MS Sans Serif")) return QStringLiteral("Liberation Sans");
  if (Face == QStringLiteral("Arial Narrow")) return QStringLiteral("DejaVu Sans Condensed");
  if (Face == QStringLiteral("Terminal")) return QStringLiteral("DejaVu Sans");
  return DrawingFaceFor(Face);
}

namespace {

QFont BandFont(const QString &Face, double Points) {
  QFont f(TimelineDrawingFace(Face));
  f.setPixelSize(int(std::lround(Points * 96.0 / 72.0)));
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Bands

TBands::TBands() {
  auto set = [](TBand &B, int Gap, int Width) {
    B.Gap = Gap;
    B.Width = Width;
    B.Font = BandFont(QStringLiteral("Arial"), 10);
  };
  set(FTimeNumsBand, 2, 34);
  set(FTimeTicsBand, 2, 8);
  set(FAudioTrackBand, 3, 15);
  set(FMarkersBand, 2, 8);
  set(FKeyboardingBand, 2, 9999);
  FKeyboardingBand.Font = BandFont(QStringLiteral("Comic Sans MS"), 7);
  Recompute();
}

void TBands::Recompute() {
  int end = 0;
  for (TBand *b :
       {&FTimeNumsBand, &FTimeTicsBand, &FAudioTrackBand, &FMarkersBand, &FKeyboardingBand}) {
    if (!b->Show) continue;
    b->Left = end + b->Gap;
    b->Right = b->Left + b->Width - 1;
    end = b->Left + b->Width;
  }
}

// ---------------------------------------------------------------------------------------------
// Rows

TVertRowMap::TVertRowMap(TDateTime From, TDateTime Span)
    : FromDT(From), SpanFD(Span > 0 ? Span : 1 / SecsPerDay) {}

int TVertRowMap::RowOf(TDateTime T) const {
  const TDateTime origin = std::floor(FromDT);
  const double r = double(RoundHalfEven((T - origin) / SpanFD)) -
                   double(RoundHalfEven((FromDT - origin) / SpanFD));
  // Far moments (a bookmark years away) land far outside any control, never in int overflow.
  return int(std::clamp(r, -1e9, 1e9));
}

double VertPixelDuration(int ControlWidth, int KeyboardingLeft, int ZoomParameter) {
  if (ZoomParameter <= 0) ZoomParameter = 250;
  const double d = double(ControlWidth - KeyboardingLeft) / ZoomParameter;
  return std::clamp(d, MinVertPixelDuration, MaxVertPixelDuration);
}

// ---------------------------------------------------------------------------------------------
// Ruler

int VertTickClass(int SecondOfDay) {
  const int second = SecondOfDay % 60, minute = (SecondOfDay / 60) % 60;
  if (second % 5 != 0) return 0;
  if (second != 0) return second % 15 == 0 ? 2 : 1;
  if (minute == 0) return 7;
  if (minute == 30) return 6;
  if (minute % 15 == 0) return 5;
  if (minute % 5 == 0) return 4;
  return 3;
}

int VertTickLength(int TickClass) {
  static const int lengths[] = {0, 1, 2, 6, 8, 10, 11, 12};
  return TickClass >= 0 && TickClass <= 7 ? lengths[TickClass] : 0;
}

double VertTickLabelStrength(int TickClass, double P) {
  switch (TickClass) {
    case 2: return P < 1 ? std::clamp((1 - P) * 10 / 3, 0.0, 1.0) : 0;
    case 3: return P <= 2 ? std::clamp((2 - P) * 5 / 3, 0.0, 1.0) : 0;
    case 4: return P <= 5 ? std::clamp((5 - P) * 2, 0.0, 1.0) : 0;
    case 5: return P <= 12 ? 1 : 0;
    case 6: return P <= 20 ? 1 : 0;
    case 7: return 1;
    default: return 0;
  }
}

QString VertTickLabel(int SecondOfDay, bool TwentyFour) {
  const int second = SecondOfDay % 60, minute = (SecondOfDay / 60) % 60;
  int hour = (SecondOfDay / 3600) % 24;
  if (second != 0) return QString::number(second);
  if (!TwentyFour) {
    if (hour == 0) hour = 12;
    if (hour > 12) hour -= 12;
  }
  return QStringLiteral("%1:%2").arg(hour).arg(minute, 2, 10, QLatin1Char('0'));
}

// ---------------------------------------------------------------------------------------------
// Lines

int RTextLine::RedFrom(TDateTime Feature) const {
  for (std::size_t i = 0; i < Whens.size(); ++i)
    if (Whens[i] > Feature) return Starts[i];
  return int(Text.size());
}

void MarkParagraphStarts(std::vector<RTypedEvent> &Events, std::vector<RParagraphStart> Starts) {
  const auto earlier = [](const RParagraphStart &A, const RParagraphStart &B) {
    return A.When < B.When;
  };
  // Each prefix character takes out one event of its moment and text.
  std::vector<bool> dropped(Events.size(), false);
  bool anyDropped = false;
  for (const RParagraphStart &start : Starts) {
    for (std::size_t k = 0; k < start.PrefixWhens.size() && k < std::size_t(start.Prefix.size());
         ++k) {
      const TDateTime when = start.PrefixWhens[k];
      auto at = std::lower_bound(Events.begin(), Events.end(), when,
                                 [](const RTypedEvent &E, TDateTime W) { return E.When < W; });
      for (; at != Events.end() && at->When == when; ++at) {
        const std::size_t i = std::size_t(at - Events.begin());
        if (!dropped[i] && at->Text == QString(start.Prefix[qsizetype(k)])) {
          dropped[i] = true;
          anyDropped = true;
          break;
        }
      }
    }
  }
  if (anyDropped) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < Events.size(); ++i)
      if (!dropped[i]) Events[out++] = std::move(Events[i]);
    Events.resize(out);
  }
  std::sort(Starts.begin(), Starts.end(), earlier);
  std::vector<bool> used(Starts.size(), false);
  for (RTypedEvent &e : Events) {
    auto at = std::lower_bound(Starts.begin(), Starts.end(), RParagraphStart{e.When, {}, {}, {}},
                               earlier);
    for (; at != Starts.end() && at->When == e.When; ++at) {
      const std::size_t i = std::size_t(at - Starts.begin());
      if (!used[i] && at->Text == e.Text) {
        used[i] = true;
        e.StartsParagraph = true;
        e.Text = at->Prefix + e.Text;
        break;
      }
    }
  }
}

std::vector<RTextLine> BuildTextLines(const std::vector<RTypedEvent> &Events,
                                      const TVertRowMap &Map, int Height, int LineHeight,
                                      int AvailableWidth,
                                      const std::function<int(const QString &)> &Measure) {
  const int first = -RowsListedAbove, last = Height + RowsListedBelow - 1;
  if (last < first) return {};
  std::vector<RTextLine> rows(std::size_t(last - first + 1));
  int anchor = 0;
  bool newAnchor = true;
  for (const RTypedEvent &e : Events) {
    const int row = Map.RowOf(e.When);
    const bool word = e.What != QLatin1Char('1');
    if (newAnchor || word || e.StartsParagraph) anchor = row;
    newAnchor = e.Text == QStringLiteral(" ");
    if (anchor < first || anchor > last) continue;
    RTextLine &line = rows[std::size_t(anchor - first)];
    if (line.IDs.empty()) {
      line.Row = anchor;
      line.StartsParagraph = e.StartsParagraph;
    }
    if (e.StartsParagraph && !line.Text.isEmpty() && !line.Text.endsWith(QLatin1Char(' ')))
      line.Text += QLatin1Char(' ');
    line.IDs.push_back(e.ID);
    line.Whens.push_back(e.When);
    line.Starts.push_back(int(line.Text.size()));
    line.Text += e.Text;
    if (word) line.Text += QLatin1Char(' ');
  }

  std::vector<RTextLine> kept;
  const int mergeRows = int(RoundHalfEven(1.5 * LineHeight));
  for (RTextLine &row : rows) {
    if (row.IDs.empty()) continue;
    if (!kept.empty()) {
      RTextLine &k = kept.back();
      const bool apart = row.StartsParagraph && !k.Text.endsWith(QLatin1Char(' '));
      const QString head = apart ? k.Text + QLatin1Char(' ') : k.Text;
      const QString joined = head + row.Text;
      if (row.Row - k.Row < mergeRows && Measure(joined) <= AvailableWidth) {
        const int offset = int(head.size());
        k.Text = joined;
        for (std::size_t i = 0; i < row.IDs.size(); ++i) {
          k.IDs.push_back(row.IDs[i]);
          k.Whens.push_back(row.Whens[i]);
          k.Starts.push_back(row.Starts[i] + offset);
        }
        continue;
      }
      // A line that did not join is never drawn over the one above: text typed faster than the
      // rows go is pushed down to the next free line.
      row.Row = std::max(row.Row, k.Row + LineHeight);
    }
    kept.push_back(std::move(row));
  }
  return kept;
}

double LockFractionForMouse(int MouseY, int Height) {
  if (Height <= 0) return 2.0 / 3.0;
  const int margin = std::min(Height / 2, 10);
  const int y = std::clamp(MouseY, margin, Height - margin);
  return double(y) / Height;
}

// ---------------------------------------------------------------------------------------------
// Date header

QString VertShortDate(TDateTime When) {
  const QDate date = DateTimeToQDateTime(When).date();
  QString text = QLocale::system().toString(date, QLocale::ShortFormat);
  const QString year = QString::number(date.year());
  if (year.size() == 4 && year.startsWith(QStringLiteral("20"))) {
    const qsizetype at = text.indexOf(year);
    if (at >= 0) text.remove(at, 2);
  }
  return text;
}

QString VertWeekday(TDateTime When) {
  static const char16_t *const names[] = {u"Sun",   u"Mon", u"Tues", u"Wed",
                                          u"Thurs", u"Fri", u"Sat"};
  return QString::fromUtf16(names[std::clamp(DayOfWeek(When), 1, 7) - 1]);
}
