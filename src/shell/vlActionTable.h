#pragma once
// The main window's command actions as one table: for each, its name, caption, shortcut, the menu
// and the tool bar it goes in and the command it runs. The menus, the tool bars and the actions
// are made from the table (vlCommandMenus.h: in table order within each menu, in slot order on
// each tool bar), and the tests check captions and shortcuts against it.
//
// User-interface thread only.

#include "vlColor.h"
#include "vldFontsInUse.h"

#include <QKeySequence>
#include <QString>

#include <functional>
#include <vector>

class QColor;
class QIcon;
class TVellomarFm;

// Where an action goes. Tool-bar places are separate from the menus: the text tool bar's
// buttons have no menu.
enum class TActionPlace {
  apFile,      // File, the binder's commands before the recent files
  apFileTabs,  // File, the tabs' commands after them (a separator between)
  apEdit,
  apFormat,           // Format, the text commands the text tool bar also holds
  apFormatColor,      // Format > Text Colour
  apFormatHighlight,  // Format > Highlight
  apRecord,
  apPlay,
  apSpeed,  // Play > Speed
  apOptions,
  apHelp,
  apTipMarkers,  // Help > Show or Hide Tip Markers
  apVideos,      // Help > Videos
  apTools,       // Tools: the panels shown
  apFileExit,    // File, last, after the recent files
  apToolBar,     // a tool bar only
  apNowhere,     // another part shows it (the vertical timeline's pop-up menu)
};

enum TActionFlag : unsigned {
  afCheckable = 1,
  // Not offered: Linux has no use for it, or the program has no handler yet.
  afHidden = 2,
  // A click has already flipped the check when the command runs; the command decides the check
  // itself (with a selection it follows the selected text), so the flip is undone first.
  afCommandSetsCheck = 4,
};

// The two tool bars of the audio controls.
enum class TToolBar { tbNone, tbAudio, tbText };

struct RActionRow {
  QString Name;
  QString Caption;
  QKeySequence Shortcut;
  TActionPlace Place = TActionPlace::apNowhere;
  // What the action runs; empty for the actions connected where they are made, or not offered.
  std::function<void()> Handler;
  unsigned Flags = 0;
  // The tool bar that also holds the action, and its slot there: in slot order, a separator
  // where the hundreds change (slots 0-99, then 100-199 after a separator ...).
  TToolBar Bar = TToolBar::tbNone;
  int BarSlot = 0;
};

// Tool-bar pictures drawn here, so that the program needs no image files: a glyph in a colour,
// a swatch of a text colour or highlight, the red dot of recording, a magnifying glass.
QIcon GlyphIcon(const QString &Glyph, const QColor &Color, TFontStyles Style = {});
QIcon SwatchIcon(TColor Color, bool Highlight);
QIcon RecordIcon();
QIcon FindIcon();

// The window's command actions, in menu order. The handlers act on Window's commands and parts.
// The Silence menu is the silence protection's own (its actions come with the program's parts)
// and the recent files are the recent files list's: neither is in the table.
std::vector<RActionRow> CommandActionTable(TVellomarFm &Window);
