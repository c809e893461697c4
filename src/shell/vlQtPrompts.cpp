#include "vlQtPrompts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

QMessageBox::StandardButton ToQt(TPromptButton B) {
  switch (B) {
    case TPromptButton::pbOk: return QMessageBox::Ok;
    case TPromptButton::pbCancel: return QMessageBox::Cancel;
    case TPromptButton::pbYes: return QMessageBox::Yes;
    case TPromptButton::pbNo: return QMessageBox::No;
    case TPromptButton::pbIgnore: return QMessageBox::Ignore;
    case TPromptButton::pbAbort: return QMessageBox::Abort;
    case TPromptButton::pbRetry: return QMessageBox::Retry;
    case TPromptButton::pbNone: break;
  }
  return QMessageBox::NoButton;
}

TPromptButton FromQt(int B) {
  switch (B) {
    case QMessageBox::Ok: return TPromptButton::pbOk;
    case QMessageBox::Cancel: return TPromptButton::pbCancel;
    case QMessageBox::Yes: return TPromptButton::pbYes;
    case QMessageBox::No: return TPromptButton::pbNo;
    case QMessageBox::Ignore: return TPromptButton::pbIgnore;
    case QMessageBox::Abort: return TPromptButton::pbAbort;
    case QMessageBox::Retry: return TPromptButton::pbRetry;
    default: return TPromptButton::pbNone;
  }
}

QMessageBox::Icon ToQt(TPromptIcon I) {
  switch (I) {
    case TPromptIcon::piInformation: return QMessageBox::Information;
    case TPromptIcon::piWarning: return QMessageBox::Warning;
    case TPromptIcon::piError: return QMessageBox::Critical;
    case TPromptIcon::piQuestion: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString Title() { return QGuiApplication::applicationDisplayName(); }

}  // namespace

void TQtPrompts::Message(const QString &Text, TPromptIcon Icon) {
  QMessageBox box(ToQt(Icon), Title(), Text, QMessageBox::Ok, FParent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

TPromptButton TQtPrompts::Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                              TPromptButton DefaultButton, TPromptIcon Icon) {
  QMessageBox box(ToQt(Icon), Title(), Text, QMessageBox::NoButton, FParent);
  box.setTextFormat(Qt::PlainText);
  for (TPromptButton b : Buttons) box.addButton(ToQt(b));
  if (Buttons.contains(DefaultButton)) box.setDefaultButton(ToQt(DefaultButton));
  if (Buttons.contains(TPromptButton::pbCancel))
    box.setEscapeButton(box.button(QMessageBox::Cancel));
  return FromQt(box.exec());
}

std::optional<QString> TQtPrompts::Password(const QString &Title, const QString &Prompt) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(FParent, Title, Prompt, QLineEdit::Password, QString(), &ok);
  if (!ok) return std::nullopt;
  return text;
}

QString TQtPrompts::OpenFileName(const QString &Caption, const QString &Folder,
                                 const QString &Filter) {
  return QFileDialog::getOpenFileName(FParent, Caption, Folder, Filter);
}

QString TQtPrompts::SaveFileName(const QString &Caption, const QString &SuggestedPath,
                                 const QString &Filter) {
  return QFileDialog::getSaveFileName(FParent, Caption, SuggestedPath, Filter);
}

QString TQtPrompts::SaveFileNameAndFilter(const QString &Caption, const QString &SuggestedPath,
                                          const QString &Filter, QString &ChosenFilter) {
  return QFileDialog::getSaveFileName(FParent, Caption, SuggestedPath, Filter, &ChosenFilter);
}

QString TQtPrompts::ChooseItem(const QString &Title, const QStringList &Items) {
  QDialog dialog(FParent);
  dialog.setWindowTitle(Title);
  auto *layout = new QVBoxLayout(&dialog);
  auto *list = new QListWidget(&dialog);
  list->addItems(Items);
  list->setMinimumWidth(list->sizeHintForColumn(0) + 40);
  if (!Items.isEmpty()) list->setCurrentRow(0);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(list);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted || !list->currentItem()) return {};
  return list->currentItem()->text();
}
