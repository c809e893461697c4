// The main window's "Export Notes ..." and "Import Recording ..." over a real notebook, the day
// files and the catalogue, with scripted prompts.

#include "vlExchangeCommands.h"
#include "vlExportTestSupport.h"
#include "vlTestSupport.h"

#include "vl09_DayFilesManager.h"
#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlAudioStartup.h"
#include "vlImportRecording.h"
#include "vlMainWindowLinks.h"
#include "vl_Document.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

#include <sndfile.h>

#include <cmath>

namespace {

struct TCommandsRig {
  TFreshFolder Folder;
  QWidget Host;
  TvlNotebook Notebook{&Host};
  TvlDayFilesManager DayFiles;
  TvlMediaFoldersInfo Folders;
  RProgramParts Parts;
  TScriptedPrompts &Prompts = TTestEnvironment::TestPrompts();

  TCommandsRig() {
    Prompts.Clear();
    RTestBinder binder;
    for (int t = 0; t < binder.Tabs.Tabs_Count(); ++t) {
      RvlPage &page = Notebook.Page_Create(binder.Tabs.Tabs_Title(t), QString());
      page.mtcDoc->MyAssign(binder.Tabs.Tabs_Document(t));
    }
    // The blank tab the notebook keeps on offer is not exported.
    Notebook.Page_Create(QStringLiteral("New"), QString());
    DayFiles.AddEvent(koeMarker, u'1', AtRecording(4000), u"");
    DayFiles.AddEvent(koeLabel, u' ', AtRecording(12000), u"Key <point> & more");
    DayFiles.AddEvent(koeMarker, u'2', AtRecording(31000), u"");
    // The catalogue takes an audio folder only when it exists.
    WriteTestRecording(Folder.File(QStringLiteral("Audio")), false);
    Folders.Initialize(Folder.File(QStringLiteral("Audio")));
    Parts.Notebook = &Notebook;
    Parts.DayFiles = &DayFiles;
    Parts.Recordings = &Folders;
  }
};

}  // namespace

TEST(ExchangeCommands, ExportNotes_WritesTheFormatOfTheName_WithEveryTabThatHoldsNotes) {
  TCommandsRig rig;
  for (const QString &name : {QStringLiteral("talk.srt"), QStringLiteral("talk.md")}) {
    SCOPED_TRACE(name.toStdString());
    rig.Prompts.ScriptFileName(rig.Folder.File(name));
    ASSERT_TRUE(ExportNotesCommand(rig.Parts));
    const QString written = QString::fromUtf8(ReadAllBytes(rig.Folder.File(name)));
    if (name.endsWith(QStringLiteral(".srt"))) {
      EXPECT_TRUE(written.startsWith(QStringLiteral("1\n00:00:01,500 --> ")));
    } else {
      EXPECT_TRUE(written.contains(QStringLiteral("## Questions")));
      EXPECT_FALSE(written.contains(QStringLiteral("## New")));
      EXPECT_TRUE(written.contains(QStringLiteral("- [10:00:12] Key \\<point\\> &amp; more")))
          << written.toStdString();
    }
    EXPECT_TRUE(rig.Prompts.Asked().back().Text.startsWith(
        QStringLiteral("The notes were exported to:\n\n") + rig.Folder.File(name)));
  }
  // Cancelled: nothing asked further, nothing written.
  const int asked = static_cast<int>(rig.Prompts.Asked().size());
  EXPECT_FALSE(ExportNotesCommand(rig.Parts));
  EXPECT_EQ(rig.Prompts.Asked().size(), asked + 1);
}

TEST(ExchangeCommands, ImportRecording_AsksWithItsStart_CopiesOnlyWhenConfirmed) {
  TCommandsRig rig;
  const QString source = rig.Folder.File(QStringLiteral("phone.ogg"));
  {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE *file = sf_open(QFile::encodeName(source).constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_set_string(file, SF_STR_DATE, "2024-03-06T14:00:00");
    std::vector<short> samples(16000);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<short>(1000 * std::sin(static_cast<double>(i) * 0.1));
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
  }
  const QString target =
      rig.Folder.File(QStringLiteral("Audio/2024-03/2024-03-06 14.00 00.0 (2).ogg"));
  // No: nothing copied.
  rig.Prompts.ScriptFileName(source);
  rig.Prompts.ScriptAnswer(TPromptButton::pbNo);
  EXPECT_FALSE(ImportRecordingCommand(rig.Parts));
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_TRUE(rig.Prompts.Asked().back().Text.contains(
      QStringLiteral("2024-03-06 14:00:00.0 (from the file's recording date)")))
      << rig.Prompts.AskedTexts().join(u'|').toStdString();
  // Yes: copied, listed.
  rig.Prompts.ScriptFileName(source);
  rig.Prompts.ScriptAnswer(TPromptButton::pbYes);
  EXPECT_EQ(ImportRecordingCommand(rig.Parts), EncodeDateTime(2024, 3, 6, 14, 0, 0, 0));
  EXPECT_TRUE(QFileInfo::exists(target));
  EXPECT_EQ(rig.Folders.ListFilesTouchingTime(EncodeDateTime(2024, 3, 6, 14, 0, 1, 0), 0),
            QStringList{target});
  // Again: the name is taken; the user is told, nothing is asked to confirm.
  rig.Prompts.ScriptFileName(source);
  EXPECT_FALSE(ImportRecordingCommand(rig.Parts));
  EXPECT_TRUE(
      rig.Prompts.Asked().back().Text.contains(QStringLiteral("already in the audio folder")));
  EXPECT_EQ(rig.Prompts.UnscriptedCount(), 0);
}

TEST(ExchangeCommands, TheFileMenuHoldsBoth_AfterTabExport_AndExportAsksWithTheFormats) {
  TFreshFolder folder;
  TRegistryData store{folder.File(QStringLiteral("2009.ini"))};
  TvlOptions options;
  TNoAudioServer audio;
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  prompts.Clear();
  {
    TVellomarFm fm(store, options, audio);
    QStringList names;
    for (const QAction *a : fm.FileMenu()->actions()) names.append(a->objectName());
    const qsizetype tabExport = names.indexOf(QStringLiteral("aFileTabExport"));
    ASSERT_GE(tabExport, 0);
    EXPECT_EQ(names.value(tabExport + 1), QStringLiteral("aFileExportNotes"));
    EXPECT_EQ(names.value(tabExport + 2), QStringLiteral("aFileImportRecording"));

    QWidget host;
    TvlNotebook notebook{&host};
    notebook.Page_Create(QStringLiteral("Lecture"), QString());
    RProgramParts parts;
    parts.Notebook = &notebook;
    fm.SetProgramParts(parts);
    fm.findChild<QAction *>(QStringLiteral("aFileExportNotes"))->trigger();  // cancelled
    ASSERT_EQ(prompts.Asked().size(), 1);
    EXPECT_EQ(prompts.Asked()[0].Kind, TScriptedPrompts::RAsked::akSaveFile);
    EXPECT_EQ(prompts.Asked()[0].Filter, ExportDialogFilters());
    fm.SetProgramParts(RProgramParts{});
  }
  TVellomarFm::SetMainLoopRunning(false);
}
