#pragma once
// One key in an editor view, turned into an editing or navigation step on the view's document.
// Keys arrive as behaviour codes: arrows 5, 6, 7, 10, Tab 11, Enter 14, the others as the
// virtual-key codes of the key table (Backspace 8, Delete 46, Home 36, End 35, Page Up 33,
// Page Down 34, Escape 27, letters 65..90, F1..F12 112..123). A behaviour lives for one key.
//
// User-interface thread only.

#include <QKeyEvent>

#include <cstdint>

// The behaviour codes by name.
namespace vlKey {
constexpr std::uint16_t Left = 5;
constexpr std::uint16_t Right = 6;
constexpr std::uint16_t Up = 7;
constexpr std::uint16_t Backspace = 8;
constexpr std::uint16_t Down = 10;
constexpr std::uint16_t Tab = 11;
constexpr std::uint16_t Enter = 14;
constexpr std::uint16_t Escape = 27;
constexpr std::uint16_t PageUp = 33;
constexpr std::uint16_t PageDown = 34;
constexpr std::uint16_t End = 35;
constexpr std::uint16_t Home = 36;
constexpr std::uint16_t Insert = 45;
constexpr std::uint16_t Delete = 46;
constexpr std::uint16_t B = 'B';
constexpr std::uint16_t I = 'I';
constexpr std::uint16_t S = 'S';
constexpr std::uint16_t U = 'U';
constexpr std::uint16_t Y = 'Y';
constexpr std::uint16_t Z = 'Z';
constexpr std::uint16_t F1 = 112;
constexpr std::uint16_t F9 = 120;
constexpr std::uint16_t F10 = 121;
constexpr std::uint16_t F12 = 123;
}  // namespace vlKey

class TWindowView;
class TEditFormatter;
class TDocument;
class TEasyCaret;

// The behaviour code of a key event; 0 for keys the table does not know (modifiers alone too).
std::uint16_t BehaviorKeyCode(const QKeyEvent &E);
// Keys the editor keeps even where an application shortcut would take them.
bool EditorKeepsShortcut(const QKeyEvent &E);
// The character a key press types, or a null QChar: one printable code unit (space to tilde, or
// a printable letter or sign from U+00A0 on, as a keyboard layout with accents or a compose key
// gives it), and no Ctrl, Alt or Meta held (X11 gives text for Alt+letter, tests even for
// Ctrl+letter). Control characters and halves of surrogate pairs are never typed.
QChar TypedCharacter(const QKeyEvent &E);

class TKeyBehavior {
 public:
  explicit TKeyBehavior(TWindowView &View);
  void KeyDown(std::uint16_t Key, Qt::KeyboardModifiers ShiftState);
  void KeyPress(QChar Key);

  // The moment a bookmark set at the caret gets: the broker's answer for a space typed there.
  static double BookmarkMoment(const TDocument &Doc);

 private:
  void CommonEnding();
  void ApplyMove(const struct TCaretPos &Pos);
  void Key_Printable(QChar Ch);
  void Repaint();
  // Ctrl+Z (undo), Ctrl+Y and Ctrl+Shift+Z (redo): the document's history, caret and selection
  // as the step left them, scrolled into view with the timelines following.
  void UndoOrRedo(bool Redo);

  TWindowView &WV;
  TEditFormatter &Formatter;
  TDocument &Document;
  TEasyCaret &ezCaretRef;
  bool Shift = false;
};
