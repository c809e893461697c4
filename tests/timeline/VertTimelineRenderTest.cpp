// The vertical timeline's renderer alone: a view, the day files manager given to it and the
// documents in, an image and the rectangles the mouse is tested against out. Checked on pixels
// and rectangles: the date header inside the ruler's columns and over the level band, text beside
// label tags, red text after the feature time, and the lines' hit rectangles.

#include "vl09_DayFilesManager.h"
#include "vlClock.h"
#include "vlTestSupport.h"
#include "vlVertTimelineRender.h"
#include "vl_Document.h"

#include <gtest/gtest.h>
#include <QImage>

namespace {

constexpr double Sec = 1 / SecsPerDay;
const TDateTime Day = EncodeDate(2009, 9, 3);  // a Thursday: "Thurs", the longest weekday
const QColor LevelGreen(0, 200, 0);

// Paints the whole level band one colour, so that whatever lies over it can be told apart.
struct TSolidLevels final : TVertLevelSource {
  void DrawAllVert(QImage &Image, const QRect &Band, TDateTime, TDateTime) override {
    for (int y = Band.top(); y <= Band.bottom(); ++y)
      for (int x = Band.left(); x <= Band.right(); ++x) Image.setPixel(x, y, LevelGreen.rgb());
  }
};

RVertView ViewAt(TDateTime From, QSize Size = QSize(300, 400)) {
  RVertView view;
  view.Size = Size;
  view.FromDT = From;
  view.SpanFD = Sec;
  view.FeatureDT = From + 200 * Sec;
  return view;
}

// Text is drawn smoothed: its pixels are told by how dark, or how red, they are.
int CountDark(const QImage &Image, const QRect &Rect) {
  int count = 0;
  const QRect r = Rect.intersected(Image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) count += Image.pixelColor(x, y).lightness() < 110;
  return count;
}
int CountRed(const QImage &Image, const QRect &Rect) {
  int count = 0;
  const QRect r = Rect.intersected(Image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = Image.pixelColor(x, y);
      count += c.red() > 180 && c.green() < 150 && c.green() + 40 < c.red() && c.blue() < 150;
    }
  return count;
}

int CountColour(const QImage &Image, const QRect &Rect, const QColor &Colour) {
  int count = 0;
  const QRect r = Rect.intersected(Image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) count += Image.pixelColor(x, y) == Colour;
  return count;
}

// A day files manager and a clock in the morning of Day.
struct RRig {
  TManualClock Clock{Day + 9 / HoursPerDay};
  TScopedClock Scoped{Clock};
  TvlDayFilesManager Days;
  TVertTimelineRender Render;
  TSolidLevels Levels;
  // Files Text as typing events one second apart from At; answers the last moment.
  TDateTime Type(TDateTime At, const QString &Text) {
    for (const QChar c : Text) {
      Days.AddTypingEvent(At, QString(c));
      At += Sec;
    }
    return At - Sec;
  }
};

}  // namespace

TEST(VertTimelineRender, TheDateHeaderFitsTheRulerColumnsAndLiesOverTheLevelBand) {
  RRig rig;
  const TBands &bands = rig.Render.Bands();
  for (const int day : {0, 1, 2, 3, 4, 5, 6, 20, 100}) {
    const TDateTime from = Day + day + 0.4;
    SCOPED_TRACE(qPrintable(VertWeekday(from) + QLatin1Char(' ') + VertShortDate(from)));
    RVertRendered out;
    rig.Render.Render(ViewAt(from), &rig.Days, {}, &rig.Levels, out);
    const QRect header = out.DateHeaderRect;
    EXPECT_GE(header.left(), 1);
    EXPECT_LT(header.right(), bands.FAudioTrackBand.Left);
    EXPECT_GE(header.height(), 2 * 7);
    // Nothing of the level band shows inside the header, and the band starts right below it.
    EXPECT_EQ(CountColour(out.Image, header.adjusted(1, 1, -1, -1), LevelGreen), 0);
    EXPECT_GT(CountColour(out.Image, QRect(bands.FAudioTrackBand.Left, header.bottom() + 2, 1, 1),
                          LevelGreen),
              0);
    // The text is inside it: some pixels of the text colour.
    EXPECT_GT(CountDark(out.Image, header.adjusted(1, 1, -1, -1)), 5);
  }
}

TEST(VertTimelineRender, TextBesideALabelTagStartsRightOfTheTagAndOthersAtTheBand) {
  RRig rig;
  const TDateTime from = Day + 0.4;
  const TDateTime typedAt = from + 100 * Sec, farAt = from + 300 * Sec;
  rig.Type(typedAt, QStringLiteral("beside the label "));
  rig.Type(farAt, QStringLiteral("alone"));
  ASSERT_NE(rig.Days.AddLabelBookmark(typedAt, QStringLiteral("A long label text")), NoEventID);
  RVertView view = ViewAt(from);
  view.FeatureDT = from + 399 * Sec;
  RVertRendered out;
  rig.Render.Render(view, &rig.Days, {}, nullptr, out);
  ASSERT_EQ(out.Bookmarks.size(), 1u);
  const QRect tag = out.Bookmarks[0].Rect;
  EXPECT_EQ(out.Bookmarks[0].Text, QStringLiteral("A long label text"));
  EXPECT_EQ(out.Bookmarks[0].Shown, out.Bookmarks[0].Text);
  ASSERT_EQ(out.Lines.size(), 2u);
  ASSERT_EQ(out.LineRects.size(), 2u);
  struct RRow {
    const char *Text;
    bool BesideTag;
  };
  const RRow rows[] = {{"beside the label", true}, {"alone", false}};
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(rows[i].Text);
    EXPECT_TRUE(out.Lines[i].Text.startsWith(QString::fromUtf8(rows[i].Text)));
    const QRect line = out.LineRects[i];
    EXPECT_FALSE(line.intersects(tag));
    if (rows[i].BesideTag)
      EXPECT_GT(line.left(), tag.right());
    else
      EXPECT_EQ(line.left(), rig.Render.Bands().FKeyboardingBand.Left);
    // The line's rows hold its text (drawn before the feature time: the text colour).
    EXPECT_GT(CountDark(out.Image, line), 5);
  }
}

TEST(VertTimelineRender, TextAfterTheFeatureTimeIsRedAndEveryLineHasItsHitRectangle) {
  RRig rig;
  const TDateTime from = Day + 0.4;
  rig.Type(from + 50 * Sec, QStringLiteral("early "));
  rig.Type(from + 250 * Sec, QStringLiteral("later"));
  RVertView view = ViewAt(from);
  view.FeatureDT = from + 150 * Sec;
  RVertRendered out;
  rig.Render.Render(view, &rig.Days, {}, nullptr, out);
  ASSERT_EQ(out.Lines.size(), 2u);
  ASSERT_EQ(out.LineRects.size(), out.Lines.size());
  ASSERT_EQ(out.LineRedFrom.size(), out.Lines.size());
  EXPECT_EQ(out.LineRedFrom[0], int(out.Lines[0].Text.size()));
  EXPECT_EQ(out.LineRedFrom[1], 0);
  EXPECT_EQ(CountRed(out.Image, out.LineRects[0]), 0);
  EXPECT_GT(CountRed(out.Image, out.LineRects[1]), 5);
  for (std::size_t i = 0; i < out.Lines.size(); ++i) {
    const QRect r = out.LineRects[i];
    // The rectangle is centred on the row of the line's first event.
    EXPECT_LE(r.top(), out.Lines[i].Row);
    EXPECT_GT(r.bottom(), out.Lines[i].Row);
    EXPECT_EQ(r.height(), out.LineHeight);
  }
  // Nothing given, nothing drawn: the renderer reaches for no day files of its own.
  RVertRendered empty;
  rig.Render.Render(view, nullptr, {}, nullptr, empty);
  EXPECT_TRUE(empty.Lines.empty());
  EXPECT_TRUE(empty.Bookmarks.empty());
  EXPECT_EQ(empty.LockHandleRect, out.LockHandleRect);
}

TEST(VertTimelineRender, ABulletPutInLaterIsDrawnInFrontOfItsParagraph) {
  RRig rig;
  TSeamInstall<TTypingEventSink> typing{TypingEventSinkSeam(), rig.Days.TypingSink()};
  TDocument doc;
  const TDateTime from = Day + 0.4;
  for (const QChar c : QStringLiteral("Plain words")) {
    rig.Clock.AdvanceMSecs(700);
    doc.Char_Insert(c, 0, doc.Document_LastCaretPos());
  }
  rig.Clock.AdvanceMSecs(60000);
  doc.Paragraph_Outline_Set(0, oBullet, QStringLiteral("\u2022 "));
  // The bullet's characters are filed as the document files them when it is read again.
  const TParagraph *p = doc.Paragraph_FromSectionNum(0);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(p->Text().startsWith(QStringLiteral("\u2022 ")));
  p->DayFiles_RegisterSubstring(1, 2);
  RVertRendered out;
  RVertView view = ViewAt(from);
  view.FromDT = TypingEventMoment(p->Timestamp_Get(3)) - 100 * Sec;
  rig.Render.Render(view, &rig.Days, {&doc}, nullptr, out);
  QString all;
  for (const RTextLine &line : out.Lines) all += line.Text;
  EXPECT_EQ(all.trimmed(), QStringLiteral("\u2022 Plain words"));
}

TEST(VertTimelineRender, AVeryLongLabelIsCutShortAndLeavesTheTextHalfThePanel) {
  RRig rig;
  const TDateTime from = Day + 0.4, at = from + 100 * Sec;
  rig.Type(at, QStringLiteral("words beside "));
  const QString label(200, QLatin1Char('W'));
  ASSERT_NE(rig.Days.AddLabelBookmark(at, label), NoEventID);
  RVertView view = ViewAt(from);
  view.FeatureDT = from + 399 * Sec;
  RVertRendered out;
  rig.Render.Render(view, &rig.Days, {}, nullptr, out);
  ASSERT_EQ(out.Bookmarks.size(), 1u);
  EXPECT_EQ(out.Bookmarks[0].Text, label);
  EXPECT_TRUE(out.Bookmarks[0].Shown.endsWith(QChar(0x2026)));
  ASSERT_EQ(out.LineRects.size(), 1u);
  EXPECT_GT(out.LineRects[0].left(), out.Bookmarks[0].Rect.right());
  // The text keeps half of the width right of where the tag begins.
  const int right = view.Size.width(), tagLeft = out.Bookmarks[0].Rect.left();
  EXPECT_GE(right - out.LineRects[0].left(), (right - tagLeft) / 2 - 4);
}
