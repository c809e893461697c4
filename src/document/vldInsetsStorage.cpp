#include "vldInsetsStorage.h"

#include "vlGlobals.h"
#include "vldGraphic.h"
#include "vldParagraph.h"
#include "vldTable.h"

#include <exception>
#include <new>

TInsetsStorage::~TInsetsStorage() { ClearAll(); }

void TInsetsStorage::ClearAll() {
  for (std::size_t i = 0; i < FInsets.size(); ++i)
    if (FInsets[i] && FInsets[i]->FAnchor)
      FInsets[i]->FAnchor->AnchoredInsets.DeleteFirstOccurranceOfHandle(
          static_cast<TInsetHandle>(i));
  FInsets.clear();
}

bool TInsetsStorage::ValidHandle(TInsetHandle InsetHandle) const {
  return InsetHandle >= 0 && InsetHandle <= High() &&
         FInsets[static_cast<std::size_t>(InsetHandle)] != nullptr;
}

TInset *TInsetsStorage::GetInset(TInsetHandle InsetHandle) const {
  return ValidHandle(InsetHandle) ? FInsets[static_cast<std::size_t>(InsetHandle)].get() : nullptr;
}

TvlGraphic *TInsetsStorage::GetIfGraphic(TInsetHandle InsetHandle) const {
  return dynamic_cast<TvlGraphic *>(GetInset(InsetHandle));
}

TTable *TInsetsStorage::GetIfTable(TInsetHandle InsetHandle) const {
  return dynamic_cast<TTable *>(GetInset(InsetHandle));
}

TInsetHandle TInsetsStorage::HandleOfInset(const TInset *Inset) const {
  if (!Inset) return InvalidInsetHandle();
  for (std::size_t i = 0; i < FInsets.size(); ++i)
    if (FInsets[i].get() == Inset) return static_cast<TInsetHandle>(i);
  return InvalidInsetHandle();
}

void TInsetsStorage::Delete(TInsetHandle InsetHandle) {
  TInset *inset = GetInset(InsetHandle);
  if (!inset) return;
  if (inset->FAnchor) inset->FAnchor->AnchoredInsets.DeleteFirstOccurranceOfHandle(InsetHandle);
  FInsets[static_cast<std::size_t>(InsetHandle)].reset();
}

void TInsetsStorage::AddAllHandlesToList(THandleList &HandleList) const {
  for (std::size_t i = 0; i < FInsets.size(); ++i)
    if (FInsets[i]) HandleList.AppendHandle(static_cast<std::int32_t>(i));
}

bool TInsetsStorage::MakeNewInset_GetHandle(TInsetHandle &NewHandle) {
  for (std::size_t i = 0; i < FInsets.size(); ++i)
    if (!FInsets[i]) {
      NewHandle = static_cast<TInsetHandle>(i);
      return true;
    }
  const std::size_t first = FInsets.size();
  if (first + ExpansionStep > static_cast<std::size_t>(MaxHandle) + 1) {
    NewHandle = InvalidInsetHandle();
    return false;
  }
  try {
    FInsets.resize(first + ExpansionStep);
  } catch (const std::bad_alloc &) {
    NewHandle = InvalidInsetHandle();
    return false;
  }
  NewHandle = static_cast<TInsetHandle>(first);
  return true;
}

bool TInsetsStorage::MakeNew(std::unique_ptr<TInset> Inset, TParagraph *P, TInsetHandle &NewHandle,
                             const char *ErrorAt) {
  try {
    if (!MakeNewInset_GetHandle(NewHandle)) throw std::bad_alloc();
    FInsets[static_cast<std::size_t>(NewHandle)] = std::move(Inset);
    Anchor(NewHandle, P);
    BringToFront(NewHandle);
    return true;
  } catch (const std::exception &e) {
    NewHandle = InvalidInsetHandle();
    ErrorReportInDebug(QStringLiteral("Error at \"%1\": %2")
                           .arg(QString::fromLatin1(ErrorAt), QString::fromLocal8Bit(e.what())));
    return false;
  }
}

bool TInsetsStorage::MakeNewGraphicAndGetHandle(TParagraph *P, TInsetHandle &NewHandle) {
  return MakeNew(std::make_unique<TvlGraphic>(), P, NewHandle, "TIS.MNGAGH");
}

bool TInsetsStorage::MakeNewTableAndGetHandle(TParagraph *P, TInsetHandle &NewHandle) {
  return MakeNew(std::make_unique<TTable>(), P, NewHandle, "IS.MNTAGH");
}

bool TInsetsStorage::PutInsetAt(TInsetHandle Handle, std::unique_ptr<TInset> Inset, TParagraph *P) {
  if (Handle < 0 || Handle > MaxHandle || !Inset) return false;
  const auto slot = static_cast<std::size_t>(Handle);
  try {
    if (FInsets.size() <= slot) FInsets.resize(slot + 1);
  } catch (const std::bad_alloc &) {
    return false;
  }
  if (FInsets[slot]) Delete(Handle);
  // An inset that comes in is listed nowhere yet, whatever its anchor says.
  Inset->FAnchor = nullptr;
  FInsets[slot] = std::move(Inset);
  Anchor(Handle, P);
  return true;
}

void TInsetsStorage::Anchor(TInsetHandle InsetHandle, TParagraph *P) {
  TInset *inset = GetInset(InsetHandle);
  if (!inset) return;
  if (inset->FAnchor) inset->FAnchor->AnchoredInsets.DeleteFirstOccurranceOfHandle(InsetHandle);
  inset->FAnchor = P;
  if (!P) return;
  for (int i = 1; i <= P->AnchoredInsets.Count(); ++i)
    if (P->AnchoredInsets.GetHandle(i) == InsetHandle) return;
  P->AnchoredInsets.AppendHandle(InsetHandle);
}

void TInsetsStorage::ForgetParagraph(const TParagraph *P) {
  if (P) ForgetParagraphs({P});
}

void TInsetsStorage::ForgetParagraphs(const std::unordered_set<const TParagraph *> &Leaving) {
  if (Leaving.empty()) return;
  for (std::size_t i = 0; i < FInsets.size(); ++i) {
    TInset *inset = FInsets[i].get();
    if (!inset) continue;
    if (Leaving.contains(inset->FAnchor)) Anchor(static_cast<TInsetHandle>(i), nullptr);
    if (Leaving.contains(inset->EditorsData.FEncroaches)) inset->EditorsData.FEncroaches = nullptr;
    if (Leaving.contains(inset->PrintersData.FEncroaches))
      inset->PrintersData.FEncroaches = nullptr;
  }
}

void TInsetsStorage::MoveAnchors(TParagraph &From, TParagraph &Into) {
  if (&From == &Into) return;
  const THandleList handles = From.AnchoredInsets;
  for (int i = 1; i <= handles.Count(); ++i) {
    const TInsetHandle h = handles.GetHandle(i);
    const TInset *inset = GetInset(h);
    if (inset && inset->FAnchor == &From) {
      Anchor(h, &Into);
    } else {
      // Listed here without being anchored here (a damaged file): the listing moves along.
      From.AnchoredInsets.DeleteFirstOccurranceOfHandle(h);
      Into.AnchoredInsets.AppendHandle(h);
    }
  }
}

bool TInsetsStorage::ListFromFile(TParagraph &P, TInsetHandle InsetHandle) {
  for (int i = 1; i <= P.AnchoredInsets.Count(); ++i)
    if (P.AnchoredInsets.GetHandle(i) == InsetHandle) return false;
  P.AnchoredInsets.AppendHandle(InsetHandle);
  return true;
}

THandleList TInsetsStorage::DropUnbackedListings(TParagraph &P) const {
  THandleList dropped;
  for (int i = P.AnchoredInsets.Count(); i >= 1; --i) {
    const TInsetHandle h = P.AnchoredInsets.GetHandle(i);
    const TInset *inset = GetInset(h);
    if (inset && inset->FAnchor == &P) continue;
    P.AnchoredInsets.Delete(i);
    dropped.AppendHandle(h);
  }
  return dropped;
}

void TInsetsStorage::BringToFront(TInsetHandle InsetHandle) {
  if (TvlGraphic *g = GetIfGraphic(InsetHandle)) BringGraphicToFront(g);
}

void TInsetsStorage::BringGraphicToFront(TvlGraphic *GraphicToRaise) {
  if (!GraphicToRaise) return;
  const int z = GraphicToRaise->FZOrder;
  GraphicToRaise->FZOrder = 1;
  for (auto &inset : FInsets) {
    auto *g = dynamic_cast<TvlGraphic *>(inset.get());
    if (g && g != GraphicToRaise && g->FZOrder < z) ++g->FZOrder;
  }
}

void TInsetsStorage::MyAssign(const TInsetsStorage &Source) {
  if (&Source == this) return;
  ClearAll();
  // The owner's paragraphs were just copied from the source's; they list what is anchored below.
  if (FOwner)
    for (int sn = 0; sn <= FOwner->Section_High(); ++sn)
      if (auto *p = dynamic_cast<TParagraph *>(FOwner->Section_At(sn))) p->AnchoredInsets.Clear();
  FInsets.resize(Source.FInsets.size());
  for (std::size_t i = 0; i < Source.FInsets.size(); ++i) {
    const TInset *from = Source.FInsets[i].get();
    if (!from) continue;
    std::unique_ptr<TInset> copy;
    if (dynamic_cast<const TvlGraphic *>(from))
      copy = std::make_unique<TvlGraphic>();
    else if (dynamic_cast<const TTable *>(from))
      copy = std::make_unique<TTable>();
    else
      // A plain inset (a kind this version does not draw, kept from a file): the copied
      // paragraphs still list it, so it is copied too.
      copy = std::make_unique<TInset>();
    copy->MyAssign(*from);
    FInsets[i] = std::move(copy);
  }
  if (!Source.FOwner || !FOwner) return;
  // Each anchor is the paragraph at the same section number in this storage's own document,
  // taken paragraph by paragraph in the source's listing order.
  const auto ownParagraph = [this](int SN) {
    return dynamic_cast<TParagraph *>(FOwner->Section_At(SN));
  };
  for (int sn = 0; sn <= Source.FOwner->Section_High(); ++sn) {
    const auto *from = dynamic_cast<const TParagraph *>(Source.FOwner->Section_At(sn));
    if (!from) continue;
    for (int k = 1; k <= from->AnchoredInsets.Count(); ++k) {
      const TInsetHandle h = from->AnchoredInsets.GetHandle(k);
      const TInset *source = Source.GetInset(h);
      if (source && source->FAnchor == from) Anchor(h, ownParagraph(sn));
    }
  }
  // Anchors the source's lists did not name (they should not exist) are kept all the same.
  for (std::size_t i = 0; i < Source.FInsets.size(); ++i) {
    const TInset *from = Source.FInsets[i].get();
    if (from && from->FAnchor && !FInsets[i]->FAnchor)
      Anchor(static_cast<TInsetHandle>(i),
             ownParagraph(Source.FOwner->Paragraph_GetSectionNumOf(from->FAnchor)));
  }
}
