#include "vl09_VUSelection.h"
#include "vl09_VuMeter.h"

#include <gtest/gtest.h>

#include <QImage>

TEST(VuMeter, TheBarGrowsFromTheLeftWithTheLevel) {
  EXPECT_EQ(VuMeterFilledWidth(100, 16384), 50);
  EXPECT_EQ(VuMeterFilledWidth(100, 32767), 100);
  EXPECT_EQ(VuMeterFilledWidth(100, 0), 0);
  EXPECT_EQ(VuMeterFilledWidth(100, 99999), 100);  // beyond the scale: full, not past it

  TVuMeter m;
  m.resize(100, 5);
  const struct {
    int Level;
    int Lime;                                     // lime columns in a middle row
  } rows[] = {{0, 0}, {16384, 50}, {32767, 99}};  // full: the outline takes column 0
  for (const auto &r : rows) {
    SCOPED_TRACE(r.Level);
    m.OnVuEvent_NewData(r.Level);
    const QImage shot = m.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int lime = 0;
    for (int x = 0; x < 100; ++x) lime += shot.pixel(x, 2) == qRgb(0, 255, 0);
    EXPECT_EQ(lime, r.Lime);
    EXPECT_EQ(shot.pixel(0, 0), qRgb(0, 0, 0));  // the outline
  }
}

TEST(VuSelection, SelectsARecordingWithASecondAroundIt) {
  TVuSelection s;
  EXPECT_FALSE(s.HasSelection());
  // 108 s from 13:47:36.5 selects 13:47:35.5 .. 13:49:25.5, both ends included.
  const TDateTime start = EncodeDateTime(2009, 9, 3, 13, 47, 36, 500);
  s.SelectRecording(start, 108);
  EXPECT_EQ(MilliSecondsBetween(EncodeDateTime(2009, 9, 3, 13, 47, 35, 500), s.StartDT()), 0);
  EXPECT_EQ(MilliSecondsBetween(EncodeDateTime(2009, 9, 3, 13, 49, 25, 500), s.EndDT()), 0);
  EXPECT_EQ(s.SelectionState(s.StartDT()), vsSelected);
  EXPECT_EQ(s.SelectionState(s.EndDT()), vsSelected);
  EXPECT_EQ(s.SelectionState(s.EndDT() + 0.001), vsNormal);
  s.ClearSelection();
  EXPECT_FALSE(s.HasSelection());
  EXPECT_EQ(s.SelectionState(start), vsNormal);
  EXPECT_GT(s.StartDT(), 0);  // the old start stays readable
}
