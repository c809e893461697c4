#include "vl09_Silence.h"

#include "vl09_SilenceConfig.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

namespace {

TSilencePromptsViaPrompts &DefaultPrompts() {
  static TSilencePromptsViaPrompts prompts;
  return prompts;
}

const QString ProtectionTitle = QStringLiteral("Silence Protection");

}  // namespace

void TSilencePromptsViaPrompts::ShowHint(const QString &Text, int MSecs) {
  Q_UNUSED(MSecs);
  Prompts().Message(Text, TPromptIcon::piInformation);
}

bool TSilencePromptsViaPrompts::AskToBreakSilence(int Level, const QString &Password) {
  const QString question = QStringLiteral(
      "A play command has been received. Please verify whether it is okay to play "
      "the audio.");
  if (Level < slPassword) {
    const TPromptButton answer =
        Prompts().Ask(question, {TPromptButton::pbYes, TPromptButton::pbNo}, TPromptButton::pbNo,
                      TPromptIcon::piQuestion);
    return answer == TPromptButton::pbYes;
  }
  const QString prompt = question + QStringLiteral("\nPassword is \"") + Password + u'"';
  for (;;) {
    const std::optional<QString> typed = Prompts().Password(ProtectionTitle, prompt);
    if (!typed) return false;
    if (typed->compare(Password, Qt::CaseInsensitive) == 0) return true;
    ShowHint(TSilenceProtection::TryAgainHint(), TSilenceProtection::TryAgainHintMSecs);
  }
}

QString TSilenceProtection::SilenceOnHint() {
  return QStringLiteral("Silence Protection is ON.  Pull down \"Silence\" menu to enable sounds.");
}

QString TSilenceProtection::TryAgainHint() { return QStringLiteral("Try again or choose \"NO\""); }

TSilenceProtection::TSilenceProtection(const TvlSilenceConfigSchedule &Schedule,
                                       const TClock *Clock)
    : FSchedule(Schedule), FClock(Clock), FPrompts(&DefaultPrompts()) {}

void TSilenceProtection::SetPrompts(TSilencePrompts *Prompts) {
  FPrompts = Prompts ? Prompts : &DefaultPrompts();
}

int TSilenceProtection::ScheduleLevelNow() const {
  const TDateTime now = FClock ? FClock->Now() : Clock().Now();
  return FSchedule.ProtectionLevel(now);
}

int TSilenceProtection::CurrentLevelOfProtection() const {
  switch (FChoice) {
    case TSilenceChoice::scOnHint: return slHint;
    case TSilenceChoice::scOnAsk: return slAsk;
    case TSilenceChoice::scOnPassword: return slPassword;
    case TSilenceChoice::scScheduled:
    case TSilenceChoice::scGrantPermission: return ScheduleLevelNow();
    case TSilenceChoice::scNone: break;
  }
  ErrorReportInDebug(QStringLiteral("mSil all off"));
  return ScheduleLevelNow();
}

void TSilenceProtection::SetChoice(TSilenceChoice Choice) {
  if (Choice == FChoice) return;
  if (Choice == TSilenceChoice::scGrantPermission && FChoice != TSilenceChoice::scNone)
    FChoiceBeforePermission = FChoice;
  FChoice = Choice;
  if (FOnChoiceChanged) FOnChoiceChanged(FChoice);
}

void TSilenceProtection::GrantPermission() { SetChoice(TSilenceChoice::scGrantPermission); }

void TSilenceProtection::NewRecordingStarted() {
  if (GetGavePermission()) SetChoice(FChoiceBeforePermission);
}

bool TSilenceProtection::OkayToBreakSilence() {
  if (GetGavePermission()) return true;
  const int level = CurrentLevelOfProtection();
  switch (level) {
    case slHint: FPrompts->ShowHint(SilenceOnHint(), SilenceOnHintMSecs); return false;
    case slAsk:
    case slPassword:
      if (!FPrompts->AskToBreakSilence(level, FSchedule.Password())) return false;
      GrantPermission();
      return true;
    default: return true;
  }
}

QString TSilenceProtection::ScheduledCaption(int Level) {
  const char *state = "OFF";
  switch (Level) {
    case slHint: state = "ON - Hint"; break;
    case slAsk: state = "ON - Ask"; break;
    case slPassword: state = "ON - Password"; break;
    default: break;
  }
  return QStringLiteral("Follow Schedule  (Currently: ") + QLatin1String(state) + u')';
}
