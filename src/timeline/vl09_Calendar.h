#pragma once
// TCalendarFm: the calendar of recordings, a modal dialog showing one month as a grid of day
// cells, each with a 12-hour dial on which that day's recordings are drawn as arcs. Hovering
// over an arc tells when the recording started and how long it is; a click shows it on the
// historical track and closes the dialog; a double click moves the historical track to that day;
// buttons step through months and years; a link opens the folders holding the audio files.
//
// The month picture and its reading under the mouse live in vlCalendarMonth.h; this class is
// the form around it. What the dialog asks of the main window (the historical track, the file
// browser, the hint window) goes through TCalendarLinks, whose defaults do nothing harmful, so
// the dialog can be shown and tested alone.
//
// User-interface thread only; the dialog is modal.

#include "vlCalendarMonth.h"
#include "vlColor.h"
#include "vlDateTime.h"

#include <QDialog>
#include <QPoint>
#include <QString>

#include <memory>

class QLabel;
class QListWidget;
class QToolButton;
class QWidget;
class TvlMediaFoldersInfo;

// What the calendar needs from the main window. Not owned by the dialog.
class TCalendarLinks {
 public:
  virtual ~TCalendarLinks() = default;
  // A click on a recording: the historical track shows the span zoomed to fit, and the
  // vertical timeline moves to its start (the main window's DayFiles_LoadSpan; PlanLoadSpan in
  // vlCalendarMonth.h answers the zoom and the left edge).
  virtual void ShowSpanOnHistoricalTrack(TDateTime /*StartDT*/, TDateTime /*EndDT*/) {}
  // A double click on a day: column 0 of the historical track shows When (MoveTrackTo).
  virtual void MoveHistoricalTrackTo(TDateTime /*When*/) {}
  // Opens a folder in the system's file browser. The default asks the desktop to open it.
  virtual void OpenFolderInExplorer(const QString &Folder);
  // The hover hint near a screen point for MSecs; the default uses the platform's tool tip.
  virtual void ShowHint(const QString &Text, QPoint ScreenAt, int MSecs, TColor Background);
  virtual void HideHint();
  // The months the catalogue keeps loaded besides the shown one: the current-day track's
  // recording month and the vertical timeline's first moment. Today by default.
  virtual TDateTime RecTrackMonthDT();
  virtual TDateTime VertTimelineFromDT();
};

// The main window's OpenCalendar: a calendar for SeedWhen's month, shown modally and released
// afterwards. Keeping the notes' selection across the dialog is the caller's.
int OpenCalendar(QWidget *Parent, TvlMediaFoldersInfo *Catalogue, TCalendarLinks *Links,
                 TDateTime SeedWhen);

class TCalendarFm : public QDialog {
  Q_OBJECT

 public:
  // Catalogue (not owned) lists the recordings; nullptr shows no recordings. Links: not owned;
  // nullptr uses the harmless defaults.
  TCalendarFm(TvlMediaFoldersInfo *Catalogue, TCalendarLinks *Links = nullptr,
              QWidget *Parent = nullptr);
  ~TCalendarFm() override;

  // Shows the month of DateTime modally (a seed before 31 December 1910 means now) and answers
  // the modal result: Accepted ("yes") after a click on a recording or a double click.
  int FormShowForMonth(TDateTime DateTime);
  // The same without running the modal loop (tests, and the start of FormShowForMonth).
  void PrepareForMonth(TDateTime DateTime);

  // ---- Buttons
  void MonthNextBtnClick();
  void MonthPreviousBtnClick();
  void YearNextBtnClick();
  void YearPreviousBtnClick();
  // ---- The link and its list
  void OpenFolderLnkClick();
  void FoldersLBClick(int Row);

  // ---- The paint box's mouse, in its coordinates (the paint box forwards here)
  void CalendarPBMouseMove(QPoint At);
  // True when the press chose a recording and closed the dialog.
  bool CalendarPBMouseDown(QPoint At);
  void CalendarPBDblClick();

  int YearToShow() const { return FYearToShow; }
  int MonthToShow() const { return FMonthToShow; }
  TDateTime SetUpDoubleClickDT() const { return FSetUpDoubleClickDT; }
  QString CaptionText() const;
  vlCalendar::TCalendarMonth &Month() { return FMonth; }
  QWidget *CalendarPB() const { return FCalendarPB; }
  QListWidget *FoldersLB() const { return FFoldersLB; }
  QLabel *OpenFolderLnk() const { return FOpenFolderLnk; }
  // The recording the last hover hint described.
  RRecordingSpan Offered() const { return RRecordingSpan{FOfferedStartDT, FOfferedEndDT}; }

 protected:
  bool eventFilter(QObject *Watched, QEvent *E) override;

 private:
  class TPaintBox;
  void StepMonths(int Months);
  void ReloadMonths();
  void RefreshSpans();
  void ShowSpanAndClose(const RRecordingSpan &Span);
  void PaintCalendar(QWidget *Box);
  void PaintWeekdays(QWidget *Box);

  TvlMediaFoldersInfo *FCatalogue;
  TCalendarLinks *FLinks;
  std::unique_ptr<TCalendarLinks> FOwnLinks;
  vlCalendar::TCalendarMonth FMonth;

  TDateTime FSetUpDoubleClickDT = 0;
  int FYearToShow = 2000;
  int FMonthToShow = 1;
  TDateTime FOfferedStartDT = 0;
  TDateTime FOfferedEndDT = 0;
  std::int64_t FOfferedTS = 0;  // steady milliseconds when the hint was shown
  bool FOffered = false;

  QWidget *FCalendarControlPnl = nullptr;
  QLabel *FCaption = nullptr;
  QToolButton *FYearPreviousBtn = nullptr;
  QToolButton *FMonthPreviousBtn = nullptr;
  QToolButton *FMonthNextBtn = nullptr;
  QToolButton *FYearNextBtn = nullptr;
  QWidget *FDayOfWeekPB = nullptr;
  QWidget *FCalendarPB = nullptr;
  QLabel *FOpenFolderLnk = nullptr;
  QListWidget *FFoldersLB = nullptr;
};
