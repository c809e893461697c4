// The OtherEvents block: its exact lines, labels that must survive any text, every kind, damaged
// lines, and the same bytes whatever the locale.

#include "vlEventsTestSupport.h"

#include "FormatsTestSupport.h"
#include "vl09_XmlIn.h"
#include "vlGlobals.h"

#include <gtest/gtest.h>

namespace {

class OtherEventsTest : public EventsRig {
 protected:
  // Every live event as "kind what when text", in walk order.
  std::vector<std::string> Events() const {
    std::vector<std::string> out;
    TEventID id = NoEventID;
    TvlEvent ev;
    for (auto w = M.Walk(); w.Next(id);) {
      if (!M.Event_FromEventID(id, ev) || ev.Kind == koeNone) continue;
      out.push_back(QStringLiteral("%1 %2 %3 %4")
                        .arg(int(ev.Kind))
                        .arg(ev.What)
                        .arg(ev.When, 0, 'f', 10)
                        .arg(ev.Text)
                        .toStdString());
    }
    return out;
  }
};

QByteArray Block(const char *Lines) {
  return QByteArray("<OtherEvents>\r\n") + Lines + QByteArray("</OtherEvents>\r\n");
}

}  // namespace

TEST_F(OtherEventsTest, GoldenLinesLeaveTypingEventsOut) {
  EXPECT_EQ(SavedBlock(), Block(""));
  M.AddTypingEvent(Day0 + 0.75, QStringLiteral("t"));
  EXPECT_EQ(SavedBlock(), Block(""));
  M.AddNumberedBookmark(1, Day0 + 0.5);
  M.AddLabelBookmark(Day0 + 0.25, QStringLiteral("Say \"hi\" <&> now"));
  const TEventID gone = M.AddLabelBookmark(Day0 + 0.3, QStringLiteral("gone"));
  M.Event_Delete(gone);
  M.AddEvent(koeWingDings2, QChar(u'J'), Day0 + 0.125, {});
  M.AddLabelBookmark(Day0 + 0.0625, {}, QChar(u'|'));
  EXPECT_EQ(SavedBlock(),
            Block("<Event K=\"Marker\" C=\"1\" W=\"40059.5000000000\">\r\n"
                  "<Event K=\"Label\" C=\" \" W=\"40059.2500000000\" T=\"Say &Q2;hi&Q2; &LT;&&GT; "
                  "now\">\r\n"
                  "<Event K=\"2\" C=\"J\" W=\"40059.1250000000\">\r\n"
                  "<Event K=\"Label\" C=\"|\" W=\"40059.0625000000\">\r\n"));
}

TEST_F(OtherEventsTest, TrickyLabelsAndEveryKindSurviveARoundTrip) {
  const QString labels[] = {
      QStringLiteral("\"quoted\""),   QStringLiteral("<OtherEvents> & </BoundNotes>"),
      QStringLiteral("two\r\nlines"), QStringLiteral("&Q2; stays literal"),
      QStringLiteral("ends with ="),  QString::fromUtf8("Привет, 東京 \xF0\x9F\x98\x80"),
      QStringLiteral("tab\there"),
  };
  int i = 0;
  for (const QString &label : labels) M.AddLabelBookmark(Day0 + 0.1 + i++ * 0.01, label);
  const TKindOfEvent kinds[] = {koeMarker,    koeSketching,  koeWebDings,
                                koeWingDings, koeWingDings2, koeWingDings3};
  for (const TKindOfEvent kind : kinds)
    M.AddEvent(kind, QChar(u'"'), Day0 + 0.2 + int(kind) * 0.01, QStringLiteral("t"));
  M.AddEvent(koeMarker, QChar(0x263A), Day0 + 0.3, {});
  const std::vector<std::string> before = Events();
  const QByteArray bytes = SavedBlock();
  M.Clear();
  EXPECT_EQ(LoadBlock(bytes), QString());
  EXPECT_EQ(Events(), before);
  EXPECT_EQ(SavedBlock(), bytes);
  // Loading the same block again adds nothing.
  const std::uint64_t generation = M.Generation();
  EXPECT_EQ(LoadBlock(bytes), QString());
  EXPECT_EQ(Events(), before);
  EXPECT_EQ(M.Generation(), generation);
}

TEST_F(OtherEventsTest, DamagedLinesAreSkippedOneByOne) {
  const struct {
    const char *Line;
    const char *Loaded;  // "" when the line adds nothing
  } rows[] = {
      {"<Event K=\"Label\" W=\"40059.5\">", "3 1 40059.5000000000 "},
      {"<Event K=\"Marker\" C=\"7\" W=\"40059.5\" T=\"x\">", "2 7 40059.5000000000 x"},
      {"<Event K=\"Mark\" C=\"77\" W=\"40059.5\">", "2 1 40059.5000000000 "},
      {"<Event K=\"W\" C=\"A\" W=\"40059.5\">", "6 A 40059.5000000000 "},
      {"<Event K=\"3\" C=\"A\" W=\"40059.5\">", "9 A 40059.5000000000 "},
      {"<Event K=\"Label\" W=\"40059.5\" T=\"old \"plain\" text\">", "3 1 40059.5000000000 old "},
      {"<Event K=\"Label\" W=\"40059.5\" T=\"a &AM; b & c\">", "3 1 40059.5000000000 a & b & c"},
      {"<Event K=\"NewDayFile\" W=\"40059.5\">", ""},
      {"<Event K=\"\" W=\"40059.5\">", ""},
      {"<Event K=\"X\" W=\"40059.5\">", ""},
      {"<Event W=\"40059.5\">", ""},
      {"<Event K=\"Marker\">", ""},
      {"<Event K=\"Marker\" W=\"40059,5\">", ""},
      {"<Event K=\"Marker\" W=\"nan\">", ""},
      {"<Event K=\"Marker\" W=\"inf\">", ""},
      {"<Event K=\"Marker\" W=\"1e400\">", ""},
      {"<Event K=\"Marker\" W=\"-0.5\">", ""},
      {"<Event K=\"Marker\" W=\"0\">", ""},
      {"<Event K=\"Marker\" W=\"99999999\">", ""},
      {"<Event K=\"Marker\" W=\"40059.5", ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Line);
    M.Clear();
    const QByteArray good("<Event K=\"Label\" C=\"*\" W=\"40060.25\" T=\"after\">\r\n");
    LoadBlock(Block((QByteArray(row.Line) + "\r\n" + good).constData()));
    std::vector<std::string> expected;
    if (*row.Loaded) expected.push_back(row.Loaded);
    expected.push_back("3 * 40060.2500000000 after");
    EXPECT_EQ(Events(), expected);
  }
  // A block without its end line, or no block at all, loses nothing that is there.
  M.Clear();
  EXPECT_FALSE(
      LoadBlock("<OtherEvents>\r\n<Event K=\"Marker\" C=\"2\" W=\"40059.5\">\r\n").isEmpty());
  EXPECT_EQ(Events(), std::vector<std::string>{"2 2 40059.5000000000 "});
  EXPECT_EQ(LoadBlock("<DocTab>\r\n"), QString());
  // Nor does a block whose header line is missing or doubled.
  const QByteArray marker("<Event K=\"Marker\" C=\"2\" W=\"40059.5\">\r\n");
  for (const QByteArray &block :
       {marker + "</OtherEvents>\r\n", "<OtherEvents>\r\n" + Block(marker.constData())}) {
    SCOPED_TRACE(block.left(20).toStdString());
    M.Clear();
    TvlXmlIn in;  // at the block's first line, as a binder's loader is
    QString err;
    ASSERT_TRUE(in.Bytes_Open(block, QStringLiteral("block"), err));
    EXPECT_EQ(M.IO_LoadNonTypingEvents(in), QString());
    EXPECT_EQ(Events(), std::vector<std::string>{"2 2 40059.5000000000 "});
    EXPECT_EQ(in.ProblemCount(), 1);
  }
}

TEST_F(OtherEventsTest, MomentsAFileCannotTellApartAreOneEventAlreadyWhenRead) {
  // Two markers a few picoseconds apart, as a hand-edited file may hold them: written with the
  // block's 10 decimals they are the same line, so reading must take them as one event already,
  // or a second reading of what was saved would hold fewer events than the first.
  const QByteArray bytes = Block(
      "<Event K=\"Marker\" C=\"0\" W=\"40059.57514699752777778\" T=\"S07\">\r\n"
      "<Event K=\"Marker\" C=\"0\" W=\"40059.57514699752\" T=\"S07\">\r\n");
  EXPECT_EQ(LoadBlock(bytes), QString());
  const std::vector<std::string> first = Events();
  EXPECT_EQ(first.size(), 1u);
  const QByteArray saved = SavedBlock();
  M.Clear();
  EXPECT_EQ(LoadBlock(saved), QString());
  EXPECT_EQ(Events(), first);
  EXPECT_EQ(SavedBlock(), saved);
}

TEST_F(OtherEventsTest, EventsOfTheFirstDayLoadInDebugModeToo) {
  // The day of 1899-12-30 starts at 0, which a day file reports as an unknown start; in
  // DebugMode that report must not interrupt the load (nor typing) half way.
  TFreshFolder folder;
  TErrorLog log(folder.Path());
  TScopedErrorLog useLog(log);
  log.SetDebugSwitch(true);
  EXPECT_EQ(LoadBlock(Block("<Event K=\"Marker\" C=\"1\" W=\"0.5\">\r\n"
                            "<Event K=\"Label\" C=\"*\" W=\"40060.25\" T=\"after\">\r\n")),
            QString());
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"2 1 0.5000000000 ", "3 * 40060.2500000000 after"}));
  EXPECT_NE(M.AddTypingEvent(1e-5, u"x"), NoEventID);
}

TEST_F(OtherEventsTest, BytesDoNotDependOnTheLocale) {
  M.AddNumberedBookmark(9, Day0 + 0.123456789);
  M.AddLabelBookmark(Day0 + 0.987654321, QString::fromUtf8("Grüße, 1,5 €"));
  const QByteArray plain = SavedBlock();
  TGermanLocale german;
  if (!german.Active()) GTEST_SKIP() << "no German locale on this machine";
  const QByteArray inGerman = SavedBlock();
  EXPECT_EQ(inGerman, plain);
  const std::vector<std::string> before = Events();
  M.Clear();
  EXPECT_EQ(LoadBlock(inGerman), QString());
  EXPECT_EQ(Events(), before);
}
