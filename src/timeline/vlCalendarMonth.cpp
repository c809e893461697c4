#include "vlCalendarMonth.h"

#include "vlVertTimelineLayout.h"

#include <QDate>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vlCalendar {

namespace {

constexpr double Pi = 3.14159265358979323846;
// Gaps of RecordingNear are believed below this many seconds.
constexpr std::int64_t NearEnoughSecs = 1000;

QFont PixelFont(const QString &Face, int PixelSize, bool Bold = false, bool Italic = false) {
  QFont f(TimelineDrawingFace(Face));
  f.setPixelSize(PixelSize);
  f.setBold(Bold);
  f.setItalic(Italic);
  return f;
}

// Point sizes of the form's fonts, drawn at 96 dots per inch.
int PixelsOfPoints(double Points) { return int(std::lround(Points * 96.0 / 72.0)); }

}  // namespace

RGridCell CellOfDay(int Year, int Month, int Day) {
  const int dowFirst = DayOfWeek(EncodeDate(Year, Month, 1));
  const int dow = DayOfWeek(EncodeDate(Year, Month, Day));
  RGridCell c;
  c.Column = dow;
  c.Row = (Day - 1) / 7 + 1 + (dow < dowFirst ? 1 : 0);
  return c;
}

RDial DialOf(int W, int H) {
  RDial d;
  d.Left = 9;
  d.Right = W - 9;
  d.Bottom = H - 9;
  d.P = d.Right - d.Left;
  d.Top = d.Bottom - d.P;
  d.Centre = QPoint((d.Left + d.Right) / 2, (d.Top + d.Bottom) / 2);
  return d;
}

QPoint DialPoint(const RDial &Dial, double Theta, double R) {
  return QPoint(int(std::lround(Dial.Centre.x() + std::sin(Theta) * R)),
                int(std::lround(Dial.Centre.y() - std::cos(Theta) * R)));
}

double DialAngle(TDateTime Moment) { return TimeOf(Moment) * 4 * Pi; }

bool DayPiece(TDateTime Day, const RRecordingSpan &Span, RRecordingSpan &Piece) {
  Piece.Start = std::max(Span.Start, Day);
  Piece.End = std::min(Span.End, Day + 1);
  return Piece.Start < Piece.End;
}

std::vector<RArc> ArcsOfPiece(TDateTime Day, const RRecordingSpan &Piece) {
  std::vector<RArc> arcs;
  const TDateTime noon = Day + 0.5;
  auto add = [&](TDateTime A, TDateTime B, bool Morning) {
    if (!(A < B)) return;
    RArc a;
    // Clock degrees from the day's midnight or noon: the sweep comes from the times, so a
    // whole half day is a full ring rather than two coinciding end points.
    a.StartDeg = (A - (Morning ? Day : noon)) * 720.0;
    a.SweepDeg = (B - A) * 720.0;
    a.Morning = Morning;
    arcs.push_back(a);
  };
  add(Piece.Start, std::min(Piece.End, noon), true);
  add(std::max(Piece.Start, noon), Piece.End, false);
  return arcs;
}

bool ArcIsDrawn(const RArc &Arc, int P) { return Arc.SweepDeg * Pi / 180.0 * P >= 1.0; }

void ReduceBitmap(QImage &Image, int Factor) {
  if (Factor == 1) return;
  const int w = Image.width() / Factor, h = Image.height() / Factor;
  const int n = Factor * Factor;
  for (int by = 0; by < h; ++by) {
    QRgb *out = reinterpret_cast<QRgb *>(Image.scanLine(by));
    for (int bx = 0; bx < w; ++bx) {
      int r = 0, g = 0, b = 0;
      for (int dy = 0; dy < Factor; ++dy) {
        const QRgb *in =
            reinterpret_cast<const QRgb *>(Image.constScanLine(by * Factor + dy)) + bx * Factor;
        for (int dx = 0; dx < Factor; ++dx) {
          r += qRed(in[dx]);
          g += qGreen(in[dx]);
          b += qBlue(in[dx]);
        }
      }
      // Rows above by * Factor are read before this row is written: by <= by * Factor.
      out[bx] = qRgb(r / n, g / n, b / n);
    }
  }
}

bool RecordingNear(const std::vector<RRecordingSpan> &Spans, TDateTime Moment,
                   RRecordingSpan &Found) {
  bool haveEarlier = false, haveLater = false;
  RRecordingSpan earlier, later;
  for (const RRecordingSpan &s : Spans) {
    if (s.Start <= Moment && Moment <= s.End) {
      Found = s;
      return true;
    }
    if (s.End < Moment && (!haveEarlier || s.End > earlier.End)) {
      earlier = s;
      haveEarlier = true;
    }
    if (s.Start > Moment && (!haveLater || s.Start < later.Start)) {
      later = s;
      haveLater = true;
    }
  }
  constexpr std::int64_t none = std::numeric_limits<std::int64_t>::max();
  const std::int64_t gapEarlier =
      haveEarlier ? std::int64_t(std::floor((Moment - earlier.End) * SecsPerDay)) : none;
  const std::int64_t gapLater =
      haveLater ? std::int64_t(std::floor((later.Start - Moment) * SecsPerDay)) : none;
  if (haveEarlier && gapEarlier < gapLater) {
    if (gapEarlier >= NearEnoughSecs) return false;
    Found = earlier;
    return true;
  }
  if (haveLater && gapLater < NearEnoughSecs) {
    Found = later;
    return true;
  }
  return false;
}

QString RecordingHintText(const RRecordingSpan &Span) {
  const RDecodedDateTime d = DecodeDateTime(Span.Start);
  const int hour12 = d.Hour % 12 == 0 ? 12 : d.Hour % 12;
  const QString start = QStringLiteral("%1:%2 %3")
                            .arg(hour12, 2, 10, QLatin1Char(' '))
                            .arg(d.Minute, 2, 10, QLatin1Char('0'))
                            .arg(d.Hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
  const std::int64_t secs = std::int64_t(std::floor((Span.End - Span.Start) * SecsPerDay + 1e-6));
  const std::int64_t minutes = RoundHalfEven(double(secs) / 60.0);
  return QStringLiteral("Recording %1  (%2 minutes)").arg(start).arg(minutes);
}

RLoadSpanPlan PlanLoadSpan(TDateTime StartDT, TDateTime EndDT, int TrackColumns,
                           const std::function<double(int Level)> &PixelDurationOfLevel) {
  const std::int64_t a = RoundHalfEven((EndDT - StartDT) * SecsPerDay);
  const int b = std::clamp(TrackColumns, 100, 3200);
  const double wanted = double(a) / b;
  RLoadSpanPlan plan;
  for (int level = 1; level <= 15; ++level)
    if (PixelDurationOfLevel(level) >= wanted) {
      plan.Level = level;
      break;
    }
  plan.PixelDuration = PixelDurationOfLevel(plan.Level);
  const std::int64_t d =
      std::clamp<std::int64_t>(RoundHalfEven(b * plan.PixelDuration) - a, 0, 1000);
  plan.LeftDT = StartDT - double(d / 2) * 0.5 / SecsPerDay;
  return plan;
}

QImage DefaultCellPicture() {
  QImage img(DefaultCellWidth, DefaultCellHeight, QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    const int t = y * 24 / img.height();
    for (int x = 0; x < img.width(); ++x) line[x] = qRgb(238 - t, 241 - t, 247 - t);
  }
  QPainter p(&img);
  p.setPen(QColor(168, 178, 194));
  p.drawRect(0, 0, img.width() - 1, img.height() - 1);
  p.setPen(QColor(252, 252, 255));
  p.drawLine(1, 1, img.width() - 2, 1);
  return img;
}

// ---------------------------------------------------------------------------------------------
// TCalendarMonth

TCalendarMonth::TCalendarMonth(const QImage &Cell)
    : FCellPicture(Cell.convertToFormat(QImage::Format_RGB32)),
      FCellWidth(std::max(Cell.width(), 14)),
      FCellHeight(std::max(Cell.height(), 14)) {
  const int w = FCellWidth * Supersampling, h = FCellHeight * Supersampling;
  FCellLarge = QImage(w, h, QImage::Format_RGB32);
  {
    QPainter p(&FCellLarge);
    p.drawImage(QRect(0, 0, w, h), FCellPicture);
  }
  FWork = QImage(w, h, QImage::Format_RGB32);
}

void TCalendarMonth::SetMonth(int Year, int Month) {
  if (Year == FYear && Month == FMonth) return;
  FYear = Year;
  FMonth = Month;
  FComposed = false;
}

void TCalendarMonth::SetSpans(std::vector<RRecordingSpan> Spans) {
  FSpans = std::move(Spans);
  FComposed = false;
}

void TCalendarMonth::SetToday(TDateTime Today) {
  if (DateOf(Today) == FToday) return;
  FToday = DateOf(Today);
  FComposed = false;
}

const QImage &TCalendarMonth::Image() {
  if (!FComposed) Compose();
  return FImage;
}

int TCalendarMonth::DaysInMonth() const { return QDate(FYear, FMonth, 1).daysInMonth(); }

QRect TCalendarMonth::CellRect(int Day) const {
  const RGridCell c = CellOfDay(FYear, FMonth, Day);
  return QRect((c.Column - 1) * FCellWidth, (c.Row - 1) * FCellHeight, FCellWidth, FCellHeight);
}

int TCalendarMonth::DayAt(int X, int Y) const {
  if (X < 0 || Y < 0) return 0;
  const int column = X / FCellWidth + 1, row = Y / FCellHeight + 1;
  if (column > 7 || row > 6) return 0;
  for (int day = 1; day <= DaysInMonth(); ++day) {
    const RGridCell c = CellOfDay(FYear, FMonth, day);
    if (c.Column == column && c.Row == row) return day;
  }
  return 0;
}

double TCalendarMonth::DialFraction(int X, int Y, int Day) const {
  const QRect cell = CellRect(Day);
  // The centre of the reduced drawing: the supersampled dial's centre divided back.
  const RDial big = DialOf(FCellWidth * Supersampling, FCellHeight * Supersampling);
  const double cx = cell.left() + big.Centre.x() / double(Supersampling);
  const double cy = cell.top() + big.Centre.y() / double(Supersampling);
  double phi;
  if (Y == cy)
    phi = X >= cx ? -Pi / 2 : Pi / 2;
  else
    phi = std::atan2(cx - X, Y - cy);
  return (phi + Pi) / (4 * Pi);
}

TProbeResult TCalendarMonth::ProbePoint(int X, int Y, TDateTime &Moment) {
  const int day = DayAt(X, Y);
  if (day == 0) return prbNothing;
  Moment = DayDT(day);
  const QImage &img = Image();
  if (!img.rect().contains(X, Y)) return prbDay;
  const QRgb c = img.pixel(X, Y);
  if (c == MorningRgb) {
    Moment += DialFraction(X, Y, day);
    return prbRecording;
  }
  if (c == AfternoonRgb) {
    Moment += DialFraction(X, Y, day) + 0.5;
    return prbRecording;
  }
  return prbDay;
}

TProbeResult TCalendarMonth::ProbeAround(int Radius, int X, int Y, TDateTime &Moment) {
  const TProbeResult first = ProbePoint(X, Y, Moment);
  if (first != prbDay) return first;
  const TDateTime dayMoment = Moment;
  for (int i = 1; i <= Radius; ++i)
    for (int dy = -i; dy <= i; ++dy)
      for (int dx = -i; dx <= i; ++dx) {
        TDateTime m = 0;
        if (ProbePoint(X + dx, Y + dy, m) == prbRecording) {
          Moment = m;
          return prbRecording;
        }
      }
  Moment = dayMoment;
  return prbDay;
}

void TCalendarMonth::Compose() {
  FImage = QImage(Size(), QImage::Format_RGB32);
  FImage.fill(QColor(240, 240, 240));
  for (int day = DaysInMonth(); day >= 1; --day) DrawDay(day);
  FComposed = true;
  ++FComposeCount;
}

void TCalendarMonth::DrawDay(int Day) {
  const int w = FWork.width(), h = FWork.height();
  for (int y = 0; y < h; ++y)
    std::memcpy(FWork.scanLine(y), FCellLarge.constScanLine(y), std::size_t(w) * sizeof(QRgb));

  const TDateTime day = DayDT(Day);
  const RDial dial = DialOf(w, h);
  const QColor dialColor = QColor::fromRgb(day < FToday + 1 ? DialRgb : DialFutureRgb);
  {
    QPainter p(&FWork);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(PixelFont(QStringLiteral("Arial"), PixelsOfPoints(39), false, true));
    p.setPen(Qt::black);
    const QFontMetrics fm(p.font());
    p.drawText(4, 1 + fm.ascent(), QString::number(Day));

    // Recording arcs.
    p.setBrush(Qt::NoBrush);
    const QRect square(dial.Left, dial.Top, dial.P, dial.P);
    for (const RRecordingSpan &span : FSpans) {
      RRecordingSpan piece;
      if (!DayPiece(day, span, piece)) continue;
      for (const RArc &arc : ArcsOfPiece(day, piece)) {
        if (!ArcIsDrawn(arc, dial.P)) continue;
        const int inset = arc.Morning ? MorningInset : AfternoonInset;
        QPen pen(QColor::fromRgb(arc.Morning ? MorningRgb : AfternoonRgb));
        pen.setWidth(ArcPenWidth);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QRect r = square.adjusted(inset, inset, -inset, -inset);
        const int start16 = int(std::lround((90.0 - arc.StartDeg) * 16));
        const int span16 = -int(std::lround(std::min(arc.SweepDeg, 360.0) * 16));
        if (span16 <= -360 * 16)
          p.drawEllipse(r);
        else
          p.drawArc(r, start16, span16);
      }
    }

    // The clock face over the arcs.
    QPen facePen(dialColor);
    facePen.setWidth(6);
    p.setPen(facePen);
    p.drawEllipse(square);
    facePen.setWidth(2);
    p.setPen(facePen);
    p.drawEllipse(QRect(dial.Centre.x() - 2, dial.Centre.y() - 2, 4, 4));
    facePen.setWidth(3);
    p.setPen(facePen);
    const double half = dial.P / 2.0;
    for (int i = 1; i <= 12; ++i) {
      const double theta = i * Pi / 6;
      const bool quarter = i % 3 == 0;
      p.drawLine(DialPoint(dial, theta, half),
                 DialPoint(dial, theta, half * (quarter ? 0.9 : 0.83)));
    }
    p.setFont(PixelFont(QStringLiteral("Arial"), PixelsOfPoints(17)));
    const QFontMetrics fm17(p.font());
    for (int i = 3; i <= 12; i += 3) {
      const QString text = QString::number(i);
      const QPoint q = DialPoint(dial, i * Pi / 6, half * 0.74);
      const int x = q.x() - fm17.horizontalAdvance(text) + 6 + (i == 12 ? 2 : 0);
      const int y = q.y() - fm17.height() + 15;
      p.drawText(x, y + fm17.ascent(), text);
    }
  }
  ReduceBitmap(FWork, Supersampling);

  const QRect cell = CellRect(Day);
  for (int y = 0; y < FCellHeight; ++y) {
    if (cell.top() + y >= FImage.height()) break;
    std::memcpy(reinterpret_cast<QRgb *>(FImage.scanLine(cell.top() + y)) + cell.left(),
                FWork.constScanLine(y), std::size_t(FCellWidth) * sizeof(QRgb));
  }
}

}  // namespace vlCalendar
