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

bool TInsetsStorage::PutInsetAt(TInsetHandle Handle, std::unique_ptr<TInset> Inset) {
  if (Handle < 0 || Handle > MaxHandle || !Inset) return false;
  const auto slot = static_cast<std::size_t>(Handle);
  try {
    if (FInsets.size() <= slot) FInsets.resize(slot + 1);
  } catch (const std::bad_alloc &) {
    return false;
  }
  if (FInsets[slot]) Delete(Handle);
  TParagraph *anchor = Inset->FAnchor;
  Inset->FAnchor = nullptr;
  FInsets[slot] = std::move(Inset);
  Anchor(Handle, anchor);
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
  if (!P) return;
  for (auto &inset : FInsets)
    if (inset) inset->ForgetParagraph(P);
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
    // The anchor is the paragraph at the same section number in this storage's own document.
    TParagraph *anchor = nullptr;
    if (from->FAnchor && Source.FOwner && FOwner) {
      const int sn = Source.FOwner->Paragraph_GetSectionNumOf(from->FAnchor);
      anchor = dynamic_cast<TParagraph *>(FOwner->Section_At(sn));
    }
    Anchor(static_cast<TInsetHandle>(i), anchor);
  }
}
