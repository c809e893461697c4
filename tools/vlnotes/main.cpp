// vlnotes: notes files from the command line, read and written by the program's own document
// code, for people who keep their notes in these files.
//
//   vlnotes text FILE       every paragraph's text after the moment of its first character
//   vlnotes check FILE      loads the file and lists what is wrong with it
//   vlnotes resave IN OUT   loads an isolated tab file or a binder and saves it again
//   vlnotes events FILE     the bookmarks of the file's OtherEvents block (vlnotesEvents.h)
//   vlnotes render FILE OUT.png [--width PX]   draws an isolated tab file as the editor lays it out
//   vlnotes export BINDER --format md|html|vtt|srt|tsv [--tab N] [--audio DIR] -o OUT
//                           the notes with their moments, for other programs (vlnotesExport.h)
//
// FILE is an isolated tab (".vlTab") or a binder (".vl", ".vlBackup"); a binder's tabs are listed
// one after the other. Moments are local time, to the second. Characters below 32 other than a
// tab are shown in caret notation ("^M"), so that one paragraph stays one line.
//
// Exit codes: 0 done, nothing wrong; 1 the file was read but is damaged (what could be read was
// still printed or saved); 2 wrong use; 3 the file is missing or cannot be read (also a folder, a
// FIFO or a device, refused without waiting on it); 4 the file is
// not a notes file, or one of the earlier binary format; 5 the output could not be written.

#include "vl09_NotebookBinder.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlGlobals.h"
#include "vlNotesRender.h"
#include "vlPrompts.h"
#include "vl_Document.h"
#include "vlnotesBinder.h"
#include "vlnotesEvents.h"
#include "vlnotesExport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

enum TExit : int {
  exOk = 0,
  exDamaged = 1,
  exUsage = 2,
  exUnreadable = 3,
  exNotNotes = 4,
  exNotWritten = 5,
};

void Out(const QString &Text) {
  const QByteArray bytes = Text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
}

void Err(const QString &Text) {
  const QByteArray bytes = (QStringLiteral("vlnotes: ") + Text).toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

int Usage() {
  Err(QStringLiteral(
      "usage: vlnotes text FILE | vlnotes check FILE | vlnotes resave IN OUT"
      " | vlnotes events FILE | vlnotes render FILE OUT.png [--width PX] [--tab N]"
      " | vlnotes export BINDER --format md|html|vtt|srt|tsv [--tab N] [--audio DIR] -o OUT"));
  return exUsage;
}

// Message boxes become lines on standard error; questions take their default answer.
class TConsolePrompts final : public TPrompts {
 public:
  void Message(const QString &Text, TPromptIcon) override {
    Err(QString(Text).replace(QStringLiteral("\n\n"), QStringLiteral(" ")).simplified());
  }
  TPromptButton Ask(const QString &Text, const QList<TPromptButton> &, TPromptButton Default,
                    TPromptIcon) override {
    Err(QString(Text).simplified());
    return Default;
  }
  std::optional<QString> Password(const QString &, const QString &) override { return {}; }
  QString OpenFileName(const QString &, const QString &, const QString &) override { return {}; }
  QString SaveFileName(const QString &, const QString &, const QString &) override { return {}; }
};

// One tab as read: its title, the document and what was wrong.
struct RTab {
  QString Title;
  int VertScrollbar = 0;
  std::unique_ptr<TDocument> Doc = std::make_unique<TDocument>();
  QStringList Problems;
};

struct RFile {
  bool Binder = false;
  std::vector<RTab> Tabs;
  QStringList Problems;  // of the file as a whole
  bool NotNotes = false;
};

QStringList ProblemLines(const QString &Problems) {
  QStringList lines;
  for (const QString &line : Problems.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    // The count of logged reports points at the program's Errors.txt; here they are listed.
    if (!(line.startsWith(QLatin1Char('(')) && line.endsWith(QStringLiteral("see Errors.txt)"))))
      lines.append(line);
  return lines;
}

// A tab's problems: what its load answered, then every structural problem the load met (the
// load keeps them all; the error log would keep only the first few of a run).
QStringList TabProblems(const QString &Answered, const TDocument &Doc) {
  return ProblemLines(Answered) + Doc.IO_LastLoad().StructuralTexts;
}

// The tabs of a binder, each through the embedded loader, as the binder reads them. Every tab
// that is there is listed, also beyond the count the binder announces (the program loads those
// too; the wrong count is said).
void ReadBinder(TvlXmlIn &In, RFile &File) {
  File.Binder = true;
  const bool headed = In.CurrentTag() == xtBoundNotesBegin_;
  int tabCount = 0;
  if (headed) {
    if (!In.Get("TabCount", tabCount)) tabCount = 0;
    In.NextRecognizedTag();
  } else {
    File.Problems.append(
        QStringLiteral("The BoundNotes line is missing (the program will not open the file); "
                       "the tabs start at ") +
        In.TraceLine());
  }
  for (;;) {
    RTab tab;
    const qsizetype beforeFrame = In.ProblemCount();
    if (!TvlNotebookBinder::ReadTabFrame(In, tab.Title, tab.VertScrollbar)) break;
    tab.Problems = In.ProblemsSince(beforeFrame);
    const QString answered = tab.Doc->IO_LoadEmbedded(In);
    tab.Problems += TabProblems(answered, *tab.Doc);
    const qsizetype atEnd = In.ProblemCount();
    if (In.CurrentTagStrictlyIs(xtDocTabEnd)) In.NextRecognizedTag();
    tab.Problems += In.ProblemsSince(atEnd);
    File.Tabs.push_back(std::move(tab));
  }
  if (File.Tabs.empty())
    File.Problems.append(QStringLiteral("The binder holds no tab"));
  else if (headed && static_cast<int>(File.Tabs.size()) != tabCount)
    File.Problems.append(QStringLiteral("The binder announces %1 tabs and holds %2")
                             .arg(tabCount)
                             .arg(File.Tabs.size()));
  if (!In.Next_SearchFor(xtBoundNotesEnd))
    File.Problems.append(
        QStringLiteral("The file appears incomplete: its closing </BoundNotes> "
                       "is missing"));
  if (!In.ReadProblem().isEmpty()) File.Problems.append(In.ReadProblem());
}

// Reads FILE as a binder or an isolated tab; answers an exit code for files that cannot be read
// at all (after saying why), else -1.
int ReadNotesFile(const QString &Path, RFile &File) {
  const QFileInfo info(Path);
  if (!info.exists()) {
    Err(Path + QStringLiteral(": no such file"));
    return exUnreadable;
  }
  // Checked without opening: a FIFO or a device would make the reading wait for ever.
  if (const QString problem = TvlXmlIn::RegularFileProblem(Path); !problem.isEmpty()) {
    Err(problem);
    return exUnreadable;
  }

  TvlXmlIn in;
  QString refusal;
  if (!in.File_OpenOrDoErrorDialogs(Path, refusal)) {
    if (!refusal.isEmpty()) {
      Err(Path + QStringLiteral(": ") + refusal.simplified());
      return exNotNotes;
    }
    return exUnreadable;
  }
  // A binder whose first line is lost still starts with its first tab. The program does not open
  // it (the line holds the count of tabs); its notes are shown here so that they can be saved.
  if (in.CurrentTag() == xtBoundNotesBegin_ || in.CurrentTag() == xtDocTabBegin_) {
    ReadBinder(in, File);
    return -1;
  }
  in.File_Close();

  RTab tab;
  const QString answered = tab.Doc->IO_Load(Path, tab.Title, tab.VertScrollbar);
  tab.Problems = TabProblems(answered, *tab.Doc);
  const TDocument::RLoadReport &report = tab.Doc->IO_LastLoad();
  if (!report.Opened) {
    Err(Path + QStringLiteral(": cannot be read"));
    return exUnreadable;
  }
  // Nothing of a notes block in it at all: some other file.
  if (!report.IsNotesDoc && tab.Doc->Document_IsBlank() && tab.Doc->InsetsStorage.High() < 0) {
    Err(Path + QStringLiteral(": not a notes file (neither an isolated tab nor a binder)"));
    return exNotNotes;
  }
  File.Tabs.push_back(std::move(tab));
  return -1;
}

bool Damaged(const RFile &File) {
  if (!File.Problems.isEmpty()) return true;
  for (const RTab &tab : File.Tabs)
    if (!tab.Problems.isEmpty()) return true;
  return false;
}

void ListProblems(const QString &Path, const RFile &File, void (*Print)(const QString &)) {
  for (const QString &p : File.Problems) Print(Path + QStringLiteral(": ") + p);
  for (std::size_t i = 0; i < File.Tabs.size(); ++i)
    for (const QString &p : File.Tabs[i].Problems)
      Print(Path +
            (File.Binder ? QStringLiteral(" (tab %1 \"%2\")").arg(i + 1).arg(File.Tabs[i].Title)
                         : QString()) +
            QStringLiteral(": ") + p);
}

QString Visible(const QString &Text) {
  QString out;
  out.reserve(Text.size());
  for (QChar c : Text) {
    if (c.unicode() < 32 && c != u'\t') {
      out += QLatin1Char('^');
      out += QChar(static_cast<char16_t>(c.unicode() + 64));
    } else {
      out += c;
    }
  }
  return out;
}

QString MomentText(const RvlTimestamp &Timemark) {
  const TDateTime moment = TypingEventMoment(Timemark);
  if (!TimestampIsSet(Timemark) || !IsValidDateTime(moment) || moment < 1)
    return QStringLiteral("(no moment)        ");
  return DateTimeToQDateTime(moment).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int CommandText(const QString &Path) {
  RFile file;
  if (const int code = ReadNotesFile(Path, file); code >= 0) return code;
  for (std::size_t i = 0; i < file.Tabs.size(); ++i) {
    const RTab &tab = file.Tabs[i];
    if (file.Binder) Out(QStringLiteral("# Tab %1: %2").arg(i + 1).arg(Visible(tab.Title)));
    for (int sn = 0; sn <= tab.Doc->Section_High(); ++sn) {
      const TParagraph *p = tab.Doc->Paragraph_FromSectionNum(sn);
      if (!p) continue;
      // An empty paragraph has only its end of line to tell its moment.
      const RvlTimestamp first = p->High() > 0 ? p->Timestamp_Get(1) : p->FNLWhen;
      Out(MomentText(first) + QStringLiteral("  ") + Visible(p->Text()));
    }
  }
  if (!Damaged(file)) return exOk;
  ListProblems(Path, file, Err);
  return exDamaged;
}

int CommandCheck(const QString &Path) {
  RFile file;
  if (const int code = ReadNotesFile(Path, file); code >= 0) return code;
  int paragraphs = 0;
  for (const RTab &tab : file.Tabs) paragraphs += tab.Doc->Section_High() + 1;
  if (!Damaged(file)) {
    Out(Path + QStringLiteral(": no problems (%1 %2, %3 paragraphs)")
                   .arg(file.Tabs.size())
                   .arg(file.Tabs.size() == 1 ? QStringLiteral("tab") : QStringLiteral("tabs"))
                   .arg(paragraphs));
    return exOk;
  }
  ListProblems(Path, file, Out);
  return exDamaged;
}

int CommandResave(const QString &In, const QString &OutPath) {
  RFile file;
  if (const int code = ReadNotesFile(In, file); code >= 0) return code;
  if (file.Binder) {
    Err(In + QStringLiteral(": a binder; resave works on isolated tab files only"));
    return exUsage;
  }
  const bool damaged = Damaged(file);
  if (damaged) ListProblems(In, file, Err);
  // A damaged file is never written over: its unreadable parts may still be recovered by hand.
  if (damaged && QFileInfo(In).canonicalFilePath() == QFileInfo(OutPath).canonicalFilePath()) {
    Err(OutPath + QStringLiteral(": not written over the damaged original; give another output "
                                 "file"));
    return exDamaged;
  }
  RTab &tab = file.Tabs.front();
  TvlXmlOut out;
  if (!tab.Doc->IO_Save(out, OutPath, tab.Title, tab.VertScrollbar)) {
    Err(OutPath + QStringLiteral(": cannot be written") +
        (out.ErrorString().isEmpty()
             ? QString()
             : QStringLiteral(" (") + out.ErrorString() + QLatin1Char(')')));
    return exNotWritten;
  }
  if (damaged) {
    Err(OutPath + QStringLiteral(": written with what could be read"));
    return exDamaged;
  }
  return exOk;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return RenderMain(argc, argv);
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 1 &&
      (args[0] == QStringLiteral("--help") || args[0] == QStringLiteral("help"))) {
    Out(QStringLiteral(
        "usage: vlnotes text FILE | vlnotes check FILE | vlnotes resave IN OUT"
        " | vlnotes events FILE | vlnotes render FILE OUT.png [--width PX] [--tab N]"
        " | vlnotes export BINDER --format md|html|vtt|srt|tsv [--tab N] [--audio DIR] -o OUT"));
    return exOk;
  }

  // Reports go to a log of this run's own, never to the program's Errors.txt; the problems listed
  // come from the loads themselves.
  QTemporaryDir logFolder;
  if (!logFolder.isValid()) {
    Err(QStringLiteral("cannot make a temporary folder"));
    return exNotWritten;
  }
  TErrorLog log(logFolder.path());
  TScopedErrorLog scopedLog(log);
  TConsolePrompts prompts;
  TScopedPrompts scopedPrompts(prompts);

  if (args.size() == 2 && args[0] == QStringLiteral("text")) return CommandText(args[1]);
  if (args.size() == 2 && args[0] == QStringLiteral("check")) return CommandCheck(args[1]);
  if (args.size() == 3 && args[0] == QStringLiteral("resave") && IsBinderFile(args[1]))
    return CommandResaveBinder(args[1], args[2]);
  if (args.size() == 2 && args[0] == QStringLiteral("events")) return CommandEvents(args[1]);
  if (!args.isEmpty() && args[0] == QStringLiteral("export")) return CommandExport(args);
  if (args.size() == 3 && args[0] == QStringLiteral("resave"))
    return CommandResave(args[1], args[2]);
  return Usage();
}
