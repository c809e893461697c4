// Opens arbitrary bytes as a binder the way the notebook does: the backup rules first, then the
// tabs, with the bookmarks going to the day files manager. The first byte chooses the scene in a
// scratch folder:
//   0  the bytes are the binder, there is no backup;
//   1  the bytes are the binder, a complete backup (a real binder) is newer;
//   2  the bytes are a backup newer than a real binder;
//   3  the bytes are a backup older than a real binder.
// Whatever happens, no file's content may be lost (every content that was in the folder is still
// in some file there), every tab read must be a consistent document, and a binder that opened
// must save, open again without a single problem and save to the same bytes. Any crash, leak,
// undefined behaviour or broken check is a finding.

#include "vl09_DayFilesManager.h"
#include "vl09_NotebookBinder.h"
#include "vl09_XmlIn.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlFuzzSupport.h"
#include "vlOtherEventsIO.h"
#include "vl_Document.h"
#include "vldConsistency.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// The program's seam: the binder's bookmarks are the day files manager's.
class TManagerEventsIO final : public TvlOtherEventsIO {
 public:
  void IO_SaveNonTypingEvents(TvlXmlOut &Out) override { vlDFM()->IO_SaveNonTypingEvents(Out); }
  QString IO_LoadNonTypingEvents(TvlXmlIn &In) override {
    return vlDFM()->IO_LoadNonTypingEvents(In);
  }
};

TManagerEventsIO *EventsIO = nullptr;
QByteArray RealBinder;  // a whole binder as the program writes it

QByteArray ReadAll(const QString &Path) {
  QFile f(Path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString &Path, const QByteArray &Bytes, int Day) {
  QFile f(Path);
  Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  Check(f.write(Bytes) == Bytes.size());
  Check(f.flush());
  // Only an open file takes a new time.
  const QDateTime when(QDate(2020, 1, Day), QTime(12, 0));
  Check(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QSet<QByteArray> Contents(const QString &Folder) {
  QSet<QByteArray> all;
  for (const QString &name : QDir(Folder).entryList(QDir::Files))
    all.insert(ReadAll(Folder + QLatin1Char('/') + name));
  return all;
}

// A binder of two tabs and two bookmarks, written by the program's own writer.
QByteArray MakeRealBinder(const QString &Folder) {
  vlDFM()->Clear();
  TvlTabList tabs;
  for (const char *title : {"Lecture", "Questions"}) {
    TDocument &doc = *tabs.Add(QString::fromLatin1(title)).Doc;
    TCaretPos end;
    doc.SubStr_InsertPlain(u"Notes typed while it recorded.\nA second line.", doc.FAtPos, end);
  }
  vlDFM()->AddNumberedBookmark(1, 40059.51);
  vlDFM()->AddLabelBookmark(40059.52, u"question \"why\"");
  TvlNotebookBinder binder(tabs, EventsIO);
  const QString path = Folder + QStringLiteral("/real.vl");
  Check(binder.Binder_Save(path).isEmpty());
  return ReadAll(path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  // A fixed "now", so that two saves write the same WhenSaved.
  static TManualClock clock(40059.5);
  SetClock(&clock);
  static TvlDayFilesManager manager;
  static TManagerEventsIO events;
  EventsIO = &events;
  QTemporaryDir folder;
  RealBinder = MakeRealBinder(folder.path());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  if (Size < 1) return 0;
  const int scene = Data[0] % 4;
  const QByteArray bytes(reinterpret_cast<const char *>(Data + 1), qsizetype(Size - 1));
  QTemporaryDir scratch;
  if (!scratch.isValid()) return SkipInput("making a scratch folder");
  const QString folder = scratch.path();
  const QString binderPath = folder + QStringLiteral("/notes.vl");
  const QString backupPath = folder + QStringLiteral("/notes.vlBackup");
  switch (scene) {
    case 0: Write(binderPath, bytes, 1); break;
    case 1:
      Write(binderPath, bytes, 1);
      Write(backupPath, RealBinder, 2);
      break;
    case 2:
      Write(binderPath, RealBinder, 1);
      Write(backupPath, bytes, 2);
      break;
    default:
      Write(binderPath, RealBinder, 2);
      Write(backupPath, bytes, 1);
      break;
  }
  const QSet<QByteArray> before = Contents(folder);

  vlDFM()->Clear();
  TvlTabList tabs;
  TDocument *untouched = tabs.Add(QStringLiteral("before")).Doc.get();
  TvlNotebookBinder binder(tabs, EventsIO);
  (void)binder.Binder_Open(binderPath);

  // Recovery renames; it never deletes or overwrites.
  const QSet<QByteArray> after = Contents(folder);
  for (const QByteArray &content : before) Check(after.contains(content));

  const bool opened = !(tabs.Tabs.size() == 1 && tabs.Tabs[0].Doc.get() == untouched);
  if (!opened) return 0;
  Check(!tabs.Tabs.empty());
  Check(tabs.ActiveTab >= -1 && tabs.ActiveTab < int(tabs.Tabs.size()));
  for (const TvlTabList::RTab &tab : tabs.Tabs) Check(DocumentConsistencyFault(*tab.Doc).isEmpty());

  const QString firstPath = folder + QStringLiteral("/first.vl");
  Check(binder.Binder_Save(firstPath).isEmpty());
  const QByteArray first = ReadAll(firstPath);

  vlDFM()->Clear();
  TvlTabList again;
  TvlNotebookBinder reopened(again, EventsIO);
  Check(reopened.Binder_OpenWithoutRecovery(firstPath).isEmpty());
  Check(again.Tabs.size() == tabs.Tabs.size());
  for (std::size_t i = 0; i < again.Tabs.size(); ++i) {
    Check(again.Tabs[i].Title == tabs.Tabs[i].Title);
    Check(again.Tabs[i].VertScrollbar == tabs.Tabs[i].VertScrollbar);
    Check(DocumentConsistencyFault(*again.Tabs[i].Doc).isEmpty());
  }
  const QString secondPath = folder + QStringLiteral("/second.vl");
  Check(reopened.Binder_Save(secondPath).isEmpty());
  Check(ReadAll(secondPath) == first);
  return 0;
}
