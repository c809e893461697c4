#include "vl09_Globals.h"

#include "vlGlobals.h"

#include <new>
#include <type_traits>

namespace vl_detail {

namespace {

int Slack(int N) { return N > 4 ? N / 10 + 5 : 2; }

}  // namespace

template <typename TValue>
void TOneBasedList<TValue>::SetCapacityFor(int N, const char *Field) {
  const int highest = static_cast<int>(FData.size()) - 1;
  const bool grow = highest < N;
  if (!grow && N >= highest - 2 * Slack(N)) return;
  try {
    FData.resize(static_cast<std::size_t>(N) + Slack(N), TValue{0});
    if (!grow) FData.shrink_to_fit();
  } catch (const std::bad_alloc &) {
    ErrorReportInDebug(QStringLiteral("Failed %1 %2: %3")
                           .arg(QLatin1String(Field),
                                grow ? QStringLiteral("expansion") : QStringLiteral("reduction"))
                           .arg(N));
  }
}

template <typename TValue>
void TOneBasedList<TValue>::Append(TValue Value) {
  const char *field = std::is_same_v<TValue, std::int16_t> ? "FData" : "FHandle";
  SetCapacityFor(FCount + 1, field);
  if (static_cast<int>(FData.size()) <= FCount + 1) return;  // growth failed; already reported
  ++FCount;
  FData[FCount] = Value;
}

template <typename TValue>
TValue TOneBasedList<TValue>::Get(int Index, const char *Who) const {
  if (Index >= 1 && Index <= FCount) return FData[Index];
  ErrorReportInDebug(QLatin1String(Who) + QString::number(Index) + QLatin1Char(')'));
  return 0;
}

template <typename TValue>
void TOneBasedList<TValue>::SetLastIndex(int Index) {
  if (Index < 0) Index = 0;
  const char *field = std::is_same_v<TValue, std::int16_t> ? "FData" : "FHandle";
  const int oldCount = FCount;
  SetCapacityFor(Index, field);
  if (static_cast<int>(FData.size()) <= Index) return;
  // Elements exposed again after a shrink of Count must not show stale values.
  for (int i = oldCount + 1; i <= Index; ++i) FData[i] = 0;
  FCount = Index;
}

template <typename TValue>
QString TOneBasedList<TValue>::AllDataAsString() const {
  QString s;
  for (int i = 1; i <= FCount; ++i) s += QStringLiteral("  ") + QString::number(FData[i]);
  return s;
}

template class TOneBasedList<std::int16_t>;
template class TOneBasedList<std::int32_t>;

}  // namespace vl_detail

void THandleList::DeleteFirstOccurranceOfHandle(std::int32_t Value) {
  for (int i = 1; i <= FCount; ++i)
    if (FData[i] == Value) {
      Delete(i);
      return;
    }
}
