#pragma once
// The values the main window and start-up keep in the settings store, each with its default and
// the range a read value is limited to, so that a hand-edited or damaged file can never hand the
// window a zero width, a zoom of NaN or a moment in the year 30000. The options' own values are
// in vl09_Options.h; the silence schedule keeps its "Silence_Sun" .. "Silence_Sat" strings.

#include "vl09_Registry.h"
#include "vlDateTime.h"

#include <QList>
#include <QRect>
#include <QString>

namespace vlSetting {

// Main-window bounds. Their defaults depend on the screen's work area (see MainWindowBounds).
inline constexpr RIntSetting Left{u"Left", 0, -100000, 100000};
inline constexpr RIntSetting Top{u"Top", 0, -100000, 100000};
// The window's smallest size; the largest is the work area the window is on (MainWindowBounds).
inline constexpr RIntSetting Width{u"Width", 0, 400, 100000};
inline constexpr RIntSetting Height{u"Height", 0, 300, 100000};

inline constexpr RIntSetting TimelineSidePnlWidth{u"TimelineSidePnlWidth", 180, 1, 740};
// Seconds per pixel of the historical track: its zoom levels span a quarter second to a minute.
inline constexpr RFloatSetting ReopenZoom{u"ReopenZoom", 2, 0.25, 60};
// The search panel's share of the width. A stored value outside the range is kept in the file
// until the window writes its own; reading limits it to a share the panel can show.
inline constexpr RFloatSetting SearchResultsWidth{u"SearchResultsWidth", 0.25, 0.05, 0.9};
inline constexpr RIntSetting RecordingPnlWidth{u"RecordingPnlWidth", 300, 1, 3200};
inline constexpr RBoolSetting ViewTimelineVertical{u"ViewTimelineVertical", true};
inline constexpr RBoolSetting ViewAudioControls{u"ViewAudioControls", false};
// Read twice while starting: true when the window is made, then false when the options load;
// the second read decides, so without a stored value recording never starts by itself.
inline constexpr RBoolSetting RecordStartAutoAtCreate{u"RecordStartAuto", true};
inline constexpr RBoolSetting RecordStartAuto{u"RecordStartAuto", false};
inline constexpr RBoolSetting BlockMicSensitiviyConfigMesg{u"BlockMicSensitiviyConfigMesg", false};
inline constexpr RBoolSetting LaunchLog{u"LaunchLog", false};
inline constexpr RBoolSetting DebugMode{u"DebugMode", false};
// Read once at start and then removed from the store, so that it is never written back.
inline constexpr RBoolSetting IsDeveloper{u"IsDeveloper", false};
// The event index's epoch; it is read before the store exists, so the default always applies.
inline constexpr RIntSetting EpochYear{u"EpochYear", 2006, 1900, 2006};

// Strings: absent reads as empty.
inline constexpr const char16_t *AutoOpenBinder = u"AutoOpenBinder";
inline constexpr const char16_t *HotSpotsSupressed = u"HotSpotsSupressed";
// "No" suppresses the welcome window.
inline constexpr const char16_t *DisplayWelcome = u"DisplayWelcome";
// "Finished" once the first-run set-up has run.
inline constexpr const char16_t *Install = u"Install";
inline constexpr const char16_t *ReopenWhen = u"ReopenWhen";
// "Silence_Sun" .. "Silence_Sat"; DayOfWeek 1 = Sunday.
QString SilenceDayName(int DayOfWeek);

}  // namespace vlSetting

// The main window's bounds: the stored ones, each limited to its range, or the default (the work
// area less 50 pixels on each side) when any of them is absent or unreadable, or when the
// stored top-left corner (and the point 50 right and 16 down from it) lies on no work area, as
// happens when the monitor it was on is no longer attached. The stored size is limited to the work
// area holding the top-left corner (never below the smallest size), so a window as wide as a large
// monitor keeps its size while one larger than its monitor is made to fit.
QRect MainWindowBounds(const TRegistryData &Store, const QRect &PrimaryWorkArea,
                       const QList<QRect> &WorkAreas);
void StoreMainWindowBounds(TRegistryData &Store, const QRect &Bounds);

// The historical track's moment: the stored one when it is a readable date, else the start of
// Now's hour less one hour.
TDateTime ReopenWhen(const TRegistryData &Store, TDateTime Now);
void StoreReopenWhen(TRegistryData &Store, TDateTime When);
