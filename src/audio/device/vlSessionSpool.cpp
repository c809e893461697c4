#include "vlSessionSpool.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

const QString kPrefix = QStringLiteral("session-");

// "session-<pid>-<n>.raw".
qint64 ProcessIdOf(const QString &FileName) {
  if (!FileName.startsWith(kPrefix)) return -1;
  const qsizetype dash = FileName.indexOf(QLatin1Char('-'), kPrefix.size());
  if (dash < 0) return -1;
  bool ok = false;
  const qint64 pid = FileName.mid(kPrefix.size(), dash - kPrefix.size()).toLongLong(&ok);
  return ok ? pid : -1;
}

bool ProcessRuns(qint64 Pid) {
  if (Pid <= 0) return false;
  return ::kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM;
}

}  // namespace

QString TSessionSpool::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Vellomar/spool");
}

void TSessionSpool::RemoveStale(const QString &Folder) {
  const QDir dir(Folder);
  const QStringList names =
      dir.entryList({kPrefix + QStringLiteral("*.raw")}, QDir::Files | QDir::NoDotAndDotDot);
  for (const QString &name : names) {
    if (!ProcessRuns(ProcessIdOf(name))) QFile::remove(dir.filePath(name));
  }
}

std::shared_ptr<TSessionSpool> TSessionSpool::Create(const QString &Folder, int Rate,
                                                     int Channels) {
  static std::atomic<int> counter{0};
  if (!QDir().mkpath(Folder)) return nullptr;
  std::shared_ptr<TSessionSpool> spool(new TSessionSpool);
  spool->FRate = Rate;
  spool->FChannels = Channels;
  for (int attempt = 0; attempt < 100 && spool->FDescriptor < 0; ++attempt) {
    spool->FPath = QDir(Folder).filePath(
        QStringLiteral("%1%2-%3.raw").arg(kPrefix).arg(::getpid()).arg(counter.fetch_add(1)));
    spool->FDescriptor = ::open(QFile::encodeName(spool->FPath).constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (spool->FDescriptor < 0 && errno != EEXIST) break;
  }
  if (spool->FDescriptor < 0) return nullptr;
  return spool;
}

TSessionSpool::~TSessionSpool() {
  if (FDescriptor >= 0) ::close(FDescriptor);
  if (!FPath.isEmpty()) ::unlink(QFile::encodeName(FPath).constData());
}

bool TSessionSpool::Append(const std::int16_t *Frames, std::size_t Count) {
  if (FFailed || FDescriptor < 0) return false;
  const std::size_t bytes = Count * static_cast<std::size_t>(FChannels) * sizeof(std::int16_t);
  const auto *data = reinterpret_cast<const char *>(Frames);
  const off_t at = static_cast<off_t>(FFrames.load(std::memory_order_relaxed)) * FChannels *
                   static_cast<off_t>(sizeof(std::int16_t));
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n =
        ::pwrite(FDescriptor, data + done, bytes - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      FFailed = true;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  FFrames.fetch_add(static_cast<std::int64_t>(Count), std::memory_order_release);
  return true;
}

std::size_t TSessionSpool::Read(std::int64_t AtFrame, std::int16_t *Out, std::size_t Count) const {
  const std::int64_t available = Frames() - AtFrame;
  if (AtFrame < 0 || available <= 0 || Count == 0) return 0;
  Count = std::min<std::size_t>(Count, static_cast<std::size_t>(available));
  const std::size_t frameBytes = static_cast<std::size_t>(FChannels) * sizeof(std::int16_t);
  auto *data = reinterpret_cast<char *>(Out);
  const off_t at = static_cast<off_t>(AtFrame) * static_cast<off_t>(frameBytes);
  std::size_t done = 0;
  const std::size_t bytes = Count * frameBytes;
  while (done < bytes) {
    const ssize_t n =
        ::pread(FDescriptor, data + done, bytes - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done / frameBytes;
}

bool TSpoolSource::Seek(std::int64_t Frame) {
  FPosition = std::max<std::int64_t>(0, Frame);
  return true;
}

std::size_t TSpoolSource::Read(std::int16_t *Out, std::size_t Count) {
  const std::size_t got = FSpool->Read(FPosition, Out, Count);
  FPosition += static_cast<std::int64_t>(got);
  return got;
}
