#include "vlActionTable.h"

#include "vl09_Main.h"
#include "vl09_MyAudio.h"
#include "vlColorConversion.h"
#include "vlExchangeCommands.h"
#include "vlHelpTexts.h"
#include "vlPlaybackSpeed.h"
#include "vlPrompts.h"
#include "vlSpellingPart.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace {

// The fifteen fixed speeds of the "Speed" submenu, by action name and caption.
struct RSpeedAction {
  const char *Name;
  const char16_t *Caption;
};
constexpr RSpeedAction SpeedActions[] = {
    {"aPlaySpeed050", u"&50 % Slower"}, {"aPlaySpeed060", u"&40 % Slower"},
    {"aPlaySpeed070", u"&30 % Slower"}, {"aPlaySpeed080", u"&20 % Slower"},
    {"aPlaySpeed090", u"&10 % Slower"}, {"aPlaySpeed100", u"&Natural"},
    {"aPlaySpeed110", u"1&0 % Faster"}, {"aPlaySpeed120", u"20 % &Faster"},
    {"aPlaySpeed130", u"30 % F&aster"}, {"aPlaySpeed140", u"40 % Fa&ster"},
    {"aPlaySpeed150", u"50 % Fas&ter"}, {"aPlaySpeed160", u"&60 % Faster"},
    {"aPlaySpeed170", u"&70 % Faster"}, {"aPlaySpeed180", u"&80 % Faster"},
    {"aPlaySpeed190", u"&90 % Faster"},
};

QString S(const char16_t *Utf16) { return QString::fromUtf16(Utf16); }
QKeySequence Key(const char *Text) { return QKeySequence(QLatin1String(Text)); }

// A handler that runs Method of the window's commands of one kind with Args, once the program
// has handed them over (nothing before).
template <typename TCommands, typename TMethod, typename... TArgs>
std::function<void()> Run(const std::unique_ptr<TCommands> &Commands, TMethod Method,
                          TArgs... Args) {
  return [&Commands, Method, Args...] {
    if (Commands) ((*Commands).*Method)(Args...);
  };
}

}  // namespace

// Each picture is drawn in 20 by 20 logical pixels at the pixel ratios of ordinary and
// high-density screens (and the one in use), so it stays sharp when scaled.
namespace {

constexpr QRect IconArea(0, 0, 20, 20);

template <typename TDraw>
QIcon DrawnIcon(TDraw Draw) {
  QList<qreal> ratios{1.0, 2.0};
  const qreal screen = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  if (!ratios.contains(screen)) ratios << screen;
  QIcon icon;
  for (const qreal ratio : ratios) {
    QPixmap picture(IconArea.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
      QPainter painter(&picture);
      Draw(painter);
    }
    icon.addPixmap(picture);
  }
  return icon;
}

}  // namespace

QIcon GlyphIcon(const QString &Glyph, const QColor &Color, TFontStyles Style) {
  return DrawnIcon([&](QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(Style.testFlag(fsBold));
    font.setItalic(Style.testFlag(fsItalic));
    font.setUnderline(Style.testFlag(fsUnderline));
    painter.setFont(font);
    painter.setPen(Color);
    painter.drawText(IconArea, Qt::AlignCenter, Glyph);
  });
}

QIcon SwatchIcon(TColor Color, bool Highlight) {
  return DrawnIcon([&](QPainter &painter) {
    const QColor color = TColorToQColor(Color);
    if (Highlight) {
      painter.fillRect(QRect(2, 4, 16, 12), color);
      painter.setPen(Qt::black);
      painter.drawText(IconArea, Qt::AlignCenter, QStringLiteral("ab"));
    } else {
      painter.setPen(color);
      QFont font = painter.font();
      font.setPixelSize(14);
      font.setBold(true);
      painter.setFont(font);
      painter.drawText(QRect(0, 0, 20, 16), Qt::AlignCenter, QStringLiteral("A"));
      painter.fillRect(QRect(3, 16, 14, 3), color);
    }
  });
}

QIcon FindIcon() {
  // Drawn, not a character: the magnifying glass of the symbol fonts is missing from most
  // systems' fonts and showed as an empty box.
  return DrawnIcon([](QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(3, 3, 10, 10));
    painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12.5, 12.5), QPointF(17, 17));
  });
}

QIcon RecordIcon() {
  return DrawnIcon([](QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(4, 4, 12, 12));
  });
}

std::vector<RActionRow> CommandActionTable(TVellomarFm &W) {
  using P = TActionPlace;
  using B = TToolBar;
  // Read when an action runs: the program hands the commands over after the window is made.
  const RWindowCommands &cmd = W.Commands();
  std::vector<RActionRow> rows = {
      // File
      {S(u"aFileNew"), S(u"&New"), Key("Ctrl+Shift+N"), P::apFile,
       Run(cmd.Files, &TvlFileCommands::aFileNewExecute)},
      {S(u"aFileOpen"), S(u"&Open ..."), Key("Ctrl+O"), P::apFile,
       Run(cmd.Files, &TvlFileCommands::aFileOpenExecute)},
      {S(u"aFileSave"), S(u"&Save"), Key("Ctrl+S"), P::apFile,
       Run(cmd.Files, &TvlFileCommands::aFileSaveExecute)},
      {S(u"aFileSaveAs"), S(u"Save &As ..."), Key("Ctrl+Shift+S"), P::apFile,
       Run(cmd.Files, &TvlFileCommands::aFileSaveAsExecute)},
      {S(u"aFileClose"), S(u"&Close"), Key("Ctrl+W"), P::apFile,
       Run(cmd.Files, &TvlFileCommands::aFileCloseExecute)},
      {S(u"aFileTabNew"),
       S(u"&Tab New"),
       {},
       P::apFileTabs,
       Run(cmd.Files, &TvlFileCommands::aFileTabNewExecute)},
      {S(u"aFileTabImport"),
       S(u"Ta&b Import ..."),
       {},
       P::apFileTabs,
       Run(cmd.Files, &TvlFileCommands::aFileTabImportExecute)},
      {S(u"aFileTabExport"),
       S(u"Tab &Export ..."),
       {},
       P::apFileTabs,
       Run(cmd.Files, &TvlFileCommands::aFileTabExportExecute)},
      {S(u"aFileExportNotes"),
       S(u"Export &Notes ..."),
       {},
       P::apFileTabs,
       [&W] { ExportNotesCommand(W.Parts()); }},
      {S(u"aFileImportRecording"),
       S(u"Import &Recording ..."),
       {},
       P::apFileTabs,
       [&W] {
         // The imported recording is shown on the historical track, at the zoom it has now.
         const std::optional<TDateTime> start = ImportRecordingCommand(W.Parts());
         if (TTrackPanelLink *tracks = W.TrackPanelLink(); start && tracks)
           tracks->SetupHistoricalTrack(*start, tracks->HistoricalTrackZoom());
       }},
      // Printing: the active tab laid out on pages by the editor's own formatter.
      {S(u"aFilePrint"), S(u"&Print ..."), Key("Ctrl+P"), P::apFileTabs,
       Run(cmd.Print, &TvlPrintCommands::aFilePrintExecute)},
      {S(u"aFilePrintPdf"), S(u"Print to P&DF ..."), Key("Ctrl+Shift+P"), P::apFileTabs,
       Run(cmd.Print, &TvlPrintCommands::aFilePrintPdfExecute)},
      // Edit
      {S(u"aEditUndo"), S(u"&Undo"), Key("Ctrl+Z"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditUndoExecute)},
      {S(u"aEditRedo"), S(u"&Redo"), Key("Ctrl+Y"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditRedoExecute)},
      {S(u"aFileCut"), S(u"&Cut"), Key("Ctrl+X"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditCutExecute)},
      {S(u"aEditCopy"), S(u"C&opy"), Key("Ctrl+C"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditCopyExecute)},
      {S(u"aEditPaste"), S(u"&Paste"), Key("Ctrl+V"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditPasteExecute)},
      // Ctrl+A is the speed's key, so Select All takes Shift as well.
      {S(u"aEditSelectAll"), S(u"Select &All"), Key("Ctrl+Shift+A"), P::apEdit,
       Run(cmd.Text, &TvlTextCommands::aEditSelectAllExecute)},
      {S(u"aEditFind"), S(u"&Find"), Key("Ctrl+F"), P::apEdit, [&W] { W.aEditFindExecute(); }, 0,
       B::tbText, 100},
      {S(u"aEditSpelling"),
       S(u"Check &Spelling"),
       {},
       P::apEdit,
       [&cmd] {
         if (cmd.Text) CheckSpellingExecute(cmd.Text->ActiveView());
       }},
      // The vertical timeline's pop-up menu carries these two; the timeline connects them.
      {S(u"aEditBookmarkRename"), S(u"Rename Bookmark"), {}, P::apNowhere, {}},
      {S(u"aEditBookmarkDelete"), S(u"Delete Bookmark"), {}, P::apNowhere, {}},
      // Record
      {S(u"aRecordStart"),
       S(u"&Start"),
       {},
       P::apRecord,
       Run(cmd.Playback, &TvlPlaybackCommands::RecordingStartBtnClick),
       afCheckable,
       B::tbAudio,
       0},
      {S(u"aRecordStop"),
       S(u"S&top"),
       {},
       P::apRecord,
       [&W] {
         if (TvlAudio *audio = W.Parts().Audio)
           audio->Recording_Stop();
         else
           W.AudioStartup().StopRecording();
       }},
      {S(u"aRecordConfigure"),
       S(u"&Configure ..."),
       {},
       P::apRecord,
       [&W] { W.ShowOptions(S(u"Record")); }},
      // The options follow its check however it changes (the window connects it).
      {S(u"aRecordStartAuto"), S(u"St&art Automatically"), {}, P::apRecord, {}, afCheckable},
      // The system mixer is never opened from here (nothing of the system's is changed).
      {S(u"aRecordMicrophoneSensitivity"),
       S(u"&Microphone Sensitivity ..."),
       {},
       P::apRecord,
       {},
       afHidden},
      // Play
      {S(u"aPlayInstantReplay"), S(u"&Instant Replay"), Key("Ctrl+R"), P::apPlay,
       Run(cmd.Playback, &TvlPlaybackCommands::aPlayInstantReplayExecute), 0, B::tbAudio, 3},
      {S(u"aPlaySegment"), S(u"&Play Segment"), Key("Ctrl+T"), P::apPlay,
       Run(cmd.Playback, &TvlPlaybackCommands::aPlaySegmentExecute), 0, B::tbAudio, 4},
      {S(u"aPlayConfigure"),
       S(u"&Configure ..."),
       {},
       P::apPlay,
       [&W] { W.ShowOptions(S(u"Play")); }},
      {S(u"aPlayOpenWindowsVolume"),
       S(u"&Open Windows' Volume Control"),
       {},
       P::apPlay,
       {},
       afHidden},
      {S(u"aPlayViewRecordings"),
       S(u"&View Recordings ..."),
       {},
       P::apPlay,
       [&W] {
         if (TTimelinePanelLink *timelines = W.TimelinePanelLink()) timelines->ViewRecordings();
       }},
      {S(u"aPlayStart"),
       S(u"&Start"),
       {},
       P::apPlay,
       Run(cmd.Playback, &TvlPlaybackCommands::aPlayStartExecute),
       0,
       B::tbAudio,
       2},
      {S(u"aPlayStop"),
       S(u"S&top / Pause"),
       {},
       P::apPlay,
       Run(cmd.Playback, &TvlPlaybackCommands::aPlayStopExecute)},
      {S(u"aPlayFromCaret"),
       S(u"Play &from the Caret"),
       {},
       P::apPlay,
       Run(cmd.Playback, &TvlPlaybackCommands::PlayFromCaretExecute)},
      {S(u"aPlaySpeedFaster"), S(u"Speed:  &Accelerate 5%"), Key("Ctrl+A"), P::apPlay,
       [&W] { W.SetSpeed(W.Speed() + vlSpeed::LineStep); }},
      {S(u"aPlaySpeedSlower"), S(u"Speed:  Dece&lerate 5%"), Key("Ctrl+D"), P::apPlay,
       [&W] { W.SetSpeed(W.Speed() - vlSpeed::LineStep); }},
      {S(u"aPlaySpeedNatural"), S(u"Spee&d:  Natural"), Key("Ctrl+N"), P::apPlay,
       [&W] { W.SetSpeed(vlSpeed::Natural); }},
  };
  for (const RSpeedAction &s : SpeedActions) {
    const int speed = SpeedFromActionName(QLatin1String(s.Name));
    rows.push_back(
        {QLatin1String(s.Name), S(s.Caption), {}, P::apSpeed, [&W, speed] { W.SetSpeed(speed); }});
  }
  const std::vector<RActionRow> more = {
      // The tool bars' own buttons.
      {S(u"aButtonStopBoth"),
       S(u"S&top Both"),
       {},
       P::apToolBar,
       Run(cmd.Playback, &TvlPlaybackCommands::aButtonStopBothExecute),
       0,
       B::tbAudio,
       1},
      {S(u"aButtonTurtle"),
       S(u"T&urtle"),
       {},
       P::apToolBar,
       [&W] { W.SetSpeed(SpeedAfterTurtle(W.Speed())); },
       0,
       B::tbAudio,
       100},
      {S(u"aButtonsRabbit"),
       S(u"&Rabbit"),
       {},
       P::apToolBar,
       [&W] { W.SetSpeed(SpeedAfterRabbit(W.Speed())); },
       0,
       B::tbText,
       0},
      // Options
      {S(u"aOptionsSketching"), S(u"&Sketching ..."), {}, P::apOptions, {}, afHidden},
      {S(u"aOptionsPlaying"),
       S(u"&Playing ..."),
       {},
       P::apOptions,
       [&W] { W.ShowOptions(S(u"Play")); }},
      {S(u"aOptionsRecording"),
       S(u"&Recording ..."),
       {},
       P::apOptions,
       [&W] { W.ShowOptions(S(u"Record")); }},
      {S(u"aOptionsTimeline"),
       S(u"&Timeline ..."),
       {},
       P::apOptions,
       [&W] { W.ShowOptions(S(u"Timeline")); }},
      // Tools
      {S(u"aToolsTimeline"),
       S(u"&Timeline"),
       {},
       P::apTools,
       [&W] { W.ShowTimelineSide(W.aToolsTimeline->isChecked()); },
       afCheckable},
      {S(u"aToolsAudioControls"),
       S(u"&AudioControls"),
       {},
       P::apTools,
       [&W] { W.ShowAudioControls(W.aToolsAudioControls->isChecked()); },
       afCheckable},
      // Help
      {S(u"aHelpGettingStarted"),
       S(u"&Getting Started ..."),
       {},
       P::apHelp,
       [&W] {
         const QString page = GettingStartedPagePath();
         const bool opened = !page.isEmpty() && W.OpenUrl && W.OpenUrl(QUrl::fromLocalFile(page));
         if (!opened)
           Prompts().Message(
               BrowserNotOpenedText(page.isEmpty() ? QStringLiteral("GettingStarted/index.html")
                                                   : QUrl::fromLocalFile(page).toString()),
               TPromptIcon::piWarning);
       }},
      {S(u"aHelpMicrophoneTips"),
       S(u"&Three Tips about Microphones"),
       {},
       P::apHelp,
       [] { Prompts().Message(MicrophoneTipsText()); }},
      // The program shows no tip markers (the small marks that open a tip where a feature
      // lives), so an item that shows or hides them would change nothing a user can see: the
      // items stay out of the Help menu until the markers exist. The stored choice
      // ("HotSpotsSupressed") is kept.
      {S(u"aHelpMarkersRestoreAll"),
       S(u"&Restore All"),
       {},
       P::apTipMarkers,
       [&W] { W.SetHotSpotsSupressed(QString()); },
       afHidden},
      {S(u"aHelpMarkersHideAll"),
       S(u"&Hide All"),
       {},
       P::apTipMarkers,
       [&W] { W.SetHotSpotsSupressed(QStringLiteral("All")); },
       afHidden},
      {S(u"aHelpContactSupport"),
       S(u"&Contact Support ..."),
       {},
       P::apHelp,
       [] { Prompts().Message(ContactSupportText()); }},
      {S(u"aHelpAbout"),
       S(u"&About ..."),
       {},
       P::apHelp,
       [] { Prompts().Message(AboutText(QCoreApplication::applicationVersion())); }},
      {S(u"aHelpVideo1"), S(u"Video 1"), {}, P::apVideos, {}, afHidden},
      {S(u"aHelpVideo2"), S(u"Video 2"), {}, P::apVideos, {}, afHidden},
      {S(u"aHelpVideo3"), S(u"Video 3"), {}, P::apVideos, {}, afHidden},
      // The text tool bar's commands, also in the Format menu.
      {S(u"aFontBold"), S(u"&Bold"), Key("Ctrl+B"), P::apFormat,
       Run(cmd.Text, &TvlTextCommands::FontStyleExecute, fsBold), afCheckable | afCommandSetsCheck,
       B::tbText, 101},
      {S(u"aFontItalic"), S(u"&Italic"), Key("Ctrl+I"), P::apFormat,
       Run(cmd.Text, &TvlTextCommands::FontStyleExecute, fsItalic),
       afCheckable | afCommandSetsCheck, B::tbText, 102},
      {S(u"aFontUnderline"), S(u"&Underline"), Key("Ctrl+U"), P::apFormat,
       Run(cmd.Text, &TvlTextCommands::FontStyleExecute, fsUnderline),
       afCheckable | afCommandSetsCheck, B::tbText, 103},
      {S(u"aTextBullets"),
       S(u"Bu&lleted List"),
       {},
       P::apFormat,
       Run(cmd.Text, &TvlTextCommands::aTextBulletsExecute),
       0,
       B::tbText,
       104},
      {S(u"aTextNumbered"), S(u"&Numbered List"), {}, P::apFormat, {}, afHidden, B::tbText, 105},
      {S(u"aTextFontIncrease"), S(u"F&ont Increase"), Key("Ctrl+]"), P::apFormat,
       Run(cmd.Text, &TvlTextCommands::TextFontSizeExecute, 25), 0, B::tbText, 106},
      {S(u"aTextFontDecrease"), S(u"&Font Decrease"), Key("Ctrl+["), P::apFormat,
       Run(cmd.Text, &TvlTextCommands::TextFontSizeExecute, -20), 0, B::tbText, 107},
      // Last in the File menu, after the recent files.
      {S(u"aFileExit"), S(u"E&xit"), Key("Ctrl+Q"), P::apFileExit, [&W] { W.close(); }},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  int slot = 200;
  for (const RColorAction &c : FontColorActions)
    rows.push_back({QLatin1String(c.Name),
                    S(c.Caption),
                    {},
                    P::apFormatColor,
                    Run(cmd.Text, &TvlTextCommands::TextFontColorExecute, c.Value),
                    afCheckable,
                    B::tbText,
                    slot++});
  slot = 300;
  for (const RColorAction &c : HighlightColorActions)
    rows.push_back({QLatin1String(c.Name),
                    S(c.Caption),
                    {},
                    P::apFormatHighlight,
                    Run(cmd.Text, &TvlTextCommands::TextHighlightColorExecute, c.Value),
                    afCheckable,
                    B::tbText,
                    slot++});
  return rows;
}
