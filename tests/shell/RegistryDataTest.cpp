#include "vl09_Registry.h"
#include "vlIniFile.h"
#include "vlShellSettings.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QSettings>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// A store read from a settings file holding Text.
struct StoreFromText {
  TFreshFolder folder;
  QString path = folder.File(QStringLiteral("2009.ini"));
  TRegistryData store{path};
  explicit StoreFromText(const QByteArray &Text) {
    WriteAllBytes(path, Text);
    EXPECT_TRUE(store.OnApplicationOpen_ReadFromRegistry());
  }
};

}  // namespace

TEST(RegistryData, TypedReadsFallBackToTheDefaultForAnythingThatIsNotANumber) {
  // value | integer (default -7) | float (default -7.5) | boolean (default true)
  const QStringList rows =
      S("42|42|42|1; 7 |7|7|1;+5|5|5|1;-3|-3|-3|1;0|0|0|0;-1|-1|-1|1;1.5|-7|1.5|1;0,25|-7|0.25|1;"
        "1e3|-7|1000|1;nan|-7|-7.5|1;inf|-7|-7.5|1;-inf|-7|-7.5|1;1e999|-7|-7.5|1;0x10|-7|-7.5|1;"
        "99999999999|-7|99999999999|1;abc|-7|-7.5|1;|-7|-7.5|1;True|-7|-7.5|1;FALSE|-7|-7.5|0;"
        "yes|-7|-7.5|1;\xd9\xa3|-7|-7.5|1")  // the last is an Arabic-Indic digit
          .split(QLatin1Char(';'));
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  for (const QString &row : rows) {
    const QStringList f = row.split(QLatin1Char('|'));
    store.SetValue(QStringLiteral("V"), f[0]);
    SCOPED_TRACE(row.toStdString());
    EXPECT_EQ(store.GetIntegerDef(QStringLiteral("V"), -7), f[1].toInt());
    EXPECT_EQ(store.GetFloatDef(QStringLiteral("V"), -7.5), f[2].toDouble());
    EXPECT_EQ(store.GetBoolDef(QStringLiteral("V"), true), f[3] == QLatin1String("1"));
  }
  store.SetValue(QStringLiteral("V"), QStringLiteral("yes"));
  EXPECT_FALSE(store.GetBoolDef(QStringLiteral("V"), false));
  EXPECT_EQ(store.GetIntegerDef(QStringLiteral("Absent"), 3), 3);
  EXPECT_EQ(store.GetStringDef(QStringLiteral("Absent"), QStringLiteral("d")), QStringLiteral("d"));
  store.SetValue(QStringLiteral("Empty"), QString());
  EXPECT_EQ(store.GetStringDef(QStringLiteral("Empty"), QStringLiteral("d")), QString());
}

TEST(RegistryData, NamesAreFoundInAnyCaseAfterOthersWereDeleted) {
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  const char *names[] = {"Alpha", "Beta", "Gamma", "Delta"};
  for (const char *name : names) store.SetValue(S(name), S(name).toLower());
  store.DeleteValue(S("BETA"));
  store.DeleteValue(S("alpha"));
  EXPECT_FALSE(store.ValueExists(S("Beta")));
  EXPECT_EQ(store.GetValue(S("gamma")), S("gamma"));
  EXPECT_EQ(store.GetValue(S("DELTA")), S("delta"));
  store.SetValue(S("gAmMa"), S("again"));
  EXPECT_EQ(store.GetValue(S("Gamma")), S("again"));
  EXPECT_EQ(store.Count(), 2);
}

TEST(RegistryData, NumbersAreWrittenInTheCLocaleAndReadBackExactly) {
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  for (const double v : {40059.5746, 0.25, 2.0, -1.0 / 3, 1e-9}) {
    store.SetFloat(QStringLiteral("F"), v);
    EXPECT_FALSE(store.GetValue(QStringLiteral("F")).contains(QLatin1Char(',')));
    EXPECT_EQ(store.GetFloatDef(QStringLiteral("F"), 0), v);
  }
  store.SetBool(QStringLiteral("B"), true);
  EXPECT_EQ(store.GetValue(QStringLiteral("B")), QStringLiteral("-1"));
  store.SetBool(QStringLiteral("B"), false);
  EXPECT_EQ(store.GetValue(QStringLiteral("B")), QStringLiteral("0"));
}

TEST(RegistryData, AnyTextSurvivesARoundTripThroughTheFile) {
  const QStringList values = {S(" lead"),
                              S("trail "),
                              S("a;b"),
                              S("0-N, 1439-N"),
                              S("@at"),
                              S("@@"),
                              S("back\\slash"),
                              S("\"quoted\""),
                              S("line1\nline2\r\n"),
                              S("tab\there"),
                              QString(QChar(1)) + S("ab"),
                              S("Grüße € 日本"),
                              S(""),
                              S("="),
                              S("#x"),
                              S("x # y ; z"),
                              S("%41")};
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("2009.ini"));
  TRegistryData out(path);
  for (int i = 0; i < values.size(); ++i)
    out.SetValue(QStringLiteral("Name %1=").arg(i), values[i]);
  ASSERT_TRUE(out.OnApplicationClose_WriteToRegistry());

  TRegistryData in(path);
  ASSERT_TRUE(in.OnApplicationOpen_ReadFromRegistry());
  EXPECT_EQ(in.Names(), out.Names());
  for (int i = 0; i < values.size(); ++i)
    EXPECT_EQ(in.GetValue(QStringLiteral("Name %1=").arg(i)), values[i]) << i;

  // The file is one QSettings reads the same way.
  QSettings qt(path, QSettings::IniFormat);
  for (int i = 0; i < values.size(); ++i)
    EXPECT_EQ(qt.value(QStringLiteral("Name %1=").arg(i)).toString(), values[i]) << i;
}

TEST(RegistryData, ReadsAFileWrittenByQSettings) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("2009.ini"));
  {
    QSettings qt(path, QSettings::IniFormat);
    qt.setValue(QStringLiteral("AutoOpenBinder"), S("/home/u/My notes; 2009.vl"));
    qt.setValue(QStringLiteral("ReopenZoom"), S("0.25"));
    qt.setValue(QStringLiteral("Strange"), S("@x\t\"y\""));
    qt.setValue(QStringLiteral("RecentFiles/01"), S("/home/u/a.vl"));
  }
  TRegistryData store(path);
  ASSERT_TRUE(store.OnApplicationOpen_ReadFromRegistry());
  EXPECT_EQ(store.GetValue(QStringLiteral("AutoOpenBinder")), S("/home/u/My notes; 2009.vl"));
  EXPECT_EQ(store.GetFloatDef(QStringLiteral("ReopenZoom"), 0), 0.25);
  EXPECT_EQ(store.GetValue(QStringLiteral("Strange")), S("@x\t\"y\""));
  EXPECT_FALSE(store.ValueExists(QStringLiteral("01")));

  TRegistryData recent(path);
  ASSERT_TRUE(recent.OnApplicationOpen_ReadFromRegistry(QStringLiteral("\\RecentFiles")));
  EXPECT_EQ(recent.GetValue(QStringLiteral("01")), S("/home/u/a.vl"));
}

TEST(RegistryData, HandEditedFilesAreReadLeniently) {
  StoreFromText f(
      "\xEF\xBB\xBF; written by hand\r\n"
      "  DebugMode = true  ; a comment\r\n"
      "JumpBack=12\n"
      "Silence_Mon=0-N, 1439-N\n"
      "\n"
      "[RecentFiles]\n"
      "01=/home/u/x.vl\n"
      "[General]\n"
      "jumpback=13\n");
  EXPECT_TRUE(f.store.GetBoolDef(QStringLiteral("DebugMode"), false));
  // Names are matched ignoring case; the later spelling wins.
  EXPECT_EQ(f.store.GetIntegerDef(QStringLiteral("JumpBack"), 0), 13);
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Silence_Mon")), S("0-N, 1439-N"));
  EXPECT_FALSE(f.store.ValueExists(QStringLiteral("01")));
}

TEST(RegistryData, ADamagedFileGivesEveryLineThatStillMakesSense) {
  QByteArray text = "Good1=one\n";
  text += QByteArray("\x00\x01\xff\xfe garbage\n", 13);
  text += "=no name\n";
  text += "[broken header\n";
  text += "Hidden=must not reach the main section\n";
  text += "[General]\n";
  text +=
      "Good2=tw\xff"
      "o\n";  // invalid UTF-8
  text += "Good3=\"unterminated\n";
  text += QByteArray(100000, 'x');        // a very long line without "="
  text += "\nGood5=five\rGood6=six\r\n";  // line ends of old editors
  text += "Good4=four";                   // no line end
  StoreFromText f(text);
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Good1")), S("one"));
  EXPECT_TRUE(f.store.GetValue(QStringLiteral("Good2")).startsWith(S("tw")));
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Good3")), S("unterminated"));
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Good4")), S("four"));
  EXPECT_FALSE(f.store.ValueExists(QStringLiteral("Hidden")));
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Good5")), S("five"));
  EXPECT_EQ(f.store.GetValue(QStringLiteral("Good6")), S("six"));
  EXPECT_EQ(f.store.Count(), 6);
}

TEST(RegistryData, WritingKeepsOtherSectionsAndValuesRemovedFromMemory) {
  StoreFromText f(
      "[General]\n"
      "IsDeveloper=-1\n"
      "debugmode=-1\n"
      "Unknown=kept\n"
      "[RecentFiles]\n"
      "01=/home/u/a.vl\n");
  // Developer mode is read once and never written back, but the file keeps it.
  EXPECT_TRUE(f.store.GetBoolDef(QStringLiteral("IsDeveloper"), false));
  f.store.DeleteValue(QStringLiteral("isdeveloper"));
  f.store.SetBool(QStringLiteral("DebugMode"), false);
  f.store.SetValue(QStringLiteral("New"), S("n"));
  ASSERT_TRUE(f.store.OnApplicationClose_WriteToRegistry());

  TIniFile file;
  ASSERT_TRUE(file.Load(f.path));
  QStringList general;
  for (const RIniValue &v : file.Section(QStringLiteral("General")))
    general.append(v.Name + QLatin1Char('=') + v.Value);
  EXPECT_EQ(general,
            (QStringList{S("DebugMode=0"), S("Unknown=kept"), S("New=n"), S("IsDeveloper=-1")}));
  ASSERT_EQ(file.Section(QStringLiteral("RecentFiles")).size(), 1);
  EXPECT_EQ(file.Section(QStringLiteral("RecentFiles"))[0].Value, S("/home/u/a.vl"));
}

TEST(RegistryData, AFileThatCannotBeReadIsNeverReplaced) {
  TFreshFolder folder;
  // A folder where the file should be: it can be neither read nor replaced.
  const QString path = folder.File(QStringLiteral("2009.ini"));
  ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inside")));
  TRegistryData store(path);
  EXPECT_FALSE(store.OnApplicationOpen_ReadFromRegistry());
  EXPECT_EQ(store.Count(), 0);
  store.SetValue(QStringLiteral("A"), S("1"));
  EXPECT_FALSE(store.OnApplicationClose_WriteToRegistry());
  EXPECT_TRUE(QFileInfo(path + QStringLiteral("/inside")).isDir());
}

TEST(RegistryData, AFileTooLargeToBeReadWholeIsNeverWrittenBack) {
  // A long [General] section pushes the recent files past the part that is read.
  QByteArray text = "[General]\nA=1\n";
  while (text.size() <= TIniFile::MaxFileBytes) text += "Padding=" + QByteArray(100, 'p') + "\n";
  text += "\n[RecentFiles]\n01=/n/kept.vl\n";
  StoreFromText from(text);
  EXPECT_EQ(from.store.GetValue(QStringLiteral("A")), S("1"));
  from.store.SetValue(QStringLiteral("A"), S("2"));
  EXPECT_FALSE(from.store.OnApplicationClose_WriteToRegistry());
  EXPECT_EQ(ReadAllBytes(from.path), text);

  QString error;
  EXPECT_FALSE(UpdateIniSection(
      from.path, QStringLiteral("RecentFiles"),
      [](const QList<RIniValue> &) { return QList<RIniValue>(); }, &error));
  EXPECT_TRUE(error.contains(S("not read whole"))) << error.toStdString();
  EXPECT_EQ(ReadAllBytes(from.path), text);
}

TEST(RegistryData, AFailedWriteLeavesTheOldFileAsItWas) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("2009.ini"));
  WriteAllBytes(path, "[General]\nA=old\n");
  TRegistryData store(path);
  ASSERT_TRUE(store.OnApplicationOpen_ReadFromRegistry());
  store.SetValue(QStringLiteral("A"), QString(4000, QLatin1Char('n')));
  bool written = true;
  {
    TFullDisk full(1000);
    ASSERT_TRUE(full.Active());
    written = store.OnApplicationClose_WriteToRegistry();
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadAllBytes(path), QByteArray("[General]\nA=old\n"));
  EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("2009.ini")});
}

TEST(ShellSettings, EveryMainWindowValueHasItsDefaultAndIsLimitedToItsRange) {
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  auto check = [&](const auto &Setting, const char *Name, auto Default, auto Min, auto Max,
                   const char *Below, const char *Above) {
    SCOPED_TRACE(Name);
    EXPECT_EQ(QString::fromUtf16(Setting.Name), S(Name));
    store.Clear();
    EXPECT_EQ(store.Get(Setting), Default);
    for (const char *junk : {"junk", "nan", "-inf", ""}) {
      store.SetValue(S(Name), S(junk));
      EXPECT_EQ(store.Get(Setting), Default);
    }
    store.SetValue(S(Name), S(Below));
    EXPECT_EQ(store.Get(Setting), Min);
    store.SetValue(S(Name), S(Above));
    EXPECT_EQ(store.Get(Setting), Max);
  };
  check(vlSetting::TimelineSidePnlWidth, "TimelineSidePnlWidth", 180, 1, 740, "0", "900");
  check(vlSetting::RecordingPnlWidth, "RecordingPnlWidth", 300, 1, 3200, "-5", "99999999999");
  check(vlSetting::EpochYear, "EpochYear", 2006, 1900, 2006, "10", "2024");
  check(vlSetting::ReopenZoom, "ReopenZoom", 2.0, 0.25, 60.0, "0", "1e6");
  check(vlSetting::SearchResultsWidth, "SearchResultsWidth", 0.25, 0.05, 0.9, "0", "1.625");
  const std::pair<const RBoolSetting &, bool> bools[] = {
      {vlSetting::ViewTimelineVertical, true},
      {vlSetting::ViewAudioControls, false},
      {vlSetting::RecordStartAutoAtCreate, true},
      {vlSetting::RecordStartAuto, false},
      {vlSetting::BlockMicSensitiviyConfigMesg, false},
      {vlSetting::LaunchLog, false},
      {vlSetting::DebugMode, false},
      {vlSetting::IsDeveloper, false}};
  QStringList names;
  for (const auto &[setting, byDefault] : bools) {
    names.append(QString::fromUtf16(setting.Name));
    store.Clear();
    EXPECT_EQ(store.Get(setting), byDefault) << names.last().toStdString();
    store.SetValue(names.last(), S("maybe"));
    EXPECT_EQ(store.Get(setting), byDefault) << names.last().toStdString();
  }
  EXPECT_EQ(names.join(QLatin1Char(' ')),
            S("ViewTimelineVertical ViewAudioControls RecordStartAuto RecordStartAuto "
              "BlockMicSensitiviyConfigMesg LaunchLog DebugMode IsDeveloper"));
  EXPECT_EQ(vlSetting::SilenceDayName(1), S("Silence_Sun"));
  EXPECT_EQ(vlSetting::SilenceDayName(7), S("Silence_Sat"));
  EXPECT_EQ(vlSetting::SilenceDayName(8), QString());
}

TEST(ShellSettings, WindowBoundsFallBackToTheDefaultWhenTheyAreUnusable) {
  const QRect primary(0, 0, 1920, 1040);
  const QList<QRect> areas{primary, QRect(1920, 0, 1280, 1024)};
  const QRect byDefault(50, 50, 1820, 940);
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  EXPECT_EQ(MainWindowBounds(store, primary, areas), byDefault);

  StoreMainWindowBounds(store, QRect(2000, 100, 900, 700));  // on the second monitor
  EXPECT_EQ(MainWindowBounds(store, primary, areas), QRect(2000, 100, 900, 700));
  EXPECT_EQ(MainWindowBounds(store, primary, {primary}), byDefault);  // that monitor is gone
  StoreMainWindowBounds(store, QRect(3180, 100, 900, 700));  // the corner is on, 50 right is off
  EXPECT_EQ(MainWindowBounds(store, primary, areas), byDefault);

  // The size is limited to the work area holding the corner, and never below 400 x 300.
  StoreMainWindowBounds(store, QRect(10, 10, 100, 99999));
  EXPECT_EQ(MainWindowBounds(store, primary, areas), QRect(10, 10, 400, 1040));
  StoreMainWindowBounds(store, QRect(2000, 10, 5000, 200));
  EXPECT_EQ(MainWindowBounds(store, primary, areas), QRect(2000, 10, 1280, 300));
  // A window as large as a 4K monitor keeps its size at the next start.
  const QList<QRect> large{QRect(0, 0, 3840, 2160)};
  StoreMainWindowBounds(store, QRect(0, 0, 3840, 2160));
  EXPECT_EQ(MainWindowBounds(store, large[0], large), QRect(0, 0, 3840, 2160));
  store.SetValue(QStringLiteral("Width"), S("wide"));
  EXPECT_EQ(MainWindowBounds(store, primary, areas), byDefault);
}

TEST(ShellSettings, ReopenWhenIsTheStoredMomentOrTheHourBeforeNow) {
  TRegistryData store(QStringLiteral("/nonexistent/2009.ini"));
  const TDateTime now = EncodeDateTime(2024, 3, 5, 14, 37, 12);
  const TDateTime byDefault = EncodeDateTime(2024, 3, 5, 13, 0, 0);
  EXPECT_NEAR(ReopenWhen(store, now), byDefault, 1e-9);
  for (const char *bad : {"nan", "inf", "1e9", "-1e9", "soon"}) {
    store.SetValue(QStringLiteral("ReopenWhen"), S(bad));
    EXPECT_NEAR(ReopenWhen(store, now), byDefault, 1e-9) << bad;
  }
  store.SetValue(QStringLiteral("ReopenWhen"), S("40059,5746"));  // written under a comma locale
  EXPECT_EQ(ReopenWhen(store, now), 40059.5746);
  StoreReopenWhen(store, 40059.5746);
  EXPECT_EQ(store.GetValue(QStringLiteral("ReopenWhen")), S("40059.5746"));
}
