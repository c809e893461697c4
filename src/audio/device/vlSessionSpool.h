#pragma once
// The recording in progress as plain 16-bit samples, so that it can be played while it grows
// whatever the file's own encoding. The recorder's worker appends; players read what exists.
//
// The spool is shared: the recorder holds it while recording, each player that loaded the session
// holds it while loaded. It outlives the recording's stop and its file is deleted when the last
// holder lets go. Files live in the cache folder, named with the recording process's id, so a
// spool left by a crashed process can be recognised and removed (RemoveStale).

#include "vlSoundFile.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class TSessionSpool {
 public:
  // Null when the file cannot be created.
  static std::shared_ptr<TSessionSpool> Create(const QString &Folder, int Rate, int Channels);
  // The cache folder's "Vellomar/spool".
  static QString DefaultFolder();
  // Deletes spool files whose process no longer runs.
  static void RemoveStale(const QString &Folder);

  ~TSessionSpool();
  TSessionSpool(const TSessionSpool &) = delete;
  TSessionSpool &operator=(const TSessionSpool &) = delete;

  int Rate() const { return FRate; }
  int Channels() const { return FChannels; }
  QString Path() const { return FPath; }

  // Writer side (one thread). False once a write failed; the spool then stops growing.
  bool Append(const std::int16_t *Frames, std::size_t Count);
  // No more frames will come.
  void Finish() { FFinished.store(true, std::memory_order_release); }

  // Reader side (any thread).
  std::int64_t Frames() const { return FFrames.load(std::memory_order_acquire); }
  bool IsFinished() const { return FFinished.load(std::memory_order_acquire); }
  // Reads up to Count frames at AtFrame from what exists; answers how many.
  std::size_t Read(std::int64_t AtFrame, std::int16_t *Out, std::size_t Count) const;

 private:
  TSessionSpool() = default;

  QString FPath;
  int FDescriptor = -1;
  int FRate = 0;
  int FChannels = 0;
  bool FFailed = false;
  std::atomic<std::int64_t> FFrames{0};
  std::atomic<bool> FFinished{false};
};

// A player's view of a spool: a source that grows until the recording stops.
class TSpoolSource final : public TSampleSource {
 public:
  explicit TSpoolSource(std::shared_ptr<TSessionSpool> Spool) : FSpool(std::move(Spool)) {}
  int Rate() const override { return FSpool->Rate(); }
  int Channels() const override { return FSpool->Channels(); }
  std::int64_t Frames() const override { return FSpool->Frames(); }
  bool IsGrowing() const override { return !FSpool->IsFinished(); }
  bool Seek(std::int64_t Frame) override;
  std::size_t Read(std::int16_t *Out, std::size_t Count) override;

 private:
  std::shared_ptr<TSessionSpool> FSpool;
  std::int64_t FPosition = 0;
};
