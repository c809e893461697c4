#include "vlWindowViewManager.h"

#include "vlWindowView.h"

#include <algorithm>

TWindowViewInstanceManager::TWindowViewInstanceManager() = default;

bool TWindowViewInstanceManager::StartManagingInstance(TWindowView *View) {
  std::erase_if(FInstances, [](const QPointer<TWindowView> &P) { return P.isNull(); });
  if (std::find(FInstances.begin(), FInstances.end(), View) == FInstances.end())
    FInstances.emplace_back(View);
  return true;
}

void TWindowViewInstanceManager::StopManagingInstance(TWindowView *View) {
  std::erase_if(FInstances,
                [View](const QPointer<TWindowView> &P) { return P.isNull() || P.data() == View; });
  if (FLatestFocused.data() == View) FLatestFocused = nullptr;
}

int TWindowViewInstanceManager::Count() const {
  return static_cast<int>(
      std::count_if(FInstances.begin(), FInstances.end(),
                    [](const QPointer<TWindowView> &P) { return !P.isNull(); }));
}

TWindowView *TWindowViewInstanceManager::GetWindowView(int IX) const {
  return IX >= 0 && IX < static_cast<int>(FInstances.size())
             ? FInstances[static_cast<std::size_t>(IX)].data()
             : nullptr;
}

TWindowView *TWindowViewInstanceManager::GetFocusedWindowView() const {
  for (const auto &p : FInstances)
    if (p && p->hasFocus()) return p.data();
  return nullptr;
}

void TWindowViewInstanceManager::SetLatestFocusedWindowView(TWindowView *View) {
  FLatestFocused = View;
}

TWindowView *TWindowViewInstanceManager::GetLatestFocusedWindowView() const {
  if (FLatestFocused) return FLatestFocused.data();
  for (const auto &p : FInstances)
    if (p) return p.data();
  return nullptr;
}

void TWindowViewInstanceManager::InvalidateAll(TWindowView *MeFirst) {
  if (MeFirst) MeFirst->InvalidateAllOfMe();
  for (const auto &p : FInstances)
    if (p && p.data() != MeFirst) p->InvalidateAllOfMe();
}

void TWindowViewInstanceManager::OnApplication_Activate() {
  if (TWindowView *v = GetLatestFocusedWindowView()) {
    v->ezCaret().Show();
    v->update();
  }
}

void TWindowViewInstanceManager::OnApplication_Deactivate() {
  if (TWindowView *v = GetLatestFocusedWindowView()) {
    v->ezCaret().Hide();
    v->update();
  }
}

void TWindowViewInstanceManager::FeedKey(TWindowView *View, std::uint16_t Code,
                                         Qt::KeyboardModifiers Shift) {
  if (View) View->FeedKey(Code, Shift);
}

TWindowViewInstanceManager &ViewManager() {
  static TWindowViewInstanceManager manager;
  return manager;
}
