#include "vlRecordingCommands.h"

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// Event index windows are refused from 3 hours on; longer recordings are walked in parts.
constexpr TDateTime kListPart = 2.0 / 24;

// One second, the margin a re-date takes around a recording's span.
constexpr TDateTime kSecond = 1 / SecsPerDay;

bool ShowItemThroughFileManager(const QString &Path) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"),
      QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QUrl::fromLocalFile(Path).toString()} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
  if (reply.type() != QDBusMessage::ErrorMessage) return true;
  TraceWrite(
      QStringLiteral("The file manager did not show %1: %2").arg(Path, reply.errorMessage()));
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(Path).absolutePath()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The adjustment window

TAdjustAudioTimeFm::TAdjustAudioTimeFm(QWidget *Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("Adjust Time & Date of Audio"));
  setObjectName(QStringLiteral("AdjustTimeDateOfAudioFm"));
  FStart = new QDateTimeEdit(this);
  FStart->setDisplayFormat(QStringLiteral("yyyy-MM-dd  hh:mm:ss.zzz"));
  FStart->setCalendarPopup(true);
  FBookmarks = new QCheckBox(QStringLiteral("Adjust bookmarks too."), this);
  FBookmarks->setChecked(true);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto *form = new QFormLayout;
  form->addRow(QStringLiteral("Recording starts at:"), FStart);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(FBookmarks);
  layout->addWidget(buttons);
}

void TAdjustAudioTimeFm::Seed(TDateTime Start) { FStart->setDateTime(DateTimeToQDateTime(Start)); }

RAdjustAudioAnswer TAdjustAudioTimeFm::Answer() const {
  return RAdjustAudioAnswer{QDateTimeToDateTime(FStart->dateTime()), FBookmarks->isChecked()};
}

// ---------------------------------------------------------------------------------------------
// Moving bookmarks

int MoveBookmarksOfSpan(TDateTime From, TDateTime To, double Shift) {
  TvlDayFilesManager *dfm = vlDFM();
  if (!dfm || !(To >= From) || Shift == 0) return 0;
  // Listed first and moved afterwards: a moved event may land inside a part still to be listed.
  std::vector<TEventID> ids;
  for (TDateTime at = From; at <= To; at += kListPart)
    dfm->EventIndex().ListEventIDsForTimePeriod(ids, at, std::min(To, at + kListPart));
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  int moved = 0;
  for (const TEventID id : ids) {
    TvlEvent e;
    if (!dfm->Event_FromEventID(id, e) || e.Kind == koeNone || e.Kind == koeTyping) continue;
    if (e.When < From || e.When > To) continue;
    // The answer is a new ID only for a move to another day; in place it is NoEventID.
    const TEventID now = dfm->EventWhen_Override(id, e.When + Shift);
    if (now != NoEventID || dfm->EventWhen_FromEventID(id) == e.When + Shift) ++moved;
  }
  return moved;
}

// ---------------------------------------------------------------------------------------------
// The commands

TvlRecordingCommands::TvlRecordingCommands(TvlAudio &Audio, TvlMediaFoldersInfo &Folders,
                                           TvlMediaInfo &MediaInfo)
    : FAudio(Audio), FFolders(Folders), FMediaInfo(MediaInfo) {
  AskNewStart = [](TDateTime Start) -> std::optional<RAdjustAudioAnswer> {
    TAdjustAudioTimeFm form(QApplication::activeWindow());
    form.Seed(Start);
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return form.Answer();
  };
  ShowItem = ShowItemThroughFileManager;
}

QString TvlRecordingCommands::RecordingAt(TDateTime When, double SlushSecs) {
  QString shortest;
  int shortestLength = 0;
  for (const QString &path : FFolders.ListFilesTouchingTimeBest(When, SlushSecs)) {
    // A name without its length counts as the longest: a recording in progress is never the
    // short one inside another.
    const int named = RecordingLengthFromName(path);
    const int length = named < 0 ? INT_MAX : named;
    if (shortest.isEmpty() || length < shortestLength) {
      shortest = path;
      shortestLength = length;
    }
  }
  return shortest;
}

void TvlRecordingCommands::Forget(TDateTime Start, int LengthSecs) {
  FMediaInfo.DeleteOneFileFromListing(Start, LengthSecs);
  FFolders.DeleteOneFileFromListing(Start, LengthSecs);
  FFolders.Month_Reload();
}

bool TvlRecordingCommands::Adjust(const QString &Path) {
  if (Path.isEmpty() || !AskNewStart) return false;
  QString path = Path;
  const TDateTime oldStart = RecordingStartFromName(path);
  if (oldStart == kInvalidRecordingStart) return false;
  const int length = std::max(FFolders.LengthOf(path), 0);
  const std::optional<RAdjustAudioAnswer> answer = AskNewStart(oldStart);
  if (!answer || answer->NewStart == oldStart) return false;

  FAudio.StopPlayingAndCloseCurrentFileIfItStartsAt(oldStart);
  bool bookmarksMoved = false;
  const RRedateResult result = RedateRecording(
      path, answer->NewStart, FFolders.IsRecordingInProgressFile(path),
      answer->MoveBookmarks ? std::function<void(TDateTime, TDateTime, double)>(
                                  [&bookmarksMoved](TDateTime From, TDateTime To, double Shift) {
                                    bookmarksMoved = MoveBookmarksOfSpan(From, To, Shift) > 0;
                                  })
                            : std::function<void(TDateTime, TDateTime, double)>());
  // The views are refreshed whatever happened: the listing is read again from the disk.
  Forget(oldStart, length);
  const TDateTime span = std::max(length, 1) / SecsPerDay;
  if (Refreshed) {
    Refreshed(oldStart - kSecond, oldStart + span + kSecond);
    Refreshed(answer->NewStart - kSecond, answer->NewStart + span + kSecond);
  }
  if (bookmarksMoved && BookmarksMoved) BookmarksMoved();
  if (!result.Done) {
    Prompts().Message(result.Message, TPromptIcon::piWarning);
    return false;
  }
  TraceWrite(QStringLiteral("Recording re-dated: %1 is now %2").arg(path, result.NewPath));
  return true;
}

void TvlRecordingCommands::CopyPath(const QString &Path) const {
  if (!Path.isEmpty()) QGuiApplication::clipboard()->setText(Path);
}

bool TvlRecordingCommands::Delete(const QString &Path) {
  if (Path.isEmpty()) return false;
  QString path = Path;
  const TDateTime start = RecordingStartFromName(path);
  if (start == kInvalidRecordingStart) return false;
  // Measured (and named with its length) before the question shows the length.
  const int length = std::max(FFolders.LengthOf(path), 0);
  if (Prompts().Ask(DeleteRecordingQuestion(start, length),
                    {TPromptButton::pbYes, TPromptButton::pbNo},
                    TPromptButton::pbNo) != TPromptButton::pbYes)
    return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FAudio.StopPlayingAndCloseCurrentFileIfItStartsAt(start);
  QString message;
  const bool trashed = TrashRecording(path, FFolders.IsRecordingInProgressFile(path), message);
  Forget(start, length);
  if (Refreshed) Refreshed(start - kSecond, start + std::max(length, 1) / SecsPerDay + kSecond);
  QApplication::restoreOverrideCursor();
  if (!trashed) {
    Prompts().Message(message, TPromptIcon::piWarning);
    return false;
  }
  TraceWrite(QStringLiteral("Recording moved to the trash: %1").arg(path));
  return true;
}

void TvlRecordingCommands::ShowInFolder(const QString &Path) const {
  if (Path.isEmpty() || !ShowItem) return;
  if (!ShowItem(Path))
    Prompts().Message(
        QStringLiteral("The file manager could not show the file \"%1\" in its folder. ").arg(Path),
        TPromptIcon::piWarning);
}
