#pragma once
// The commands the program builds over its window (TvlProgram::Connect), built the same way for a
// window tested without the program. Startup answers whether a recording runs while the window has
// no audio part (the program is its own).

#include "vl09_Main.h"
#include "vlFileCommands.h"
#include "vlOptionsCommand.h"
#include "vlPlaybackCommands.h"
#include "vlPrintCommands.h"
#include "vlTextCommands.h"

#include <memory>

inline void InstallWindowCommands(TVellomarFm &Window, TvlOptions &Options,
                                  TAudioStartup &Startup) {
  RWindowCommands commands;
  commands.Files = std::make_unique<TvlFileCommands>(Window, Window);
  commands.Playback = std::make_unique<TvlPlaybackCommands>(Window, Window, Options, Startup);
  commands.Text = std::make_unique<TvlTextCommands>(Window);
  commands.Print = std::make_unique<TvlPrintCommands>(Window, Options);
  commands.Options = std::make_unique<TvlOptionsCommand>(Window, Options, Startup);
  Window.SetCommands(std::move(commands));
}
