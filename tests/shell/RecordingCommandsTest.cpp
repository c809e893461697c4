// The track pop-up's commands on a recording, over real files in a fresh folder and the audio
// facade on the simulated machine: re-dating across a month with its bookmarks, a re-date that
// would replace another recording, deleting to the trash only after Yes, and what each asks the
// views to draw again. The adjustment window is answered through its seam; prompts are scripted.

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vlAudioTestSupport.h"
#include "vlRecordingCommands.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

TDateTime At(int Y, int Mo, int D, int H, int Mi, double Sec) {
  return QDateTimeToDateTime(QDateTime(QDate(Y, Mo, D), QTime(H, Mi))) + Sec / SecsPerDay;
}

struct TRig : TSimMachine {
  TFreshFolder Folder;
  TvlMediaFoldersInfo Folders;
  TvlMediaInfo Media;
  TActiveSoundFm Sound{Sim, Folders};
  TvlAudio Audio{Sound, Folders};
  TvlDayFilesManager Events;
  TvlRecordingCommands Commands{Audio, Folders, Media};
  TScriptedPrompts &Prompts = TTestEnvironment::TestPrompts();
  std::vector<std::pair<TDateTime, TDateTime>> Refreshed;
  int BookmarksMoved = 0;

  TRig() {
    Prompts.Clear();
    Folders.AddAudioFolder(Folder.File(S("Audio")));
    Sound.SetSpoolFolder(Folder.File(S("spool")));
    Audio.SetMediaInfo(&Media);
    Commands.Refreshed = [this](TDateTime From, TDateTime To) { Refreshed.push_back({From, To}); };
    Commands.BookmarksMoved = [this] { ++BookmarksMoved; };
  }
  QString Audio_(const QString &Relative) const { return Folder.File(S("Audio/")) + Relative; }
  QString WriteRecording(const QString &Relative, int Seconds) {
    const QString path = Audio_(Relative);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteSound(path, 8000, 1, std::vector<std::int16_t>(Seconds * 8000, 100)));
    QFile vu(QFileInfo(path).path() + u'/' + QFileInfo(path).completeBaseName() + S(".vu"));
    EXPECT_TRUE(vu.open(QIODevice::WriteOnly));
    return path;
  }
  void Answer(TDateTime NewStart, bool MoveBookmarks) {
    Commands.AskNewStart = [=](TDateTime) {
      return std::optional<RAdjustAudioAnswer>(RAdjustAudioAnswer{NewStart, MoveBookmarks});
    };
  }
  TDateTime When(TEventID ID) const {
    TvlEvent e;
    return Events.Event_FromEventID(ID, e) ? e.When : 0;
  }
};

}  // namespace

TEST(RecordingCommands, RedateAcrossAMonthMovesTheFilesAndTheBookmarksOfItsSpanOnly) {
  TRig rig;
  const TDateTime start = At(2009, 8, 31, 23, 59, 50);
  const QString path = rig.WriteRecording(S("2009-08/2009-08-31 23.59 50.0 (20).wav"), 20);
  rig.Folders.Month_AddMonthOf(start);
  EXPECT_EQ(rig.Commands.RecordingAt(start + 5 / SecsPerDay), path);
  EXPECT_EQ(rig.Commands.RecordingAt(start + 60 / SecsPerDay), QString());

  const TEventID inside = rig.Events.AddEvent(koeMarker, u'1', start + 15 / SecsPerDay, u"");
  const TEventID label = rig.Events.AddEvent(koeLabel, u'|', start + 2 / SecsPerDay, u"Speed");
  const TEventID after = rig.Events.AddEvent(koeMarker, u'2', start + 40 / SecsPerDay, u"");
  rig.Events.AddTypingEvent(start + 3 / SecsPerDay, u"w");
  const TDateTime newStart = At(2009, 9, 1, 0, 0, 10);
  rig.Answer(newStart, true);

  ASSERT_TRUE(rig.Commands.Adjust(path));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(QFile::exists(rig.Audio_(S("2009-09/2009-09-01 00.00 10.0 (20).wav"))));
  EXPECT_TRUE(QFile::exists(rig.Audio_(S("2009-09/2009-09-01 00.00 10.0 (20).vu"))));
  // The label crossed midnight into another day file: it is found at its new moment. The
  // marker stayed on its day and keeps its ID.
  const double shift = newStart - start;
  std::vector<TEventID> near;
  rig.Events.EventIndex().ListEventIDsForTimePeriod(near, newStart + 1.9 / SecsPerDay,
                                                    newStart + 2.1 / SecsPerDay);
  ASSERT_EQ(near.size(), 1u);
  EXPECT_EQ(rig.Events.EventText_FromEventID(near[0]), S("Speed"));
  EXPECT_NE(rig.Events.EventKind_FromEventID(label), koeLabel);
  EXPECT_NEAR(rig.When(inside), start + 15 / SecsPerDay + shift, 1e-9);
  EXPECT_NEAR(rig.When(after), start + 40 / SecsPerDay, 1e-9);
  EXPECT_EQ(rig.Events.EventKind_FromEventID(inside), koeMarker);
  TEventID typed = NoEventID;
  EXPECT_TRUE(rig.Events.LookUp_GetEventID(koeTyping, u'1', start + 3 / SecsPerDay, u"w", typed));
  EXPECT_EQ(rig.BookmarksMoved, 1);
  // Both spans are drawn again.
  ASSERT_EQ(rig.Refreshed.size(), 2u);
  EXPECT_LT(rig.Refreshed[0].first, start);
  EXPECT_GT(rig.Refreshed[1].second, newStart + 20 / SecsPerDay);
}

TEST(RecordingCommands, RedateOntoAnotherRecordingOrWithoutBookmarksChangesOnlyWhatItMay) {
  TRig rig;
  const TDateTime start = At(2009, 9, 3, 13, 47, 36.5);
  const QString path = rig.WriteRecording(S("2009-09/2009-09-03 13.47 36.5 (10).wav"), 10);
  const QString other = rig.WriteRecording(S("2009-09/2009-09-03 14.00 00.0 (10).wav"), 10);
  const TEventID marker = rig.Events.AddEvent(koeMarker, u'1', start + 1 / SecsPerDay, u"");

  // The name is taken: nothing moves, the user is told, the views are still refreshed.
  rig.Answer(At(2009, 9, 3, 14, 0, 0), true);
  EXPECT_FALSE(rig.Commands.Adjust(path));
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_TRUE(QFile::exists(other));
  EXPECT_EQ(rig.Prompts.Asked().size(), 1);
  EXPECT_EQ(rig.Refreshed.size(), 2u);
  EXPECT_NEAR(rig.When(marker), start + 1 / SecsPerDay, 1e-9);

  // Without "Adjust bookmarks too." the files move and the bookmark stays.
  rig.Answer(At(2009, 9, 3, 15, 0, 0), false);
  EXPECT_TRUE(rig.Commands.Adjust(path));
  EXPECT_TRUE(QFile::exists(rig.Audio_(S("2009-09/2009-09-03 15.00 00.0 (10).wav"))));
  EXPECT_NEAR(rig.When(marker), start + 1 / SecsPerDay, 1e-9);
  EXPECT_EQ(rig.BookmarksMoved, 0);

  // Cancelled: nothing at all.
  rig.Commands.AskNewStart = [](TDateTime) { return std::optional<RAdjustAudioAnswer>(); };
  rig.Refreshed.clear();
  EXPECT_FALSE(rig.Commands.Adjust(other));
  EXPECT_TRUE(QFile::exists(other));
  EXPECT_TRUE(rig.Refreshed.empty());
}

TEST(RecordingCommands, DeleteAsksAndMovesBothFilesToTheTrash) {
  TRig rig;
  const QString path = rig.WriteRecording(S("2009-09/2009-09-03 13.47 36.5 (12).wav"), 12);
  rig.Prompts.ScriptAnswer(TPromptButton::pbNo);
  EXPECT_FALSE(rig.Commands.Delete(path));
  EXPECT_TRUE(QFile::exists(path));
  ASSERT_EQ(rig.Prompts.Asked().size(), 1);
  EXPECT_TRUE(rig.Prompts.Asked()[0].Text.contains(S("0 hours, 0 minutes and 12 seconds.")));
  EXPECT_TRUE(rig.Refreshed.empty());

  // The trash lives in the data folder, which a user's home has.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  ASSERT_TRUE(QDir().mkpath(data));
  rig.Prompts.ScriptAnswer(TPromptButton::pbYes);
  ASSERT_TRUE(rig.Commands.Delete(path));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(QFile::exists(rig.Audio_(S("2009-09/2009-09-03 13.47 36.5 (12).vu"))));
  const QString trash = data + S("/Trash/files/");
  EXPECT_TRUE(QFile::exists(trash + S("2009-09-03 13.47 36.5 (12).wav")));
  EXPECT_EQ(rig.Refreshed.size(), 1u);
}

TEST(RecordingCommands, CopyPathShowInFolderAndTheAdjustmentWindow) {
  TRig rig;
  const QString path = rig.WriteRecording(S("2009-09/2009-09-03 13.47 36.5 (12).wav"), 12);
  rig.Commands.CopyPath(path);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), path);

  rig.Commands.ShowItem = [](const QString &) { return false; };
  rig.Commands.ShowInFolder(path);
  ASSERT_EQ(rig.Prompts.Asked().size(), 1);
  EXPECT_EQ(rig.Prompts.Asked()[0].Text,
            S("The file manager could not show the file \"") + path + S("\" in its folder. "));

  TAdjustAudioTimeFm form;
  const TDateTime start = At(2009, 9, 3, 13, 47, 36.5);
  form.Seed(start);
  EXPECT_EQ(form.windowTitle(), S("Adjust Time & Date of Audio"));
  EXPECT_EQ(form.BookmarksBox()->text(), S("Adjust bookmarks too."));
  EXPECT_NEAR(form.Answer().NewStart, start, 0.001 / SecsPerDay);
  form.BookmarksBox()->setChecked(false);
  form.StartEdit()->setDateTime(form.StartEdit()->dateTime().addSecs(60));
  EXPECT_NEAR(form.Answer().NewStart, start + 60 / SecsPerDay, 0.001 / SecsPerDay);
  EXPECT_FALSE(form.Answer().MoveBookmarks);
}
