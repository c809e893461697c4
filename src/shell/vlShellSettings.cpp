#include "vlShellSettings.h"

#include "vl09_SilenceConfig.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString NameOf(const char16_t *Name) { return QString::fromUtf16(Name); }

const QRect *WorkAreaAt(const QPoint &P, const QList<QRect> &WorkAreas) {
  for (const QRect &area : WorkAreas)
    if (area.contains(P)) return &area;
  return nullptr;
}

}  // namespace

QString vlSetting::SilenceDayName(int DayOfWeek) {
  // The schedule owns the names of its stored days.
  return TvlSilenceConfigSchedule::DayValueName(DayOfWeek - 1);
}

QRect MainWindowBounds(const TRegistryData &Store, const QRect &PrimaryWorkArea,
                       const QList<QRect> &WorkAreas) {
  const QRect byDefault = PrimaryWorkArea.adjusted(50, 50, -50, -50);
  const RIntSetting *parts[] = {&vlSetting::Left, &vlSetting::Top, &vlSetting::Width,
                                &vlSetting::Height};
  for (const RIntSetting *part : parts) {
    const QString name = NameOf(part->Name);
    if (!TRegistryData::ParseInteger(Store.GetValue(name))) return byDefault;
  }
  const QPoint topLeft(Store.Get(vlSetting::Left), Store.Get(vlSetting::Top));
  const QRect *area = WorkAreaAt(topLeft, WorkAreas);
  if (!area || !WorkAreaAt(topLeft + QPoint(50, 16), WorkAreas)) return byDefault;
  const int width =
      std::max(vlSetting::Width.Min, std::min(Store.Get(vlSetting::Width), area->width()));
  const int height =
      std::max(vlSetting::Height.Min, std::min(Store.Get(vlSetting::Height), area->height()));
  return QRect(topLeft, QSize(width, height));
}

void StoreMainWindowBounds(TRegistryData &Store, const QRect &Bounds) {
  Store.Set(vlSetting::Left, Bounds.left());
  Store.Set(vlSetting::Top, Bounds.top());
  Store.Set(vlSetting::Width, Bounds.width());
  Store.Set(vlSetting::Height, Bounds.height());
}

TDateTime ReopenWhen(const TRegistryData &Store, TDateTime Now) {
  const double stored =
      Store.GetFloatDef(NameOf(vlSetting::ReopenWhen), std::numeric_limits<double>::quiet_NaN());
  if (IsValidDateTime(stored)) return stored;
  const RDecodedDateTime d = DecodeDateTime(Now);
  return EncodeDateTime(d.Year, d.Month, d.Day, d.Hour) - 1.0 / HoursPerDay;
}

void StoreReopenWhen(TRegistryData &Store, TDateTime When) {
  Store.SetFloat(NameOf(vlSetting::ReopenWhen), When);
}
