#include "vl09_Globals.h"
#include "vlGlobals.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QFile>

TEST(Lists, GrowWithSlackAndShrinkWhenFarTooLarge) {
  TInt16List list;
  list.AppendDatum(1);
  EXPECT_EQ(list.Capacity(), 3);
  for (int i = 2; i <= 5; ++i) list.AppendDatum(static_cast<std::int16_t>(i));
  EXPECT_EQ(list.Capacity(), 10);
  for (int i = 6; i <= 120; ++i) list.AppendDatum(static_cast<std::int16_t>(i));
  EXPECT_EQ(list.Count(), 120);
  list.SetLastIndex(3);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Capacity(), 5);
  EXPECT_EQ(list.AllDataAsString(), QStringLiteral("  1  2  3"));
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.AllDataAsString(), QString());
}

TEST(Lists, IndicesStartAtOneAndDeleteMovesTheRestDown) {
  THandleList list;
  for (int v : {10, 20, 30, 20, 40}) list.AppendHandle(v);
  EXPECT_EQ(list.Low(), 1);
  EXPECT_EQ(list.High(), 5);
  EXPECT_EQ(list.GetHandle(1), 10);
  list.Delete(2);
  EXPECT_EQ(list.AllDataAsString(), QStringLiteral("  10  30  20  40"));
  list.DeleteFirstOccurranceOfHandle(20);
  EXPECT_EQ(list.AllDataAsString(), QStringLiteral("  10  30  40"));
  list.DeleteFirstOccurranceOfHandle(99);
  list.Delete(0);
  list.Delete(4);
  EXPECT_EQ(list.Length(), 3);
}

TEST(Lists, NegativeValuesPrintWithTheirSign) {
  TInt16List list;
  list.AppendDatum(5);
  list.AppendDatum(-2);
  EXPECT_EQ(list.AllDataAsString(), QStringLiteral("  5  -2"));
}

TEST(Lists, ReadingOutsideTheListYieldsZeroAndReportsTheIndex) {
  const int before = ErrorLog().ReportCount();
  TInt16List small;
  EXPECT_EQ(small.GetDatum(0), 0);
  THandleList handles;
  handles.AppendHandle(7);
  EXPECT_EQ(handles.GetHandle(2), 0);
  EXPECT_EQ(ErrorLog().ReportCount(), before + 2);
  const QByteArray errors = ReadAllBytes(AppPaths().ErrorsFile());
  EXPECT_TRUE(errors.contains("  I16L.GetDatum(0)\r\n"));
  EXPECT_TRUE(errors.contains("  IL.GetHandle(2)\r\n"));
}

TEST(Lists, GrowingAgainAfterShrinkingCountExposesZeros) {
  THandleList list;
  for (int v = 1; v <= 4; ++v) list.AppendHandle(v);
  list.SetLastIndex(1);
  list.SetLastIndex(3);
  EXPECT_EQ(list.AllDataAsString(), QStringLiteral("  1  0  0"));
}
