#include "vlNotesRender.h"

#include "vl09_NotebookBinder.h"
#include "vl09_XmlIn.h"
#include "vlGlobals.h"
#include "vlKeptEventsIO.h"
#include "vl_Document.h"
#include "vl_Formatter.h"
#include "vlnotesBinder.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// The exit codes of the other commands.
enum : int { exOk = 0, exDamaged = 1, exUsage = 2, exUnreadable = 3, exNotWritten = 5 };

// The tallest picture written: a longer document is cut there (and says so).
constexpr int MaxRenderHeight = 32000;

void Err(const QString &Text) {
  const QByteArray bytes = (QStringLiteral("vlnotes: ") + Text).toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

int Usage() {
  Err(QStringLiteral("usage: vlnotes render FILE OUT.png [--width PX] [--tab N]"));
  return exUsage;
}

}  // namespace

int RenderMain(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(2);  // after "render"
  int width = 800;
  int tab = 0;  // 0: a binder's active tab
  QStringList files;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--tab")) {
      bool ok = false;
      tab = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
      if (!ok || tab < 1) {
        Err(QStringLiteral("--tab takes the number of a tab, from 1"));
        return exUsage;
      }
      ++i;
    } else if (args[i] == QStringLiteral("--width")) {
      bool ok = false;
      width = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
      if (!ok || width < 100 || width > 10000) {
        Err(QStringLiteral("--width takes a number of pixels from 100 to 10000"));
        return exUsage;
      }
      ++i;
    } else {
      files.append(args[i]);
    }
  }
  if (files.size() != 2) return Usage();
  const QString &in = files[0];
  const QString &out = files[1];
  if (!QFileInfo::exists(in)) {
    Err(in + QStringLiteral(": no such file"));
    return exUnreadable;
  }
  // Checked without opening: a FIFO or a device would make the reading wait for ever.
  if (const QString problem = TvlXmlIn::RegularFileProblem(in); !problem.isEmpty()) {
    Err(problem);
    return exUnreadable;
  }

  // Reports go to a log of this run's own, never to the program's Errors.txt.
  QTemporaryDir logFolder;
  if (!logFolder.isValid()) {
    Err(QStringLiteral("cannot make a temporary folder"));
    return exNotWritten;
  }
  TErrorLog log(logFolder.path());
  TScopedErrorLog scopedLog(log);

  // A binder: one of its tabs, read as the program reads it (its backup is never looked at).
  TvlTabList tabs;
  TDocument single;
  TDocument *doc = &single;
  QString problems;
  if (IsBinderFile(in)) {
    TvlKeptEventsIO events;
    TvlNotebookBinder binder(tabs, &events);
    problems = binder.Binder_OpenWithoutRecovery(in);
    if (tabs.Tabs.empty()) {
      Err(in + QStringLiteral(": cannot be read"));
      return exUnreadable;
    }
    const int count = static_cast<int>(tabs.Tabs.size());
    const int chosen = tab > 0 ? tab : std::clamp(tabs.ActiveTab + 1, 1, count);
    if (chosen > count) {
      Err(in + QStringLiteral(": has %1 tabs; there is no tab %2").arg(count).arg(chosen));
      return exUsage;
    }
    doc = tabs.Tabs[static_cast<std::size_t>(chosen - 1)].Doc.get();
  } else {
    QString title;
    int scroll = 0;
    problems = single.IO_Load(in, title, scroll);
    if (!single.IO_LastLoad().Opened) {
      Err(in + QStringLiteral(": cannot be read"));
      return exUnreadable;
    }
    if (!single.IO_LastLoad().IsNotesDoc) {
      Err(in + QStringLiteral(": neither a tab file nor a binder"));
      return exUnreadable;
    }
    if (tab > 1) {
      Err(in + QStringLiteral(": a tab file holds one tab; there is no tab %1").arg(tab));
      return exUsage;
    }
  }

  // The editor view's margins.
  TEditFormatter formatter(doc);
  formatter.MultipleWrappingChanges_Begin();
  formatter.SetLinkColumnWidth(20);
  formatter.SetTextMarginLeft(2);
  formatter.SetTextMarginRight(3);
  formatter.SetCanvasWidth(width);
  formatter.MultipleWrappingChanges_End();
  formatter.EnsureLayout();
  // Pictures may reach below the last line.
  std::int64_t total = formatter.TotalPixelHeight();
  for (const auto &inset : doc->InsetsStorage.Insets())
    if (inset && inset->HasDrawableSize()) total = std::max(total, inset->EditorsData.vBottom());
  const int height = static_cast<int>(std::clamp<std::int64_t>(total, 1, MaxRenderHeight));
  if (total > MaxRenderHeight)
    Err(QStringLiteral("the document is %1 px tall; only the first %2 px are drawn")
            .arg(total)
            .arg(MaxRenderHeight));

  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    std::int32_t last = 0;
    std::int64_t top = 0;
    formatter.DrawWindow(painter, QRect(0, 0, width, height), 1, last, top);
  }
  if (!image.save(out, "PNG")) {
    Err(out + QStringLiteral(": cannot be written"));
    return exNotWritten;
  }
  const int lines = formatter.Lines_High();
  std::fprintf(stdout, "%s: %d lines, %lld px, %d px wide\n", qPrintable(out), lines,
               static_cast<long long>(total), width);
  if (!problems.trimmed().isEmpty()) {
    Err(in + QStringLiteral(": damaged, drawn as far as it could be read"));
    return exDamaged;
  }
  return exOk;
}
