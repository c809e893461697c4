#include "vlnotesEvents.h"

#include "vl09_DayFilesManager.h"
#include "vl09_XmlIn.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Print(std::FILE *To, const QString &Text) {
  const QByteArray bytes = Text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), To);
}

QString KindText(TKindOfEvent Kind) {
  switch (Kind) {
    case koeMarker: return QStringLiteral("Marker");
    case koeLabel: return QStringLiteral("Label");
    case koeSketching: return QStringLiteral("Sketching");
    case koeWebDings: return QStringLiteral("WebDings");
    case koeWingDings: return QStringLiteral("WingDings");
    case koeWingDings2: return QStringLiteral("WingDings2");
    case koeWingDings3: return QStringLiteral("WingDings3");
    default: return QStringLiteral("Kind%1").arg(int(Kind));
  }
}

// Control characters in caret notation, so that one event stays one line.
QString Visible(const QString &Text) {
  QString out;
  for (const QChar c : Text) {
    if (c.unicode() < 32) {
      out += u'^';
      out += QChar(static_cast<char16_t>(c.unicode() + 64));
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

int CommandEvents(const QString &Path) {
  const QFileInfo info(Path);
  if (!info.exists()) {
    Print(stderr, QStringLiteral("vlnotes: ") + Path + QStringLiteral(": no such file"));
    return 3;
  }
  // Checked without opening: a FIFO or a device would make the reading wait for ever.
  if (const QString problem = TvlXmlIn::RegularFileProblem(Path); !problem.isEmpty()) {
    Print(stderr, QStringLiteral("vlnotes: ") + problem);
    return 3;
  }
  TvlXmlIn in;
  QString note;
  if (!in.File_OpenOrDoErrorDialogs(Path, note)) {
    Print(stderr, QStringLiteral("vlnotes: ") + Path + QStringLiteral(": cannot be read") +
                      (note.isEmpty() ? QString() : QStringLiteral(": ") + note.simplified()));
    return 3;
  }
  // The block starts at its header line, or at its first event when that line is lost.
  while (!in.EndOfFile() && in.CurrentTag() != xtOtherEventsBegin && in.CurrentTag() != xtEvent_)
    in.NextRecognizedTag();
  if (in.EndOfFile()) {
    Print(stderr,
          QStringLiteral("vlnotes: ") + Path + QStringLiteral(": holds no OtherEvents block"));
    return 0;
  }
  TvlDayFilesManager events;
  const qsizetype before = in.ProblemCount();
  QString problems = events.IO_LoadNonTypingEvents(in);
  // A repaired block (a header line lost or doubled) is said as well.
  const QStringList repaired = in.ProblemsSince(before);
  if (!repaired.isEmpty())
    problems =
        repaired.join(u'\n') + (problems.isEmpty() ? QString() : QStringLiteral("\n")) + problems;

  struct RLine {
    TDateTime When;
    TEventID ID;
  };
  std::vector<RLine> lines;
  TEventID id = NoEventID;
  TvlEvent ev;
  for (auto walk = events.Walk(); walk.Next(id);)
    if (events.Event_FromEventID(id, ev) && ev.Kind != koeNone && ev.Kind != koeTyping)
      lines.push_back(RLine{ev.When, id});
  std::stable_sort(lines.begin(), lines.end(),
                   [](const RLine &A, const RLine &B) { return A.When < B.When; });
  for (const RLine &line : lines) {
    events.Event_FromEventID(line.ID, ev);
    Print(stdout, DateTimeToQDateTime(ev.When).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                      QStringLiteral("  ") + KindText(ev.Kind).leftJustified(10) +
                      QStringLiteral("  ") + Visible(QString(ev.What)) + QStringLiteral("  ") +
                      Visible(ev.Text));
  }
  if (problems.isEmpty()) return 0;
  for (const QString &p : problems.split(u'\n'))
    Print(stderr, QStringLiteral("vlnotes: ") + Path + QStringLiteral(": ") + p);
  return 1;
}
