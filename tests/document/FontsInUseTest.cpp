// The fonts table: handing out indices, the current font, drawing, and the <Fonts> block.

#include "vldFontsInUse.h"

#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

namespace {

const TFontStyles Bold(fsBold);

TFontIndex NewFont(TFontsInUse &Table, int Size) {
  return Table.GetFontIndex(QStringLiteral("Arial"), 0, Size, clBlack, clWhite, {});
}

}  // namespace

TEST(FontsInUseTest, Lookup_ReusesMatchesAndGrowsInStepsOfTen) {
  TFontsInUse table;
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(table.GetFontIndex(QStringLiteral("Veranda"), 0, 12, 0, 0xFFFFFF, {}), 0);
  EXPECT_EQ(table.Count(), 1);

  EXPECT_EQ(NewFont(table, 10), 1);
  EXPECT_EQ(table.SlotCount(), 11);
  EXPECT_EQ(NewFont(table, 10), 1);
  EXPECT_EQ(table.SlotCount(), 11);
  for (int size = 11; size <= 19; ++size) EXPECT_EQ(NewFont(table, size), size - 9);
  EXPECT_EQ(table.SlotCount(), 11);
  EXPECT_EQ(NewFont(table, 20), 11);
  EXPECT_EQ(table.SlotCount(), 21);

  // Names compare exactly: letter case makes another font.
  const TFontIndex lower = table.GetFontIndex(QStringLiteral("arial"), 0, 10, clBlack, clWhite, {});
  EXPECT_NE(lower, 1);
  // The variants change one attribute of the base, or of the defaults when the base is absent.
  const TFontIndex red = table.GetFontIndex_NewColor(1, clRed);
  EXPECT_EQ(table.GetFontName(red), QStringLiteral("Arial"));
  EXPECT_EQ(table.GetFontSize(red), 10);
  EXPECT_EQ(table.GetFontColor(red), clRed);
  const TFontIndex bold = table.GetFontIndex_NewStyle(999, Bold);
  EXPECT_EQ(table.GetFontName(bold), QStringLiteral("Veranda"));
  EXPECT_EQ(table.GetFontStyle(bold), Bold);
}

TEST(FontsInUseTest, Lookup_DuplicatesAnswerTheHighestAndMarkAll) {
  TFontsInUse table;
  for (int index : {3, 7})
    EXPECT_TRUE(table.IO_Load_ForceFont(index, QStringLiteral("Dup"), 0, 9, 1, 2, {}).isEmpty());
  table.GarbageCollection_Initialize();
  EXPECT_EQ(table.GetFontIndex(QStringLiteral("Dup"), 0, 9, 1, 2, {}), 7);
  EXPECT_TRUE(table.Entry(3)->GC_InUse);
  EXPECT_TRUE(table.Entry(7)->GC_InUse);
}

TEST(FontsInUseTest, FullTable_NewDescriptionsFallBackToZero) {
  TFontsInUse table;
  for (int i = 1; i < TFontsInUse::MaxSlots; ++i)
    table.IO_Load_ForceFont(i, QStringLiteral("F"), 0, i, 0, 0, {});
  EXPECT_EQ(table.SlotCount(), 32768);
  EXPECT_EQ(table.ExpandFontsArray(), -1);
  EXPECT_EQ(NewFont(table, 5), 0);
  EXPECT_EQ(table.SlotCount(), 32768);
}

TEST(FontsInUseTest, GarbageCollection_NeverEmptiesSlotZero) {
  TFontsInUse table;
  const TFontIndex used = NewFont(table, 10);
  NewFont(table, 11);
  table.GarbageCollection_Initialize();
  for (int index : {-1, -32768, 99999, static_cast<int>(used)})
    table.GarbageCollection_ThisFontIsInUse(index);
  table.GarbageCollection_Finalize();
  EXPECT_TRUE(table.FontExists(0));
  EXPECT_TRUE(table.FontExists(used));
  EXPECT_FALSE(table.FontExists(2));
  // A new description still gets a slot of its own that names it.
  const TFontIndex again = NewFont(table, 30);
  EXPECT_GE(again, 1);
  EXPECT_EQ(table.GetFontSize(again), 30);
}

TEST(FontsInUseTest, CurrentFont_StartsAsTheDefaultAndComputesChangedIndices) {
  TFontsInUse table;
  EXPECT_EQ(table.CurrentFont.Name, QStringLiteral("Veranda"));
  EXPECT_EQ(table.CurrentFont_GetIndex(), 0);

  table.CurrentFont_ChangeColor(clRed);
  const TFontIndex red = table.CurrentFont_GetIndex();
  EXPECT_GE(red, 1);
  EXPECT_EQ(table.GetFontSize(red), 12);  // visible text, not size 0
  EXPECT_EQ(table.GetFontHighlight(red), clWhite);
  EXPECT_EQ(table.CurrentFont_GetIndex(), red);
  EXPECT_EQ(table.CurrentFont_Index, 0);
  EXPECT_TRUE(table.CurrentFont_Changed);

  table.CurrentFont_SetFromIndex(red);
  EXPECT_FALSE(table.CurrentFont_Changed);
  EXPECT_EQ(table.CurrentFont_GetIndex(), red);
  // An index that names nothing gives the defaults, not stale attributes.
  table.CurrentFont_SetFromIndex(500);
  EXPECT_EQ(table.CurrentFont.Color, clBlack);
  EXPECT_EQ(table.CurrentFont.Name, QStringLiteral("Veranda"));
}

TEST(FontsInUseTest, Drawing_MapsFacesRoundsHalfToEvenAndHoldsTheSize) {
  TFontsInUse table;
  const TFontIndex boldRed =
      table.GetFontIndex(QStringLiteral("Comic Sans MS"), 0, 12, clRed, clYellow, Bold);
  const TFontIndex huge = table.GetFontIndex(QStringLiteral("Arial"), 0, 2147483647, 0, 0, {});
  QImage image(64, 64, QImage::Format_RGB32);
  QPainter painter(&image);

  struct {
    int Index;
    double Zoom;
    double Points;
  } rows[] = {{boldRed, 1.125, 14}, {boldRed, 0.875, 10}, {boldRed, 0.01, 1},
              {boldRed, 1, 12},     {huge, 2, 1000},      {boldRed, std::nan(""), 12}};
  for (const auto &row : rows) {
    table.SwitchToFont(painter, row.Index, row.Zoom);
    EXPECT_DOUBLE_EQ(painter.font().pointSizeF(), row.Points) << row.Zoom;
  }
  table.SwitchToFont(painter, boldRed, 1);
  EXPECT_EQ(painter.font().family(), QStringLiteral("Comic Neue"));
  EXPECT_TRUE(painter.font().bold());
  EXPECT_EQ(painter.pen().color(), QColor(255, 0, 0));
  EXPECT_EQ(painter.background().color(), QColor(255, 255, 0));
  EXPECT_EQ(painter.backgroundMode(), Qt::OpaqueMode);

  // An index naming no entry draws in the default font, never in the previous run's.
  table.SwitchToFont(painter, 77, 1);
  EXPECT_EQ(painter.font().family(), QStringLiteral("DejaVu Sans"));
  EXPECT_FALSE(painter.font().bold());
  EXPECT_EQ(painter.pen().color(), QColor(0, 0, 0));
  EXPECT_EQ(painter.background().color(), QColor(255, 255, 255));
  painter.end();

  // Metrics are those of 96 dots per inch whatever the device.
  QImage fine(64, 64, QImage::Format_RGB32);
  fine.setDotsPerMeterX(7559);
  fine.setDotsPerMeterY(7559);
  EXPECT_DOUBLE_EQ(table.DrawingFont(0, 1, &fine).pointSizeF(), 6);
}

TEST(FontsInUseTest, FontsBlock_RoundTripKeepsIndicesGapsAndDefaults) {
  TFontsInUse table;
  table.IO_Load_ForceFont(1, QStringLiteral("Comic Sans MS"), 0, 10, 0x800000, clWhite, {});
  table.IO_Load_ForceFont(4, QStringLiteral("Say \"Привет\" <b>"), 90, 14, clRed, clYellow,
                          TFontStyles(fsBold) | fsUnderline);
  const QByteArray bytes = WriteToBytes([&](TvlXmlOut &Out) { table.IO_Save(Out); });
  EXPECT_TRUE(bytes.startsWith(Lines({"<Fonts>",
                                      "<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" "
                                      "Color=\"#000000\">",
                                      "<Font Index=\"1\" Name=\"Comic Sans MS\" Style=\"\" "
                                      "Size=\"10\" Color=\"#000080\">"})))
      << bytes.constData();

  TFontsInUse back;
  back.IO_Load_ForceFont(2, QStringLiteral("stale"), 0, 1, 0, 0, {});
  auto in = ReaderOver(bytes);
  EXPECT_EQ(back.IO_Load(*in), QString());
  EXPECT_TRUE(in->EndOfFile());
  EXPECT_EQ(back.SlotCount(), table.SlotCount());
  for (int i = 0; i < table.SlotCount(); ++i) {
    ASSERT_EQ(back.FontExists(i), table.FontExists(i)) << i;
    if (!table.FontExists(i)) continue;
    const TFontInUse &a = *table.Entry(i), &b = *back.Entry(i);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.Rotation, a.Rotation);
    EXPECT_EQ(b.Size, a.Size);
    EXPECT_EQ(b.Color, a.Color);
    EXPECT_EQ(b.Highlight, a.Highlight);
    EXPECT_EQ(b.Style, a.Style);
  }
}

TEST(FontsInUseTest, FontsBlock_IndicesFromTheFileAreChecked) {
  struct {
    const char *Line;
    const char *Problem;  // start of the problem text
    int Slots;
  } rows[] = {
      {"<Font Index=\"-5\" Name=\"A\">", "Can't ExpandFontsArray", 1},
      {"<Font Index=\"70000\" Name=\"A\">", "Can't ExpandFontsArray", 1},
      {"<Font Index=\"65536\" Name=\"A\">", "Can't ExpandFontsArray", 1},
      {"<Font Index=\"x\" Name=\"A\">", "FontIndex not found: Line No. 2:", 1},
      {"<Font Name=\"A\">", "FontIndex not found: Line No. 2:  \"<Font Name=\"A\">\"", 1},
      {"<Font Index=\"40\" Name=\"A\">", "", 41},
      {"<Font Index=\"20000\" Name=\"A\">", "", 20001},
  };
  for (const auto &row : rows) {
    TFontsInUse table;
    auto in = ReaderOver(Lines({"<Fonts>", row.Line, "</Fonts>"}));
    const QString problems = table.IO_Load(*in);
    if (*row.Problem) {
      EXPECT_TRUE(problems.startsWith(QLatin1String(row.Problem))) << qPrintable(problems);
    }
    EXPECT_EQ(problems.isEmpty(), *row.Problem == 0);
    EXPECT_EQ(table.SlotCount(), row.Slots) << row.Line;
    EXPECT_EQ(table.GetFontName(0), QStringLiteral("Veranda")) << row.Line;
    EXPECT_TRUE(in->EndOfFile());
  }
  // Missing attributes take the defaults; slots the file does not define stay empty.
  TFontsInUse table;
  auto in = ReaderOver(Lines({"<Fonts>", "<Font Index=\"3\" Size=\"zz\">", "</Fonts>"}));
  table.IO_Load(*in);
  EXPECT_FALSE(table.FontExists(2));
  EXPECT_EQ(table.GetFontSize(3), 12);
  EXPECT_EQ(table.GetFontHighlight(3), clWhite);
  EXPECT_EQ(table.Entry(3)->Name, QStringLiteral("Veranda"));
}
