#pragma once
// Growable lists indexed from 1, shared by the document model, the formatter, the day files and
// the timelines. Index 0 of the storage is never used. Reading outside 1..Count reports the
// index through the debug channel and yields 0.

#include <QString>

#include <cstdint>
#include <vector>

namespace vl_detail {

// The storage policy both lists share: grow with slack, shrink when far too large.
template <typename TValue>
class TOneBasedList {
 public:
  void Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FCount = 0;
  }
  int Count() const { return FCount; }
  int Low() const { return 1; }
  int High() const { return FCount; }
  int Length() const { return FCount; }
  // Storage length including the unused slot 0; exposed for tests of the growth policy.
  int Capacity() const { return static_cast<int>(FData.size()); }

  // Deletes element Index (1..Count), moving the later ones down. Storage is not shrunk.
  void Delete(int Index) {
    if (Index < 1 || Index > FCount) return;
    for (int i = Index; i < FCount; ++i) FData[i] = FData[i + 1];
    --FCount;
  }
  // Count := Index; elements exposed by growing are zero.
  void SetLastIndex(int Index);
  QString AllDataAsString() const;

 protected:
  void Append(TValue Value);
  TValue Get(int Index, const char *Who) const;
  void SetCapacityFor(int N, const char *Field);

  std::vector<TValue> FData;
  int FCount = 0;
};

}  // namespace vl_detail

class TInt16List : public vl_detail::TOneBasedList<std::int16_t> {
 public:
  void AppendDatum(std::int16_t Value) { Append(Value); }
  std::int16_t GetDatum(int Index) const { return Get(Index, "I16L.GetDatum("); }
};

class THandleList : public vl_detail::TOneBasedList<std::int32_t> {
 public:
  void AppendHandle(std::int32_t Value) { Append(Value); }
  std::int32_t GetHandle(int Index) const { return Get(Index, "IL.GetHandle("); }
  // Deletes the first element equal to Value; nothing when there is none.
  void DeleteFirstOccurranceOfHandle(std::int32_t Value);
};
