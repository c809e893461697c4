#include "vl09_SilenceActions.h"

#include "vlGuard.h"

#include <QAction>
#include <QActionGroup>

namespace {

constexpr TSilenceChoice Choices[] = {TSilenceChoice::scGrantPermission, TSilenceChoice::scOnHint,
                                      TSilenceChoice::scOnAsk, TSilenceChoice::scOnPassword,
                                      TSilenceChoice::scScheduled};

}  // namespace

TSilenceActions::TSilenceActions(TSilenceProtection &Protection, QObject *Parent)
    : QObject(Parent), FProtection(Protection), FGroup(new QActionGroup(this)) {
  FGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  const auto make = [&](const char *Name, const QString &Caption) {
    auto *action = new QAction(Caption, this);
    action->setObjectName(QLatin1String(Name));
    action->setCheckable(true);
    FGroup->addAction(action);
    return action;
  };
  aSilenceGrantPermission =
      make("aSilenceGrantPermission",
           QStringLiteral("&Grant Permission to Break Silence (this Session)"));
  aSilenceOnHint = make("aSilenceOnHint", QStringLiteral("&Silence Protection ON - Show Hint"));
  aSilenceOnAsk = make("aSilenceOnAsk", QStringLiteral("S&ilence Protection ON - Ask Permission"));
  aSilenceOnPassword = make("aSilenceOnPassword",
                            QStringLiteral("Si&lence Protection ON - Require Non-secret Password"));
  aSilenceScheduled = make("aSilenceScheduled", QStringLiteral("S&cheduled:"));

  aSilenceConfigureSchedule = new QAction(QStringLiteral("C&onfigure Schedule ..."), this);
  aSilenceConfigureSchedule->setObjectName(QStringLiteral("aSilenceConfigureSchedule"));
  connect(aSilenceConfigureSchedule, &QAction::triggered, this, [this] {
    RunGuarded([&] {
      if (FOnConfigureSchedule) FOnConfigureSchedule();
    });
  });

  ShowChoice(FProtection.Choice());
  for (TSilenceChoice choice : Choices) {
    QAction *action = ActionFor(choice);
    connect(action, &QAction::toggled, this,
            [this, action](bool Checked) { ActionToggled(action, Checked); });
  }
  FProtection.SetOnChoiceChanged([this](TSilenceChoice Choice) { ShowChoice(Choice); });
}

TSilenceActions::~TSilenceActions() { FProtection.SetOnChoiceChanged(nullptr); }

QAction *TSilenceActions::ActionFor(TSilenceChoice Choice) const {
  switch (Choice) {
    case TSilenceChoice::scGrantPermission: return aSilenceGrantPermission;
    case TSilenceChoice::scOnHint: return aSilenceOnHint;
    case TSilenceChoice::scOnAsk: return aSilenceOnAsk;
    case TSilenceChoice::scOnPassword: return aSilenceOnPassword;
    case TSilenceChoice::scScheduled: return aSilenceScheduled;
    case TSilenceChoice::scNone: break;
  }
  return nullptr;
}

QList<QAction *> TSilenceActions::Actions() const {
  return {aSilenceGrantPermission, aSilenceOnHint,    aSilenceOnAsk,
          aSilenceOnPassword,      aSilenceScheduled, aSilenceConfigureSchedule};
}

void TSilenceActions::RefreshScheduledCaption() {
  aSilenceScheduled->setText(TSilenceProtection::ScheduledCaption(FProtection.ScheduleLevelNow()));
}

void TSilenceActions::ActionToggled(QAction *Action, bool Checked) {
  if (Checked) {
    for (TSilenceChoice choice : Choices)
      if (ActionFor(choice) == Action) FProtection.SetChoice(choice);
    return;
  }
  // While the group moves the check from one item to another, the new one is already checked.
  for (TSilenceChoice choice : Choices)
    if (ActionFor(choice)->isChecked()) return;
  FProtection.SetChoice(TSilenceChoice::scNone);
}

void TSilenceActions::ShowChoice(TSilenceChoice Choice) {
  if (QAction *action = ActionFor(Choice)) {
    action->setChecked(true);
    return;
  }
  for (TSilenceChoice choice : Choices) ActionFor(choice)->setChecked(false);
}
