#include "vlExportTestSupport.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl_Document.h"

#include <QDir>
#include <QFile>

#include <sndfile.h>

#include <cmath>

QString RTestParagraph::Text() const {
  QString text;
  for (const RSegment &s : Segments) text += s.Text;
  return text;
}

const std::vector<RTestTab> &TestTabs() {
  static const std::vector<RTestTab> tabs{
      {QStringLiteral("Lecture"),
       {
           {{{QStringLiteral("Opening "), {}},
             {QStringLiteral("bold words"), fsBold},
             {QStringLiteral(" and plain."), {}}},
            1500},
           {{{QStringLiteral("Привет, мир & <tags>"), {}}}, 5250},
           {{{QStringLiteral("The first sentence is here, and it is long enough to matter. The "
                             "second follows with a few more words. A third ends it!"),
              {}}},
            9000},
           {{}, 0},  // an empty paragraph
           {{{QStringLiteral("日本語のテキスト。"), fsItalic}}, 20000},
       }},
      {QStringLiteral("Questions"),
       {
           {{{QStringLiteral("Underlined"), fsUnderline}, {QStringLiteral(" question?"), {}}},
            30000},
           {{{QStringLiteral("مرحبا بالعالم"), {}}}, 33000},
           {{{QStringLiteral("Typed before the recording"), {}}}, -5000},
       }},
  };
  return tabs;
}

TDateTime AtRecording(std::int64_t MSecs) { return IncMilliSecond(kRecordingStart, MSecs); }

RTestBinder::RTestBinder() {
  for (const RTestTab &tab : TestTabs()) {
    TDocument &doc = *Tabs.Add(tab.Title).Doc;
    for (std::size_t i = 0; i < tab.Paragraphs.size(); ++i) {
      const RTestParagraph &para = tab.Paragraphs[i];
      TParagraph &p = i == 0 ? *doc.Paragraph_FromSectionNum(0) : doc.Paragraph_Append();
      std::int64_t at = para.AtMSecs;
      for (const RSegment &s : para.Segments) {
        const TFontIndex font =
            doc.FontsInUse.GetFontIndex(QStringLiteral("Veranda"), 0, 12, 0, 0xFFFFFF, s.Style);
        for (const QChar c : s.Text) {
          const TDateTime when = AtRecording(at);
          p.Char_Append(c, font, RvlTimestamp{when, when});
          at += kCharStepMSecs;
        }
      }
    }
  }
  Tabs.ActiveTab = 0;
  Events.Add(QStringLiteral("Marker"), u'1', AtRecording(4000));
  Events.Add(QStringLiteral("Label"), u' ', AtRecording(12000),
             QStringLiteral("Key <point> & more"));
  Events.Add(QStringLiteral("Marker"), u'2', AtRecording(31000));
}

QString WriteTestRecording(const QString &AudioFolder, bool Adpcm) {
  const QString path = AudioFolder + u'/' + RecordingRelativeName(kRecordingStart) +
                       QStringLiteral(" (%1).wav").arg(kRecordingSecs);
  QDir().mkpath(QFileInfo(path).path());
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | (Adpcm ? SF_FORMAT_IMA_ADPCM : SF_FORMAT_PCM_16);
  SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  if (!file) return {};
  // A quiet tone, so that a browser has something to decode.
  std::vector<short> samples(static_cast<std::size_t>(kRecordingSecs) * 8000);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<short>(2000 * std::sin(static_cast<double>(i) * 0.2));
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
  return path;
}
