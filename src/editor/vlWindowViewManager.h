#pragma once
// Every editor view of the program: which one has or last had the focus, repainting them
// together after a change several may show, activation and idle. No limit on the number of
// views. Keys need no hook here: Qt hands arrows, Enter and Tab to the focused view.
//
// User-interface thread only.

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <vector>

class TWindowView;

class TWindowViewInstanceManager final : public QObject {
  Q_OBJECT

 public:
  TWindowViewInstanceManager();

  bool StartManagingInstance(TWindowView *View);
  void StopManagingInstance(TWindowView *View);
  int Count() const;
  TWindowView *GetWindowView(int IX) const;
  TWindowView *GetFocusedWindowView() const;
  void SetLatestFocusedWindowView(TWindowView *View);
  // The latest focused view, or else the first one.
  TWindowView *GetLatestFocusedWindowView() const;
  // Repaints MeFirst first, then every other view.
  void InvalidateAll(TWindowView *MeFirst);
  void OnApplication_Activate();
  void OnApplication_Deactivate();
  // Runs a key in a view as its behaviour code (the main window's Enter).
  void FeedKey(TWindowView *View, std::uint16_t Code, Qt::KeyboardModifiers Shift);

 private:
  std::vector<QPointer<TWindowView>> FInstances;
  QPointer<TWindowView> FLatestFocused;
};

TWindowViewInstanceManager &ViewManager();
