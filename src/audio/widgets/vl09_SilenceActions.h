#pragma once
// The Silence menu's items: five checkable actions in one exclusive group, kept in step with the
// protection's choice both ways (choosing an item sets the choice; granting permission from the
// protection window checks "grant permission"), and the item that opens the schedule window.
// The main window puts Actions() into its Silence menu.
//
// Called on the user-interface thread only.

#include "vl09_Silence.h"

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QActionGroup;

class TSilenceActions : public QObject {
  Q_OBJECT

 public:
  // Protection is not owned and must outlive the actions. "Scheduled" starts checked, as the
  // protection does.
  explicit TSilenceActions(TSilenceProtection &Protection, QObject *Parent = nullptr);
  ~TSilenceActions() override;

  QActionGroup *Group() const { return FGroup; }
  QAction *ActionFor(TSilenceChoice Choice) const;
  // The five exclusive items in menu order, then "Configure Schedule ...".
  QList<QAction *> Actions() const;

  // Sets the "follow the schedule" caption to the schedule's level now. The main window calls it
  // when the Silence menu is about to show.
  void RefreshScheduledCaption();
  // What "Configure Schedule ..." does (the main window shows the schedule window).
  void SetOnConfigureSchedule(std::function<void()> Handler) {
    FOnConfigureSchedule = std::move(Handler);
  }

  QAction *aSilenceGrantPermission;
  QAction *aSilenceOnHint;
  QAction *aSilenceOnAsk;
  QAction *aSilenceOnPassword;
  QAction *aSilenceScheduled;
  QAction *aSilenceConfigureSchedule;

 private:
  void ActionToggled(QAction *Action, bool Checked);
  void ShowChoice(TSilenceChoice Choice);

  TSilenceProtection &FProtection;
  QActionGroup *FGroup;
  std::function<void()> FOnConfigureSchedule;
};
