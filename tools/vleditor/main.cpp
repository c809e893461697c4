// vleditor: one notes file in an editor window, for looking at the editor without the program.
//
//   vleditor [FILE.vlTab]
//
// Opens the isolated tab file (a new, empty document when FILE does not exist yet), lets you
// type and move about as in the program, and saves back to FILE with Ctrl+S (through the
// program's atomic writer: a failed save keeps the old file). Without FILE, Ctrl+S saves to
// "Untitled.vlTab" in the current folder. Typed characters get the moment of typing; no
// recording runs here. Closing the window with unsaved changes asks whether to save them first.
//
// VLEDITOR_TYPE, when set, is typed into the window as key events right after it opens (a line
// feed as Enter, a "|" as Shift+Left selecting one character): a way to look at typing under a
// virtual display without a key-sending tool.
//
// Exit codes: 0 closed normally; 2 wrong use; 3 FILE exists but is not a readable notes file.

#include "vlEditorHost.h"
#include "vlGlobals.h"
#include "vlWindowView.h"
#include "vl_Document.h"
#include "vl_Formatter.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class TToolHost final : public IEditorHost {
 public:
  TToolHost(TDocument &Doc, QWidget &Window, QString Path, QString Title)
      : FDoc(Doc), FWindow(Window), FPath(std::move(Path)), FTitle(std::move(Title)) {
    ShowTitle(QString());
  }
  void FileSave() override { Save(); }
  bool Save() {
    const bool ok = FDoc.IO_Save(FPath, FTitle, 0);
    ShowTitle(ok ? QStringLiteral(" (saved)") : QStringLiteral(" (NOT saved)"));
    std::fprintf(stderr, "vleditor: %s %s\n", ok ? "saved" : "could not save", qPrintable(FPath));
    return ok;
  }
  void ShowTitle(const QString &Note) {
    FWindow.setWindowTitle(FTitle + QStringLiteral(" - ") + FPath + Note);
  }

 private:
  TDocument &FDoc;
  QWidget &FWindow;
  QString FPath;
  QString FTitle;
};

// Closing with unsaved changes asks first: Save (the window stays when the save fails),
// Discard, or Cancel.
class TCloseQuestion final : public QObject {
 public:
  TCloseQuestion(TDocument &Doc, TToolHost &Host, QString Path)
      : FDoc(Doc), FHost(Host), FPath(std::move(Path)) {}

 protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override {
    if (Event->type() != QEvent::Close || FDoc.ChangeCount() == 0) return false;
    const auto answer = QMessageBox::question(
        qobject_cast<QWidget *>(Watched), QStringLiteral("vleditor"),
        QStringLiteral("Save the changes to %1 before closing?").arg(FPath),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && FHost.Save()))
      return false;
    Event->ignore();
    return true;
  }

 private:
  TDocument &FDoc;
  TToolHost &FHost;
  QString FPath;
};

}  // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: vleditor [FILE.vlTab]\n");
    return 2;
  }
  QTemporaryDir logFolder;
  TErrorLog log(logFolder.path());
  TScopedErrorLog scopedLog(log);

  TDocument doc;
  QString path = args.isEmpty() ? QStringLiteral("Untitled.vlTab") : args[0];
  QString title = QFileInfo(path).completeBaseName();
  if (QFileInfo(path).exists()) {
    if (!QFileInfo(path).isFile()) {
      std::fprintf(stderr, "vleditor: %s is not a file\n", qPrintable(path));
      return 3;
    }
    int scroll = 0;
    const QString problems = doc.IO_Load(path, title, scroll);
    if (!doc.IO_LastLoad().Opened || !doc.IO_LastLoad().IsNotesDoc) {
      std::fprintf(stderr, "vleditor: %s is not a readable notes file\n", qPrintable(path));
      return 3;
    }
    if (!problems.trimmed().isEmpty())
      std::fprintf(stderr, "vleditor: %s\n", qPrintable(problems.trimmed()));
  }

  QWidget window;
  auto *layout = new QHBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto *view = new TWindowView(&window, QStringLiteral("vleditor"));
  auto *bar = new QScrollBar(Qt::Vertical, &window);
  layout->addWidget(view, 1);
  layout->addWidget(bar);
  TEditFormatter formatter(&doc);
  view->SetScrollbar(bar);
  view->SetFormatter(&formatter);
  TToolHost host(doc, window, path, title);
  SetEditorHost(&host);
  TCloseQuestion question(doc, host, path);
  window.installEventFilter(&question);
  window.resize(900, 600);
  window.show();
  view->setFocus();
  const QString script = qEnvironmentVariable("VLEDITOR_TYPE");
  if (!script.isEmpty())
    QTimer::singleShot(800, view, [view, script] {
      // Without a window manager nothing activates the window: do it, as a click would.
      view->window()->activateWindow();
      view->setFocus();
      for (const QChar c : script) {
        int key = c.toUpper().unicode();
        QString text(c);
        Qt::KeyboardModifiers mods = Qt::NoModifier;
        if (c == u'\n') {
          key = Qt::Key_Return;
          text = QStringLiteral("\r");
        } else if (c == u'|') {
          key = Qt::Key_Left;
          text.clear();
          mods = Qt::ShiftModifier;
        }
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QCoreApplication::sendEvent(view, &release);
      }
    });
  const int rc = app.exec();
  SetEditorHost(nullptr);
  return rc;
}
