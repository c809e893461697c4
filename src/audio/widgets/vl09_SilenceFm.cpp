#include "vl09_SilenceFm.h"

#include "vl09_SilenceConfig.h"
#include "vlGuard.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

QLabel *WrappedLabel(const QString &Text, QWidget *Parent) {
  auto *label = new QLabel(Text, Parent);
  label->setWordWrap(true);
  return label;
}

QLabel *LinkLabel(const char *Name, const QString &Link, const QString &Text, QWidget *Parent) {
  auto *label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(Link, Text), Parent);
  label->setObjectName(QLatin1String(Name));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  return label;
}

}  // namespace

void TToolTipHints::Show(const QString &Text, QPoint ScreenAt, int MSecs) {
  QToolTip::showText(ScreenAt, Text, nullptr, QRect(), MSecs);
}

void TToolTipHints::Hide() { QToolTip::hideText(); }

TSilenceProtectionFm::TSilenceProtectionFm(QWidget *Parent, TPointHints *Hints)
    : QDialog(Parent), FHints(Hints ? Hints : &FToolTips) {
  setObjectName(QStringLiteral("SilenceProtectionFm"));
  setWindowTitle(QStringLiteral("Silence Protection"));
  setModal(true);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(WrappedLabel(
      QStringLiteral("Sometimes it is essential that a notebook computer not disturb classes "
                     "or proceedings."),
      this));
  layout->addWidget(WrappedLabel(
      QStringLiteral("A play command has been received. Please verify whether it is okay to "
                     "play the audio."),
      this));

  SilencePasswordEd = new QLineEdit(this);
  SilencePasswordEd->setObjectName(QStringLiteral("SilencePasswordEd"));
  SilencePasswordEd->setEchoMode(QLineEdit::Password);
  PasswordHintLbl = new QLabel(this);
  PasswordHintLbl->setObjectName(QStringLiteral("PasswordHintLbl"));
  auto *passwordRow = new QHBoxLayout;
  passwordRow->addWidget(SilencePasswordEd);
  passwordRow->addWidget(PasswordHintLbl);
  passwordRow->addStretch();
  layout->addLayout(passwordRow);

  layout->addWidget(WrappedLabel(
      QStringLiteral("Your choice will be effective until you close the program or start making "
                     "a new recording."),
      this));
  layout->addWidget(WrappedLabel(
      QStringLiteral("Depending on your recording options, play may also stop any recording you "
                     "are making."),
      this));

  RecordingOptionsLink = LinkLabel("RecordingOptionsLink", QStringLiteral("options"),
                                   QStringLiteral("recording options"), this);
  ConfigureScheduleLink = LinkLabel("ConfigureScheduleLink", QStringLiteral("schedule"),
                                    QStringLiteral("configure silence protection"), this);
  auto *linksRow = new QHBoxLayout;
  linksRow->addWidget(new QLabel(QStringLiteral("Click to "), this));
  linksRow->addWidget(RecordingOptionsLink);
  linksRow->addSpacing(16);
  linksRow->addWidget(ConfigureScheduleLink);
  linksRow->addStretch();
  layout->addLayout(linksRow);
  connect(RecordingOptionsLink, &QLabel::linkActivated, this, &TSilenceProtectionFm::LinkActivated);
  connect(ConfigureScheduleLink, &QLabel::linkActivated, this,
          &TSilenceProtectionFm::LinkActivated);

  EndSilence_NoBtn = new QPushButton(QStringLiteral("No"), this);
  EndSilence_NoBtn->setObjectName(QStringLiteral("EndSilence_NoBtn"));
  EndSilence_NoBtn->setAutoDefault(false);
  EndSilence_PlayBtn = new QPushButton(QStringLiteral("&Play"), this);
  EndSilence_PlayBtn->setObjectName(QStringLiteral("EndSilence_PlayBtn"));
  EndSilence_PlayBtn->setDefault(true);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(EndSilence_NoBtn);
  buttons->addWidget(EndSilence_PlayBtn);
  layout->addLayout(buttons);
  connect(EndSilence_NoBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(EndSilence_PlayBtn, &QPushButton::clicked, this, &TSilenceProtectionFm::PlayClicked);
  setMinimumWidth(440);
}

TSilenceProtectionFm::~TSilenceProtectionFm() = default;

void TSilenceProtectionFm::Prepare(int Level, const QString &Password) {
  // Asking needs no password: the box and the password stay out of sight (a greyed box holding
  // the password only puzzled). The password level shows its non-secret password beside it.
  FPasswordNeeded = Level != slAsk;
  FPassword = FPasswordNeeded ? Password : QString();
  SilencePasswordEd->clear();
  SilencePasswordEd->setVisible(FPasswordNeeded);
  PasswordHintLbl->setVisible(FPasswordNeeded);
  PasswordHintLbl->setText(FPasswordNeeded ? QStringLiteral("Password is \"") + Password + u'"'
                                           : QString());
  if (FPasswordNeeded)
    SilencePasswordEd->setFocus();
  else
    EndSilence_PlayBtn->setFocus();
}

bool TSilenceProtectionFm::Execute(int Level, const QString &Password) {
  Prepare(Level, Password);
  adjustSize();
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  return exec() == QDialog::Accepted;
}

void TSilenceProtectionFm::done(int Result) {
  if (Result != QDialog::Accepted) FHints->Hide();
  QDialog::done(Result);
}

void TSilenceProtectionFm::PlayClicked() {
  RunGuarded([&] {
    if (!FPasswordNeeded ||
        SilencePasswordEd->text().compare(FPassword, Qt::CaseInsensitive) == 0) {
      accept();
      return;
    }
    const QPoint nearButton =
        EndSilence_PlayBtn->mapToGlobal(QPoint(0, EndSilence_PlayBtn->height()));
    FHints->Show(TSilenceProtection::TryAgainHint(), nearButton,
                 TSilenceProtection::TryAgainHintMSecs);
  });
}

void TSilenceProtectionFm::LinkActivated(const QString &Link) {
  RunGuarded([&] {
    const auto &handler =
        Link == QStringLiteral("options") ? FOnRecordingOptions : FOnConfigureSchedule;
    if (handler) handler();
  });
}

TSilenceWindowPrompts::TSilenceWindowPrompts(QWidget *Parent, TPointHints *Hints)
    : FParent(Parent), FHints(Hints ? Hints : &FToolTips) {}

void TSilenceWindowPrompts::ShowHint(const QString &Text, int MSecs) {
  FHints->Show(Text, QCursor::pos(), MSecs);
}

bool TSilenceWindowPrompts::AskToBreakSilence(int Level, const QString &Password) {
  TSilenceProtectionFm window(FParent, FHints);
  window.SetOnRecordingOptions(FOnRecordingOptions);
  window.SetOnConfigureSchedule(FOnConfigureSchedule);
  return window.Execute(Level, Password);
}
