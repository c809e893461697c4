#pragma once
// TvlTextCommands: the Edit and Text menus' commands on the active page: bold, italic, underline,
// font size, colour and highlight (on the selection, else on the typing font), bullets, and the
// clipboard (a focused line edit, the search box, has its own). The text buttons follow the font
// at the caret. They act on the window's notebook; without one they do nothing.
//
// Built by the program over the window that hosts it (vlCommandHost.h), which owns it from then on.
// User-interface thread only.

#include "vlColor.h"
#include "vldFontsInUse.h"

#include <memory>

class QWidget;
class TCommandHost;
class TDocument;
struct RProgramParts;
class TWindowView;

// The text colours and highlights of the text tool bar, as TColor values (red in the low byte).
struct RColorAction {
  const char *Name;
  const char16_t *Caption;
  TColor Value;
};
inline constexpr RColorAction FontColorActions[] = {
    {"aTextFontColorAuto", u"&Automatic", 0x800000},
    {"aTextFontColorOrange", u"&Orange", 35051},
    {"aTextFontColorRed", u"&Red", 224},
    {"aTextFontColorGreen", u"&Green", 0x9900},
    {"aTextFontColorBlack", u"Blac&k", 0},
};
inline constexpr RColorAction HighlightColorActions[] = {
    {"aTextHighlightColorNone", u"&No Highlight", 0xFFFFFF},
    {"aTextHighlightColorYellow", u"&Yellow", 0x7FFFFF},
    {"aTextHighlightColorLime", u"&Lime", 1179460},
    {"aTextHighlightColorAqua", u"A&qua", 0xFFFF66},
    {"aTextHighlightColorPink", u"&Pink", 0xFFB4FF},
};

// The editor view a notebook page shows: the page's view itself, or the view inside the page
// (the program's pages hold the view with its scroll bar).
TWindowView *WindowViewOf(QWidget *PageView);

// The document of the notebook's active page; nullptr without a notebook or a page.
TDocument *ActiveDocumentOf(const RProgramParts &Parts);

class TvlTextCommands {
 public:
  explicit TvlTextCommands(TCommandHost &Host) : FHost(Host) {}
  TvlTextCommands(const TvlTextCommands &) = delete;
  TvlTextCommands &operator=(const TvlTextCommands &) = delete;

  void FontStyleExecute(TFontStyle Style);
  void TextFontSizeExecute(double DeltaPercent);
  void TextFontColorExecute(TColor Color);
  void TextHighlightColorExecute(TColor Highlight);
  void aTextBulletsExecute();
  // The text buttons follow the font at the caret, and that font becomes the typing font.
  void UpdateFontButtonState(TDocument *Doc, TFontIndex FontIndex);
  void aEditCutExecute();
  void aEditCopyExecute();
  void aEditPasteExecute();
  // Edit > Select All: every character of the active page (or of the focused line edit).
  void aEditSelectAllExecute();
  // The active document's undo history, one step back or forth; caret and selection as the step
  // left them, scrolled into view with the timelines following.
  void aEditUndoExecute();
  void aEditRedoExecute();
  bool CanUndo() const;
  bool CanRedo() const;

  TDocument *ActiveDocument() const;
  QWidget *ActiveView() const;

 private:
  void RedrawActiveView();

  TCommandHost &FHost;
};
