#pragma once
// Options > Playing, Recording, Timeline ... and the Configure items: the options window opened
// on a page, and what its changes set off in the program (the window's link, TOptionsFmLink):
// the bookmark keys and menu rebuilt, the tracks redrawn, the audio devices asked afresh, the
// "start automatically" check, and at OK the jump-back key, the tracks' tempo and the audio
// settings applied.
//
// Built by the program over the window that hosts it (vlCommandHost.h), which owns it from then
// on; the links it forwards to are read from the window at each call (a window without them skips
// what it would ask). User-interface thread only.

#include "vl09_OptionsFm.h"

#include <QPointer>
#include <QString>

class QAction;
class TAudioStartup;
class TCommandHost;
class TvlOptions;

// The options' instant replay key: Ctrl+R (character 18) is the action's shortcut; another
// character is caught by the key filter; 0 is no key at all.
void ApplyJumpBackKey(QAction *InstantReplay, const TvlOptions &Options);

class TvlOptionsCommand final : public TOptionsFmLink {
 public:
  // Startup answers whether a recording runs while the window has no audio part.
  TvlOptionsCommand(TCommandHost &Host, TvlOptions &Options, TAudioStartup &Startup)
      : FHost(Host), FOptions(Options), FStartup(Startup) {}
  // The options window goes first: it refers to this link.
  ~TvlOptionsCommand() override;
  TvlOptionsCommand(const TvlOptionsCommand &) = delete;
  TvlOptionsCommand &operator=(const TvlOptionsCommand &) = delete;

  // Shows the options window on the page whose caption contains Page, made at the first call.
  void Show(const QString &Page);
  // nullptr until first shown.
  TOptionsFm *Window() const { return FOptionsFm; }

  // TOptionsFmLink
  void RebuildKeyCommands() override;
  void RebuildBookmarkMenu() override;
  void RedrawTracks() override;
  void RecreateAudioComponents() override;
  void SetRecordStartAuto(bool On) override;
  bool IsRecording() override;

 private:
  void Applied();

  TCommandHost &FHost;
  TvlOptions &FOptions;
  TAudioStartup &FStartup;
  QPointer<TOptionsFm> FOptionsFm;
};
