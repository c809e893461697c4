#pragma once
// Audio files through libsndfile: the recorder's writer and the player's sources.
//
// The writer never replaces an existing file: a recording is only ever written into a name that
// did not exist, so no earlier recording can be truncated by a clash of names.

#include "vlAudioErrors.h"
#include "vlEncodeFormats.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct sf_private_tag;

class TSoundWriter {
 public:
  TSoundWriter() = default;
  ~TSoundWriter();
  TSoundWriter(const TSoundWriter &) = delete;
  TSoundWriter &operator=(const TSoundWriter &) = delete;

  // Creates Path. ERR_CANNOT_CREATE_FILE when it exists already or cannot be created,
  // ERR_ENCODER_ERROR when the encoder refuses the format; Error says why.
  TOleEnum Create(const QString &Path, const RResolvedFormat &Format, QString &Error);
  // Appends Count interleaved frames. False when not all were written (disk full, I/O error);
  // the writer then stays failed and writes nothing more.
  bool Write(const std::int16_t *Frames, std::size_t Count);
  // WAV: makes the header describe everything written so far, so that a file left by a crash
  // reads to its end in any program. Ogg pages carry their own positions and need nothing.
  void UpdateHeader();
  // Finishes the file (final header, last Ogg page). False when that could not be written; what
  // was written before stays readable. Nothing when not open.
  bool Close();

  bool IsOpen() const { return FFile != nullptr; }
  bool HasFailed() const { return FFailed; }
  std::int64_t Frames() const { return FFrames; }
  QString Path() const { return FPath; }
  QString LastError() const { return FError; }

 private:
  sf_private_tag *FFile = nullptr;
  int FDescriptor = -1;
  bool FIsOgg = false;
  bool FFailed = false;
  std::int64_t FFrames = 0;
  QString FPath;
  QString FError;
};

// Where the player reads from: a file, or the spool of the recording in progress.
// Used under its owner's lock by one thread at a time; Frames() may be read from any thread.
class TSampleSource {
 public:
  virtual ~TSampleSource() = default;
  virtual int Rate() const = 0;
  // 1 or 2: files with more channels play their first two.
  virtual int Channels() const = 0;
  // The length now; it grows while the session is being recorded.
  virtual std::int64_t Frames() const = 0;
  // True while more frames may still come.
  virtual bool IsGrowing() const = 0;
  virtual bool Seek(std::int64_t Frame) = 0;
  // Reads up to Count frames from the position; 0 at the end (or, for a growing source, at the
  // edge of what exists so far).
  virtual std::size_t Read(std::int16_t *Out, std::size_t Count) = 0;
};

class TFileSource final : public TSampleSource {
 public:
  ~TFileSource() override;
  // ERR_INVALID_FILE when Path cannot be opened for reading, ERR_INVALID_FORMAT when it opens
  // but is not audio this program decodes (a ".wma", an empty or damaged file).
  static TOleEnum Open(const QString &Path, std::unique_ptr<TFileSource> &Out);

  int Rate() const override { return FRate; }
  int Channels() const override { return FChannels; }
  std::int64_t Frames() const override { return FFrames; }
  bool IsGrowing() const override { return false; }
  bool Seek(std::int64_t Frame) override;
  std::size_t Read(std::int16_t *Out, std::size_t Count) override;

 private:
  TFileSource() = default;

  sf_private_tag *FFile = nullptr;
  int FRate = 0;
  int FFileChannels = 0;
  int FChannels = 0;
  std::int64_t FFrames = 0;
  std::int64_t FPosition = 0;
  std::vector<std::int16_t> FWide;  // for files with more than two channels
};

// The length of a file in milliseconds from its header, never by decoding; negative (an error
// code) when it cannot be read.
std::int64_t SoundFileDurationMSecs(const QString &Path);
