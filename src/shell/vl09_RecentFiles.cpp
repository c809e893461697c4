#include "vl09_RecentFiles.h"

#include "vl09_Registry.h"
#include "vlAppPaths.h"
#include "vlGlobals.h"
#include "vlIniFile.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

QString SlotName(int Slot) { return QStringLiteral("%1").arg(Slot, 2, 10, QLatin1Char('0')); }

bool IsSlotName(const QString &Name) {
  if (Name.size() != 2 || !Name.at(0).isDigit() || !Name.at(1).isDigit()) return false;
  const int n = Name.toInt();
  return n >= 1 && n <= TRecentFiles::MaxFiles;
}

// Files under a program folder are not the user's binders.
bool IsUnderProgramFolder(const QString &Path) {
  return Path.contains(QStringLiteral("Program Files"), Qt::CaseSensitive);
}

}  // namespace

TRecentFiles::TRecentFiles(const QString &RegPath, QAction *ForSeparator, QString IniPath)
    : FSavedRegPath(RegPath), FIniPath(std::move(IniPath)), FExitAction(ForSeparator) {
  LoadFromRegistry();
  Refresh();
}

TRecentFiles::TRecentFiles(const QString &RegPath, QAction *ForSeparator)
    : TRecentFiles(RegPath, ForSeparator, AppPaths().SettingsFile()) {}

TRecentFiles::~TRecentFiles() {
  try {
    SaveToRegistry();
  } catch (...) {
    // A destructor must not throw; the failure is already in the error log.
  }
}

QString TRecentFiles::NormalizedPath(const QString &PathName) {
  if (PathName.trimmed().isEmpty()) return QString();
  return QDir::cleanPath(QFileInfo(PathName).absoluteFilePath());
}

QString TRecentFiles::ShortForm(const QString &PathName) {
  const bool hasDrive = PathName.size() >= 2 && PathName.at(1) == QLatin1Char(':') &&
                        PathName.at(0).isLetter() && PathName.at(0).unicode() < 0x80;
  const qsizetype lastSeparator =
      std::max(PathName.lastIndexOf(QLatin1Char('/')), PathName.lastIndexOf(QLatin1Char('\\')));
  const QString name = PathName.mid(lastSeparator + 1);
  if (hasDrive) return PathName.left(2) + QStringLiteral("\\...\\") + name;
  return name.isEmpty() ? PathName : name;
}

void TRecentFiles::LoadFromRegistry() {
  for (QString &f : FFiles) f.clear();
  TIniFile file;
  if (!file.Load(FIniPath)) {
    TraceWrite(QStringLiteral("Recent files: cannot read ") + FIniPath);
    return;
  }
  const QList<RIniValue> values = file.Section(IniSectionForRegistryKey(FSavedRegPath));
  int next = 0;
  for (int n = 1; n <= MaxFiles; ++n) {
    const QString name = SlotName(n);
    for (const RIniValue &v : values) {
      if (v.Name != name) continue;
      const QString path = NormalizedPath(v.Value);
      const bool listed =
          std::find(FFiles.begin(), FFiles.begin() + next, path) != FFiles.begin() + next;
      if (!path.isEmpty() && !IsUnderProgramFolder(path) && !listed) FFiles[next++] = path;
      break;
    }
  }
}

bool TRecentFiles::SaveToRegistry() const {
  QString error;
  const bool ok = UpdateIniSection(
      FIniPath, IniSectionForRegistryKey(FSavedRegPath),
      [this](const QList<RIniValue> &OnDisk) {
        QList<RIniValue> values;
        int n = 0;
        for (const QString &f : FFiles)
          if (!f.isEmpty()) values.append(RIniValue{SlotName(++n), f});
        // Slots beyond the list are deleted; values of other names stay as they were.
        for (const RIniValue &v : OnDisk)
          if (!IsSlotName(v.Name)) values.append(v);
        return values;
      },
      &error);
  if (!ok)
    ErrorReport(false, QStringLiteral("Cannot save the recent files to ") + FIniPath +
                           QStringLiteral(": ") + error);
  return ok;
}

void TRecentFiles::RegisterMenuItemForListOfRecentFiles(QAction *MenuItem) {
  if (FMenuItemCount >= MaxFiles) {
    // Once the report is ignored it no longer ends the call; the action is then left out.
    ErrorReport(true, QStringLiteral("Too many recent-file menu items."));
    return;
  }
  FMenuItems[static_cast<size_t>(FMenuItemCount++)] = MenuItem;
  Refresh();
}

void TRecentFiles::RemoveSlot(int Index) {
  for (int i = Index; i < MaxFiles - 1; ++i)
    FFiles[static_cast<size_t>(i)] = std::move(FFiles[static_cast<size_t>(i + 1)]);
  FFiles[MaxFiles - 1].clear();
}

void TRecentFiles::AccessingFile(const QString &PathName) {
  const QString path = NormalizedPath(PathName);
  if (path.isEmpty()) return;
  const auto it = std::find(FFiles.begin(), FFiles.end(), path);
  if (it == FFiles.end()) return;
  RemoveSlot(static_cast<int>(it - FFiles.begin()));
  Refresh();
}

void TRecentFiles::UnlistFile(const QString &PathName) { AccessingFile(PathName); }

void TRecentFiles::ClosingFile(const QString &PathName) {
  const QString path = NormalizedPath(PathName);
  // An unnamed binder has nothing to offer again, and an empty slot 1 would push a real path
  // off the end of a full list.
  if (path.isEmpty()) return;
  // Each slot takes the entry above it until the place the path came from is reached; an
  // unlisted path moves everything down and the last entry drops off.
  QString carry = path;
  for (QString &slot : FFiles) {
    std::swap(carry, slot);
    if (carry == path) break;
  }
  Refresh();
}

QString TRecentFiles::GetFullPath(const QAction *RecentlyUsedFileMenuItem) const {
  if (!RecentlyUsedFileMenuItem) return QString();
  for (int k = 0; k < FMenuItemCount; ++k)
    if (FMenuItems[static_cast<size_t>(k)] == RecentlyUsedFileMenuItem)
      return FFiles[static_cast<size_t>(k)];
  return QString();
}

QString TRecentFiles::File(int Slot) const {
  if (Slot < 1 || Slot > MaxFiles) return QString();
  return FFiles[static_cast<size_t>(Slot - 1)];
}

int TRecentFiles::FileCount() const {
  return static_cast<int>(
      std::count_if(FFiles.begin(), FFiles.end(), [](const QString &f) { return !f.isEmpty(); }));
}

void TRecentFiles::Refresh() {
  for (int k = 0; k < FMenuItemCount; ++k) {
    QAction *action = FMenuItems[static_cast<size_t>(k)];
    if (!action) continue;
    const QString &path = FFiles[static_cast<size_t>(k)];
    if (path.isEmpty()) {
      action->setText(QString());
      action->setStatusTip(QString());
      action->setVisible(false);
    } else {
      // "&" would be taken for a mnemonic: "R&D.vl" must not show as "RD.vl".
      QString shortForm = ShortForm(path);
      shortForm.replace(QLatin1Char('&'), QStringLiteral("&&"));
      action->setText(QString::number(k + 1) + QLatin1Char(' ') + shortForm);
      action->setStatusTip(path);
      action->setVisible(true);
    }
  }
  if (FExitAction) {
    FAddedSeparator = !FFiles[0].isEmpty();
    FExitAction->setVisible(FAddedSeparator);
  }
}
