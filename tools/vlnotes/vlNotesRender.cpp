#include "vlNotesRender.h"

#include "vl09_XmlIn.h"
#include "vlGlobals.h"
#include "vl_Document.h"
#include "vl_Formatter.h"

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
  Err(QStringLiteral("usage: vlnotes render FILE OUT.png [--width PX]"));
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
  QStringList files;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--width")) {
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

  TDocument doc;
  QString title;
  int scroll = 0;
  const QString problems = doc.IO_Load(in, title, scroll);
  if (!doc.IO_LastLoad().Opened) {
    Err(in + QStringLiteral(": cannot be read"));
    return exUnreadable;
  }
  if (!doc.IO_LastLoad().IsNotesDoc) {
    Err(in + QStringLiteral(": not an isolated tab file (render takes one tab)"));
    return exUnreadable;
  }

  // The editor view's margins.
  TEditFormatter formatter(&doc);
  formatter.MultipleWrappingChanges_Begin();
  formatter.SetLinkColumnWidth(20);
  formatter.SetTextMarginLeft(2);
  formatter.SetTextMarginRight(3);
  formatter.SetCanvasWidth(width);
  formatter.MultipleWrappingChanges_End();
  formatter.EnsureLayout();
  // Pictures may reach below the last line.
  std::int64_t total = formatter.TotalPixelHeight();
  for (const auto &inset : doc.InsetsStorage.Insets())
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
