#pragma once
// A document's insets, addressed by handles: the handle of an inset is its slot in the storage,
// paragraphs list the handles anchored to them, and files store them. Slots may be empty (a file
// may use handles 0 and 2 only). The storage owns its insets.
//
// The storage keeps anchors and anchor lists in step: an inset anchored to a paragraph is listed
// in that paragraph's AnchoredInsets, and deleting an inset takes its handle off that list. It is
// the only writer of TInset::FAnchor and TParagraph::AnchoredInsets; everything else goes through
// the methods below, so that the two sides cannot drift apart.
//
// User-interface thread only.

#include "vl09_Globals.h"
#include "vldInset.h"

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

class TParagraph;
class TSectionContainer;
class TTable;
class TvlGraphic;

using TInsetHandle = std::int32_t;

class TInsetsStorage {
 public:
  // Handles read from files above this are refused: a damaged handle must not make the storage
  // allocate gigabytes.
  static constexpr TInsetHandle MaxHandle = 65535;
  static constexpr int ExpansionStep = 10;

  explicit TInsetsStorage(TSectionContainer *OwningDocument) : FOwner(OwningDocument) {}
  ~TInsetsStorage();
  TInsetsStorage(const TInsetsStorage &) = delete;
  TInsetsStorage &operator=(const TInsetsStorage &) = delete;

  // Deletes every inset; the storage becomes empty.
  void ClearAll();

  static constexpr TInsetHandle InvalidInsetHandle() { return -1; }
  TInsetHandle Low() const { return 0; }
  // The last slot; -1 when empty.
  TInsetHandle High() const { return static_cast<TInsetHandle>(FInsets.size()) - 1; }
  bool ValidHandle(TInsetHandle InsetHandle) const;
  TInset *GetInset(TInsetHandle InsetHandle) const;
  TvlGraphic *GetIfGraphic(TInsetHandle InsetHandle) const;
  TTable *GetIfTable(TInsetHandle InsetHandle) const;
  TInsetHandle HandleOfInset(const TInset *Inset) const;
  // Releases the inset, takes its handle off its anchor's list and empties the slot.
  void Delete(TInsetHandle InsetHandle);
  // Appends every used handle, in increasing order.
  void AddAllHandlesToList(THandleList &HandleList) const;

  // The first empty slot from 0; when there is none the storage grows by ExpansionStep empty
  // slots and the first new one is taken. False, with the handle -1, when memory runs out.
  bool MakeNewInset_GetHandle(TInsetHandle &NewHandle);
  // A new picture inset in a new slot, anchored to P (which may be nullptr) and brought to the
  // front.
  bool MakeNewGraphicAndGetHandle(TParagraph *P, TInsetHandle &NewHandle);
  bool MakeNewTableAndGetHandle(TParagraph *P, TInsetHandle &NewHandle);
  // Puts Inset at a handle chosen elsewhere (a file's), lengthening the storage as needed, and
  // anchors it to P (nullptr: no anchor). An inset already there is released. False (Inset
  // released) for a handle outside 0..MaxHandle or when memory runs out.
  bool PutInsetAt(TInsetHandle Handle, std::unique_ptr<TInset> Inset, TParagraph *P = nullptr);

  // Anchors the inset to P (nullptr: no anchor), moving its handle between the anchor lists.
  void Anchor(TInsetHandle InsetHandle, TParagraph *P);
  // Every inset anchored to or encroaching on P forgets it; the anchored ones are left without
  // an anchor. For a paragraph about to be freed.
  void ForgetParagraph(const TParagraph *P);
  // The same for every paragraph in Leaving, in one pass over the insets.
  void ForgetParagraphs(const std::unordered_set<const TParagraph *> &Leaving);
  // Joining paragraphs: From's anchored insets move to Into, after Into's own, in From's order.
  void MoveAnchors(TParagraph &From, TParagraph &Into);

  // Reading files. A paragraph's listing comes before the insets it names, so it is taken as
  // read (ListFromFile: false when the handle is listed already) and checked once the insets are
  // in (DropUnbackedListings: removes and answers the handles whose inset is missing or anchored
  // elsewhere, since such a listing carries nothing).
  static bool ListFromFile(TParagraph &P, TInsetHandle InsetHandle);
  THandleList DropUnbackedListings(TParagraph &P) const;

  // Stacking: the picture goes to the front (z-order 1); the pictures that were in front of it
  // move back by one, those behind it keep their order. Other insets are ignored.
  void BringToFront(TInsetHandle InsetHandle);
  void BringGraphicToFront(TvlGraphic *GraphicToRaise);

  // Copies of the source's insets in the same slots. The owner stays this storage's own, and each
  // anchor is moved to the paragraph with the same section number in the owner; the owner's
  // paragraphs list them in the source's order. Called after the owner's sections were copied.
  void MyAssign(const TInsetsStorage &Source);

  TSectionContainer *Owner() const { return FOwner; }
  // Every slot, empty ones included; read access for savers, the formatter and tests.
  const std::vector<std::unique_ptr<TInset>> &Insets() const { return FInsets; }

 private:
  bool MakeNew(std::unique_ptr<TInset> Inset, TParagraph *P, TInsetHandle &NewHandle,
               const char *ErrorAt);

  TSectionContainer *FOwner;
  std::vector<std::unique_ptr<TInset>> FInsets;
};
