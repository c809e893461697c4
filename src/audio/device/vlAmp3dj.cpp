#include "vlAmp3dj.h"

#include "vlActiveSoundRecorder.h"
#include "vlGlobals.h"
#include "vlPlayerSlot.h"
#include "vlSessionSpool.h"
#include "vlSoundFile.h"

#include <QCollator>

#include <sndfile.h>

#include <algorithm>
#include <climits>

namespace {

int ClampToInt(std::int64_t Value) {
  return static_cast<int>(std::clamp<std::int64_t>(Value, INT_MIN, INT_MAX));
}

}  // namespace

TAmp3dj::TAmp3dj(std::shared_ptr<TAudioBackend> Backend, QObject *Parent)
    : QObject(Parent), FBackend(std::move(Backend)) {
  FOutputs.push_back({QString(), QStringLiteral("Default")});
}

TAmp3dj::~TAmp3dj() = default;

void TAmp3dj::SetBufferLength(int MSecs) {
  FBufferLength = std::clamp(MSecs, 50, 5000);
  for (const auto &slot : FSlots) slot->SetBufferMSecs(FBufferLength);
}

TOleEnum TAmp3dj::InitDJSystem(int Players) {
  if (Players < 1 || Players > MaxPlayers) return ERROR_TOO_MANY_PLAYERS;
  // Slots are only ever added: events already queued for a slot must find it alive.
  while (static_cast<int>(FSlots.size()) < Players) {
    FSlots.push_back(
        std::make_unique<TPlayerSlot>(*this, static_cast<int>(FSlots.size()), *FBackend, FGain));
    FSlots.back()->SetBufferMSecs(FBufferLength);
    FSlotOutputs.push_back(0);
  }
  QString error;
  if (!FBackend->Connect(error)) return ERR_NOT_INITIALIZED;
  return RefreshOutputDevices();
}

TOleEnum TAmp3dj::RefreshOutputDevices() {
  RAudioDeviceList list;
  QString error;
  if (!FBackend->ListDevices(list, error)) return ERR_NOT_INITIALIZED;
  std::vector<RAudioDevice> sinks = list.Sinks;
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(sinks.begin(), sinks.end(), [&](const RAudioDevice &a, const RAudioDevice &b) {
    return collator.compare(a.Description, b.Description) < 0;
  });
  // Slots keep their device by name; one that disappeared goes back to "Default".
  std::vector<QString> chosen;
  for (int output : FSlotOutputs)
    chosen.push_back(FOutputs[static_cast<std::size_t>(output)].SinkName);
  FOutputs.resize(1);
  for (const RAudioDevice &sink : sinks) FOutputs.push_back({sink.Name, sink.Description});
  for (std::size_t i = 0; i < FSlotOutputs.size(); ++i) {
    FSlotOutputs[i] = 0;
    for (std::size_t n = 1; n < FOutputs.size(); ++n) {
      if (!chosen[i].isEmpty() && FOutputs[n].SinkName == chosen[i])
        FSlotOutputs[i] = static_cast<int>(n);
    }
    // The slot plays where the list says it does.
    if (FSlotOutputs[i] == 0 && !chosen[i].isEmpty()) {
      TraceWrite(QStringLiteral("Player: output device ") + chosen[i] +
                 QStringLiteral(" is gone; player %1 uses the default device").arg(i));
      FSlots[i]->SetSink(QString());
    }
  }
  return NOERROR;
}

TPlayerSlot *TAmp3dj::Slot(int N) const {
  if (N < 0 || N >= static_cast<int>(FSlots.size())) return nullptr;
  return FSlots[static_cast<std::size_t>(N)].get();
}

TOleEnum TAmp3dj::SetRewindOnEOF(bool Rewind) {
  for (const auto &slot : FSlots) slot->SetRewindOnEnd(Rewind);
  return NOERROR;
}

TOleEnum TAmp3dj::LoadSound(int Slot_, const QString &Path) {
  TPlayerSlot *slot = Slot(Slot_);
  if (!slot) return ERR_INVALID_PLAYER;
  std::unique_ptr<TFileSource> source;
  const TOleEnum rc = TFileSource::Open(Path, source);
  if (rc != NOERROR) {
    slot->Close();
    return rc;
  }
  return slot->Load(std::move(source));
}

TOleEnum TAmp3dj::LoadSoundFromRecordingSession(int Slot_, const TActiveSoundRecorder &Recorder) {
  TPlayerSlot *slot = Slot(Slot_);
  if (!slot) return ERR_INVALID_PLAYER;
  std::shared_ptr<TSessionSpool> spool = Recorder.SessionSpool();
  if (!spool) return ERR_RECORDER_EMPTY;
  return slot->Load(std::make_unique<TSpoolSource>(std::move(spool)));
}

TOleEnum TAmp3dj::SeekSound(int Slot_, int MSecs) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Seek(MSecs) : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::PlaySound(int Slot_) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Play() : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::PlaySoundRange(int Slot_, int FromMSecs, int ToMSecs) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->PlayRange(FromMSecs, ToMSecs) : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::PauseSound(int Slot_) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Pause() : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::StopSound(int Slot_) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Stop() : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::CloseSound(int Slot_) {
  TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Close() : ERR_INVALID_PLAYER;
}

int TAmp3dj::GetCurrentPos(int Slot_) const {
  const TPlayerSlot *slot = Slot(Slot_);
  return slot ? ClampToInt(slot->PositionMSecs()) : ERR_INVALID_PLAYER;
}

int TAmp3dj::GetSoundDuration(int Slot_) const {
  const TPlayerSlot *slot = Slot(Slot_);
  return slot ? ClampToInt(slot->DurationMSecs()) : ERR_INVALID_PLAYER;
}

int TAmp3dj::GetPlayerStatus(int Slot_) const {
  const TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->Status() : ERR_INVALID_PLAYER;
}

TOleEnum TAmp3dj::SetTempoPerc(int Slot_, int Percent) {
  TPlayerSlot *slot = Slot(Slot_);
  if (!slot) return ERR_INVALID_PLAYER;
  if (Percent < -50 || Percent > 90) return ERR_VALUE_OUT_OF_RANGE;
  return slot->SetTempoPercent(100 + Percent);
}

int TAmp3dj::GetTempoPerc(int Slot_) const {
  const TPlayerSlot *slot = Slot(Slot_);
  return slot ? slot->TempoPercent() - 100 : ERR_INVALID_PLAYER;
}

QString TAmp3dj::GetOutputDeviceDesc(int N) const {
  if (N < 0 || N >= static_cast<int>(FOutputs.size())) return {};
  return FOutputs[static_cast<std::size_t>(N)].Description;
}

int TAmp3dj::GetPlayerOutputDevice(int Slot_) const {
  if (!Slot(Slot_)) return ERR_INVALID_PLAYER;
  return FSlotOutputs[static_cast<std::size_t>(Slot_)];
}

TOleEnum TAmp3dj::SetPlayerOutputDevice(int Slot_, int N) {
  TPlayerSlot *slot = Slot(Slot_);
  if (!slot) return ERR_INVALID_PLAYER;
  if (N < 0 || N >= static_cast<int>(FOutputs.size())) return ERR_VALUE_OUT_OF_RANGE;
  FSlotOutputs[static_cast<std::size_t>(Slot_)] = N;
  return slot->SetSink(FOutputs[static_cast<std::size_t>(N)].SinkName);
}

TOleEnum TAmp3dj::MixerSetMasterVolume(int Percent) {
  if (Percent < 0 || Percent > 100) return ERR_VALUE_OUT_OF_RANGE;
  FMasterVolume = Percent;
  UpdateGain();
  return NOERROR;
}

TOleEnum TAmp3dj::MixerSetWaveVolume(int Percent) {
  if (Percent < 0 || Percent > 100) return ERR_VALUE_OUT_OF_RANGE;
  FWaveVolume = Percent;
  UpdateGain();
  return NOERROR;
}

void TAmp3dj::UpdateGain() { FGain.store(FMasterVolume * FWaveVolume); }

QString TAmp3dj::ControlVersion() const { return QStringLiteral("Vellomar 1.0"); }

QString TAmp3dj::EngineVersion() const {
  char version[64] = {};
  sf_command(nullptr, SFC_GET_LIB_VERSION, version, sizeof version);
  return FBackend->EngineVersion() + QStringLiteral(", ") + QString::fromLatin1(version);
}
