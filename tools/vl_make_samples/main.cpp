// vl_make_samples: the files the first run copies for a new user, made at build time by the
// program's own document model and binder writer, so that they always match the current format.
//
//   vl_make_samples FOLDER
//
// writes into FOLDER:
//   "2009-09-03 13.47 36.5 (108).wav"   a recording of 108.4 s of speech-like sound
//   "2009-09-03 13.47 36.5 (108).vu"    its level readings, eight a second
//   "Example.vl"                         a binder with two tabs of notes typed during that
//                                        recording, two numbered markers and a label
// Every file is the same on every run. Exit codes: 0 done, 2 wrong use, 5 a file could not be
// written.

#include "vl09_NotebookBinder.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlGlobals.h"
#include "vlKeptEventsIO.h"
#include "vlSampleAudio.h"
#include "vlTextFile.h"
#include "vl_Document.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr double RecordingSeconds = 108.4;

TDateTime RecordingStart() { return EncodeDateTime(2009, 9, 3, 13, 47, 36, 500); }

QString RecordingName() { return QStringLiteral("2009-09-03 13.47 36.5 (108)"); }

void Err(const QString &Text) {
  const QByteArray bytes = (QStringLiteral("vl_make_samples: ") + Text).toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

struct RTypedLine {
  double AtSecond;  // when typing of the line began, seconds into the recording
  const char16_t *Text;
  bool Heading;
};

// Types Lines into Doc as a person would while listening: about five characters a second with an
// uneven rhythm, each line finished by Enter. Every character's moment is the moment on the
// recording at which it was typed (typing happened live, so both of its times agree).
void TypeNotes(TDocument &Doc, std::initializer_list<RTypedLine> Lines) {
  const TFontIndex body = Doc.FCurrentFontX;
  const TFontIndex heading = Doc.Font_GetIndex(QStringLiteral("Comic Sans MS"), 0, 12, 0x800000,
                                               clWhite, TFontStyles(fsBold));
  Doc.ClearSections();
  std::uint32_t rhythm = 12345;
  bool first = true;
  for (const RTypedLine &line : Lines) {
    TParagraph &p = first ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    first = false;
    const TFontIndex font = line.Heading ? heading : body;
    double second = line.AtSecond;
    for (const char16_t *c = line.Text; *c; ++c) {
      rhythm = rhythm * 1103515245u + 12345u;
      second += 0.12 + static_cast<double>((rhythm >> 16) % 160) / 1000.0;
      const TDateTime when = IncMilliSecond(RecordingStart(), std::llround(second * 1000));
      p.Char_Append(QChar(*c), font, RvlTimestamp{when, when});
    }
    p.FNLFont = font;
    second += 0.3;
    const TDateTime enter = IncMilliSecond(RecordingStart(), std::llround(second * 1000));
    p.FNLWhen = RvlTimestamp{enter, enter};
  }
  Doc.AtPos_NoSelectionSet(Doc.Document_FirstCaretPos());
  Doc.ChangeCount_Clear();
  Doc.ChangeCountSinceBackup_Clear();
}

bool WriteExampleBinder(const QString &Path, QString &Error) {
  TvlTabList tabs;
  TvlTabList::RTab &lecture = tabs.Add(QStringLiteral("Lecture"));
  lecture.VertScrollbar = 1;
  TypeNotes(*lecture.Doc, {
                              {3, u"How notes follow the recording", true},
                              {12, u"Every character keeps the moment it was typed.", false},
                              {24, u"Click a word to hear what was said then.", false},
                              {36, u"Marker 1: the main point starts here.", false},
                              {48, u"Speed can go from 50% to 190%.", false},
                              {58, u"Silence protection holds playback back.", false},
                          });
  TvlTabList::RTab &questions = tabs.Add(QStringLiteral("Questions"));
  questions.VertScrollbar = 1;
  TypeNotes(*questions.Doc, {
                                {70, u"Questions for later", true},
                                {77, u"How do I export one tab?", false},
                                {86, u"Can labels hold a sentence?", false},
                                {95, u"Follow up next week", false},
                            });
  tabs.ActiveTab = 0;

  TvlKeptEventsIO bookmarks;
  const auto at = [](double Second) {
    return IncMilliSecond(RecordingStart(), std::llround(Second * 1000));
  };
  bookmarks.Add(QStringLiteral("Marker"), QChar(u'1'), at(36.2));
  bookmarks.Add(QStringLiteral("Label"), QChar(u'1'), at(47.5), QStringLiteral("Speed"));
  bookmarks.Add(QStringLiteral("Marker"), QChar(u'2'), at(76.8));

  TvlNotebookBinder binder(tabs, &bookmarks);
  Error = binder.Binder_Save(Path);
  return Error.isEmpty();
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() != 1) {
    Err(QStringLiteral("usage: vl_make_samples FOLDER"));
    return 2;
  }
  const QString folder = args[0];
  if (!QDir().mkpath(folder)) {
    Err(folder + QStringLiteral(": the folder cannot be made"));
    return 5;
  }
  // Reports go to a log of this run's own, never into the user's documents; the saving moment
  // is fixed so that the example is the same on every build.
  QTemporaryDir logFolder;
  TErrorLog log(logFolder.path());
  TScopedErrorLog scopedLog(log);
  TManualClock clock(IncMilliSecond(RecordingStart(), 120'000));
  TScopedClock scopedClock(clock);

  const std::vector<std::int16_t> samples = MakeSpeechLikeAudio(RecordingSeconds);
  QString error;
  const QString base = folder + QLatin1Char('/') + RecordingName();
  if (!WriteWav(base + QStringLiteral(".wav"), samples, error)) {
    Err(base + QStringLiteral(".wav: ") + error);
    return 5;
  }
  if (!WriteFileAtomically(base + QStringLiteral(".vu"), MakeVuRecords(samples), &error)) {
    Err(base + QStringLiteral(".vu: ") + error);
    return 5;
  }
  const QString example = folder + QStringLiteral("/Example.vl");
  if (!WriteExampleBinder(example, error)) {
    Err(example + QStringLiteral(": ") + error);
    return 5;
  }
  return 0;
}
