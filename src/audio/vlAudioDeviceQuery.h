#pragma once
// What the options need to know about the audio devices, asked of the audio facade. Until the
// facade is installed, the stand-in TNoAudioDevices reports none, and every device choice reads
// as 0.
//
// Called on the user-interface thread only.

#include <QString>
#include <QStringList>

class TAudioDeviceQuery {
 public:
  virtual ~TAudioDeviceQuery() = default;

  // Friendly names in the order the devices are numbered (0 first).
  virtual QStringList InputDeviceNames() const = 0;
  virtual QStringList OutputDeviceNames() const = 0;
  // The recording sources (channels) of an input device, and the one it uses by default.
  virtual QStringList InputSources(int InputDevice) const = 0;
  virtual int DefaultInputSource(int InputDevice) const = 0;
  // Samplings the device offers, as texts such as "22050 Hz, 16 bit, Mono".
  virtual QStringList OfferedSamplings(int InputDevice) const = 0;
  // Record formats the device offers, described the same way.
  virtual QStringList RecordFormats(int InputDevice) const = 0;
  // Makes the player use an output device. Empty on success, else what went wrong.
  virtual QString UseOutputDevice(int OutputDevice) = 0;
};

// No devices, no sources, no offerings; with no device there is nothing to switch to.
class TNoAudioDevices final : public TAudioDeviceQuery {
 public:
  QStringList InputDeviceNames() const override { return {}; }
  QStringList OutputDeviceNames() const override { return {}; }
  QStringList InputSources(int) const override { return {}; }
  int DefaultInputSource(int) const override { return 0; }
  QStringList OfferedSamplings(int) const override { return {}; }
  QStringList RecordFormats(int) const override { return {}; }
  QString UseOutputDevice(int) override { return {}; }
};
