#include "vlSoundFile.h"

#include <QFile>

#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Longer than any real recording (about 6 years at 48 kHz): a header claiming more is damaged.
constexpr sf_count_t kMaxPlausibleFrames = sf_count_t{1} << 43;

QString SystemError(int Errno) { return QString::fromLocal8Bit(std::strerror(Errno)); }

}  // namespace

TSoundWriter::~TSoundWriter() { Close(); }

TOleEnum TSoundWriter::Create(const QString &Path, const RResolvedFormat &Format, QString &Error) {
  Close();
  FFailed = false;
  FFrames = 0;
  FPath = Path;
  FIsOgg = Format.IsOgg;

  SF_INFO info{};
  info.samplerate = Format.Rate;
  info.channels = Format.Channels;
  info.format = Format.SfFormat;
  if (!sf_format_check(&info)) {
    Error = QStringLiteral("the encoder refuses this format");
    return ERR_ENCODER_ERROR;
  }

  const QByteArray name = QFile::encodeName(Path);
  FDescriptor = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (FDescriptor < 0) {
    Error = SystemError(errno);
    return ERR_CANNOT_CREATE_FILE;
  }
  FFile = sf_open_fd(FDescriptor, SFM_WRITE, &info, SF_FALSE);
  if (!FFile) {
    Error = QString::fromLocal8Bit(sf_strerror(nullptr));
    ::close(FDescriptor);
    FDescriptor = -1;
    ::unlink(name.constData());  // the empty file we just made
    return ERR_ENCODER_ERROR;
  }
  if (FIsOgg) {
    double quality = Format.VbrQuality;
    sf_command(FFile, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
  }
  return NOERROR;
}

bool TSoundWriter::Write(const std::int16_t *Frames, std::size_t Count) {
  if (!FFile || FFailed) return false;
  if (Count == 0) return true;
  const sf_count_t written = sf_writef_short(FFile, Frames, static_cast<sf_count_t>(Count));
  if (written > 0) FFrames += written;
  if (written != static_cast<sf_count_t>(Count)) {
    FFailed = true;
    FError = QString::fromLocal8Bit(sf_strerror(FFile));
    return false;
  }
  return true;
}

void TSoundWriter::UpdateHeader() {
  // Never on Ogg: libsndfile would then write a length that reads back as endless.
  if (FFile && !FIsOgg && !FFailed) sf_command(FFile, SFC_UPDATE_HEADER_NOW, nullptr, 0);
}

bool TSoundWriter::Close() {
  if (!FFile) return true;
  const int rc = sf_close(FFile);
  FFile = nullptr;
  bool ok = rc == 0;
  if (FDescriptor >= 0) {
    if (::close(FDescriptor) != 0) ok = false;
    FDescriptor = -1;
  }
  if (!ok && FError.isEmpty()) FError = QString::fromLocal8Bit(sf_error_number(rc));
  return ok && !FFailed;
}

TFileSource::~TFileSource() {
  if (FFile) sf_close(FFile);
}

TOleEnum TFileSource::Open(const QString &Path, std::unique_ptr<TFileSource> &Out) {
  const QByteArray name = QFile::encodeName(Path);
  const int probe = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (probe < 0) return ERR_INVALID_FILE;
  ::close(probe);

  SF_INFO info{};
  SNDFILE *file = sf_open(name.constData(), SFM_READ, &info);
  if (!file) return ERR_INVALID_FORMAT;
  if (info.samplerate <= 0 || info.channels <= 0 || info.frames < 0 ||
      info.frames > kMaxPlausibleFrames) {
    sf_close(file);
    return ERR_INVALID_FORMAT;
  }
  std::unique_ptr<TFileSource> source(new TFileSource);
  source->FFile = file;
  source->FRate = info.samplerate;
  source->FFileChannels = info.channels;
  source->FChannels = std::min(info.channels, 2);
  source->FFrames = info.frames;
  Out = std::move(source);
  return NOERROR;
}

bool TFileSource::Seek(std::int64_t Frame) {
  Frame = std::clamp<std::int64_t>(Frame, 0, FFrames);
  if (sf_seek(FFile, Frame, SEEK_SET) < 0) return false;
  FPosition = Frame;
  return true;
}

std::size_t TFileSource::Read(std::int16_t *Out, std::size_t Count) {
  const auto left = static_cast<std::size_t>(std::max<std::int64_t>(0, FFrames - FPosition));
  Count = std::min(Count, left);
  if (Count == 0) return 0;
  sf_count_t got = 0;
  if (FFileChannels == FChannels) {
    got = sf_readf_short(FFile, Out, static_cast<sf_count_t>(Count));
  } else {
    const auto wide = static_cast<std::size_t>(FFileChannels);
    FWide.resize(Count * wide);
    got = sf_readf_short(FFile, FWide.data(), static_cast<sf_count_t>(Count));
    for (sf_count_t i = 0; i < got; ++i) {
      const auto frame = static_cast<std::size_t>(i);
      Out[frame * 2] = FWide[frame * wide];
      Out[frame * 2 + 1] = FWide[frame * wide + 1];
    }
  }
  if (got <= 0) return 0;
  FPosition += got;
  return static_cast<std::size_t>(got);
}

std::int64_t SoundFileDurationMSecs(const QString &Path) {
  std::unique_ptr<TFileSource> source;
  const TOleEnum rc = TFileSource::Open(Path, source);
  if (rc != NOERROR) return rc;
  return source->Frames() * 1000 / source->Rate();
}
