// The stored XML form of a task's conversion settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>

#include "common/ConversionSettings.h"
#include "common/ObjectXml.h"
#include "converter/MessageBoxes.h"

namespace veltrano {
namespace {

void FillSettings(TConversionSettings& s) {
  s.SetSourceFile("/媒体/片段 1.avi");
  s.SetSourceType(TAVSourceType::stDvd);
  s.SetDvdDriver("E");
  s.SetDvdTitle(2);
  s.SetDvdChapter(1);
  s.SetDvdThrough(3);
  s.SetDvdAngle(1);
  s.SetDvdVolume("MOVIE");
  s.SetTargetFile("/out/clip.mp4");
  s.SetProfile("IPhone MPEG4 Video");
  s.SetCategoryId(1);
  s.SetDuration(12.345);
  s.SetSourceFileSize(5000000000LL);
  TAVConvertOptions& o = s.ConvertOptions();
  o.AudioOptions().SetAudioDriftThreshold(0.1f);
  o.AudioOptions().SetAudioSampleFmt(sfS16);
  o.AudioOptions().SetEncoderAudioCodecName("libfaac");
  o.AudioOptions().SetMaxFrames(100);
  o.VideoOptions().SetFrameRate(TRational(30000, 1001));
  o.VideoOptions().SetCustomFrameRate(true);
  o.VideoOptions().SetFrameAspectRatio(4.0f / 3.0f);
  o.VideoOptions().SetEncoderVideoCodecName("mpeg4");
  o.MuxerOptions().SetMuxPreload(0.44f);
  o.MuxerOptions().SetVideoBitstreamFilters({"h264_mp4toannexb"});
  o.FilterOptions().SetVideoFilters("logo=10|20|C:\\\\a.png, vflip,negate ");
  o.SetMetaData({"title=<&> \"quoted\"", "comment=\ttabbed\r\nline"});
  o.SetCodecOptions({"g=15", "", "qmin=3"});
  o.SetRecordingTime(MaxInt64);
  o.SetStartTime(-5);
  o.SetThreadCount(4);
  o.SetStreamMaps({"0:0", "0:1"});
}

std::string RoundTrip(const TConversionSettings& s, TConversionSettings& back) {
  const std::string text = SettingsToXml(s);
  SettingsFromXml(back, text);
  return text;
}

// The child element names of the element at `path` (slash-separated).
std::vector<std::string> ChildNames(const std::string& xml, const char* path) {
  pugi::xml_document document;
  document.load_string(xml.c_str());
  std::vector<std::string> names;
  for (pugi::xml_node child : document.first_element_by_path(path).children()) {
    if (child.type() == pugi::node_element) names.emplace_back(child.name());
  }
  return names;
}

TEST(SettingsXmlTest, RoundTripKeepsEveryValue) {
  TConversionSettings s;
  FillSettings(s);
  TConversionSettings back;
  const std::string text = RoundTrip(s, back);
  EXPECT_EQ(SettingsToXml(back), text);
  EXPECT_EQ(back.SourceFile(), "/媒体/片段 1.avi");
  EXPECT_EQ(back.SourceType(), TAVSourceType::stDvd);
  EXPECT_EQ(back.DvdThrough(), 3);
  EXPECT_EQ(back.Duration(), 12.345);
  EXPECT_EQ(back.SourceFileSize(), 5000000000LL);
  const TAVConvertOptions& o = back.ConvertOptions();
  EXPECT_EQ(o.RecordingTime(), MaxInt64);
  EXPECT_EQ(o.StartTime(), -5);
  EXPECT_EQ(o.AudioOptions().AudioDriftThreshold(), 0.1f);
  EXPECT_EQ(o.AudioOptions().AudioSampleFmt(), sfS16);
  EXPECT_EQ(o.VideoOptions().FrameAspectRatio(), 4.0f / 3.0f);
  EXPECT_EQ(o.VideoOptions().FrameRate().den(), 1001);
  EXPECT_TRUE(o.VideoOptions().CustomFrameRate());
  EXPECT_EQ(o.MuxerOptions().MuxPreload(), 0.44f);
  EXPECT_EQ(o.FilterOptions().VideoFilters(), "logo=10|20|C:\\\\a.png, vflip,negate ");
  EXPECT_EQ(o.MetaData(), (TStrings{"title=<&> \"quoted\"", "comment=\ttabbed\r\nline"}));
  EXPECT_EQ(o.CodecOptions(), (TStrings{"g=15", "", "qmin=3"}));
  EXPECT_EQ(o.ThreadCount(), 4);
  EXPECT_EQ(o.StreamMaps(), (TStrings{"0:0", "0:1"}));
}

TEST(SettingsXmlTest, WritesTheDocumentedForm) {
  TConversionSettings s;
  FillSettings(s);
  const std::string text = SettingsToXml(s);
  EXPECT_NE(text.find("<data PropFormat=\"node\">"), std::string::npos);
  EXPECT_NE(text.find("<AudioDriftThreshold>0.100000001490116</AudioDriftThreshold>"),
            std::string::npos);
  EXPECT_NE(text.find("<MuxPreload>0.439999997615814</MuxPreload>"), std::string::npos);
  EXPECT_NE(text.find("<FrameAspectRatio>1.33333337306976</FrameAspectRatio>"), std::string::npos);
  EXPECT_NE(text.find("<RecordingTime>9223372036854775807</RecordingTime>"), std::string::npos);
  EXPECT_NE(text.find("<SourceType>stDvd</SourceType>"), std::string::npos);
  EXPECT_NE(text.find("<AudioSampleFmt>sfS16</AudioSampleFmt>"), std::string::npos);
  EXPECT_NE(text.find("<CustomFrameRate>1</CustomFrameRate>"), std::string::npos);
  EXPECT_EQ(ChildNames(text, "data/TConversionSettings/ConvertOptions/CodecOptions"),
            (std::vector<std::string>{"l0", "l2"}));
  EXPECT_NE(text.find("<CodecOptions Count=\"3\">"), std::string::npos);
  EXPECT_EQ(
      ChildNames(text, "data/TConversionSettings"),
      (std::vector<std::string>{"SourceFile", "SourceType", "DvdDriver", "DvdTitle", "DvdChapter",
                                "DvdThrough", "DvdAngle", "DvdVolume", "TargetFile", "Profile",
                                "CategoryId", "ConvertOptions", "Duration", "SourceFileSize"}));
  EXPECT_EQ(
      ChildNames(text, "data/TConversionSettings/ConvertOptions"),
      (std::vector<std::string>{"AudioOptions", "SubtitleOptions", "VideoOptions", "MuxerOptions",
                                "GrabOptions", "FilterOptions", "MetaData", "CodecOptions",
                                "StartTime", "RecordingTime", "ThreadCount", "StreamMaps"}));
}

TEST(SettingsXmlTest, LeavesOutEmptyAndDefaultValues) {
  TConversionSettings fresh;
  const std::string text = SettingsToXml(fresh);
  EXPECT_EQ(ChildNames(text, "data/TConversionSettings"),
            (std::vector<std::string>{"SourceType", "DvdTitle", "DvdChapter", "DvdThrough",
                                      "DvdAngle", "CategoryId", "ConvertOptions"}));
  EXPECT_EQ(ChildNames(text, "data/TConversionSettings/ConvertOptions"),
            (std::vector<std::string>{"AudioOptions", "SubtitleOptions", "VideoOptions",
                                      "MuxerOptions", "GrabOptions", "MetaData", "CodecOptions",
                                      "RecordingTime", "StreamMaps"}));
  const std::vector<std::string> video =
      ChildNames(text, "data/TConversionSettings/ConvertOptions/VideoOptions");
  // 25/1 and the declared defaults vanish; MaxFrames of video declares none.
  EXPECT_EQ(std::count(video.begin(), video.end(), "FrameRate"), 0);
  EXPECT_EQ(std::count(video.begin(), video.end(), "IntraDcPrecision"), 0);
  EXPECT_EQ(std::count(video.begin(), video.end(), "CustomFrameRate"), 0);
  EXPECT_EQ(std::count(video.begin(), video.end(), "MaxFrames"), 1);
  EXPECT_EQ(std::count(video.begin(), video.end(), "IntraMatrix"), 1);
  const std::vector<std::string> audio =
      ChildNames(text, "data/TConversionSettings/ConvertOptions/AudioOptions");
  EXPECT_EQ(std::count(audio.begin(), audio.end(), "MaxFrames"), 0);
  EXPECT_EQ(std::count(audio.begin(), audio.end(), "EncoderAudioCodecName"), 0);
  EXPECT_NE(text.find("<MetaData Count=\"0\""), std::string::npos);

  TConversionSettings back;
  back.SetSourceFile("will be cleared");
  SettingsFromXml(back, text);
  EXPECT_EQ(back.SourceFile(), "");
  EXPECT_EQ(SettingsToXml(back), text);
}

TEST(SettingsXmlTest, AttrFormAndLetterCaseReadLikeTheNodeForm) {
  const std::string attr =
      "<DATA propformat=\"ATTR\"><tconversionsettings SourceFile=\"/a b.avi\" "
      "sourcetype=\"STDVD\" DvdTitle=\"4\" Duration=\"1.5\" SourceFileSize=\"77\">"
      "<convertoptions ThreadCount=\"3\" OutputFormat=\"mp4\">"
      "<VIDEOOPTIONS FrameWidth=\"320\" Pass=\"1\"><framerate num=\"30\" den=\"1\"/>"
      "</VIDEOOPTIONS>"
      "<codecoptions COUNT=\"2\" L1=\"qmin=3\"/>"
      "</convertoptions></tconversionsettings></DATA>";
  TConversionSettings s;
  SettingsFromXml(s, attr);
  EXPECT_EQ(s.SourceFile(), "/a b.avi");
  EXPECT_EQ(s.SourceType(), TAVSourceType::stDvd);
  EXPECT_EQ(s.DvdTitle(), 4);
  EXPECT_EQ(s.Duration(), 1.5);
  EXPECT_EQ(s.SourceFileSize(), 77);
  const TAVConvertOptions& o = s.ConvertOptions();
  EXPECT_EQ(o.ThreadCount(), 3);
  EXPECT_EQ(o.OutputFormat(), "mp4");
  EXPECT_EQ(o.VideoOptions().FrameWidth(), 320);
  EXPECT_EQ(o.VideoOptions().Pass(), 1);
  EXPECT_EQ(o.VideoOptions().FrameRate().num(), 30);
  EXPECT_EQ(o.CodecOptions(), (TStrings{"", "qmin=3"}));

  // The node form with every element name in other letters.
  TConversionSettings original;
  FillSettings(original);
  std::string shouted;
  bool in_name = false;
  for (char c : SettingsToXml(original)) {
    if (c == '<') in_name = true;
    if (c == '>' || c == ' ') in_name = false;
    shouted += in_name ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
  }
  TConversionSettings back;
  SettingsFromXml(back, shouted);
  EXPECT_EQ(SettingsToXml(back), SettingsToXml(original));
}

TEST(SettingsXmlTest, MalformedValuesRaiseTheirMessagesAfterReadingWhatCameBefore) {
  struct TCase {
    std::string body;
    std::string message;
  };
  const std::vector<TCase> cases{
      {"<SourceType>stFloppy</SourceType>", "Invalid property element: stFloppy"},
      {"<DvdTitle>two</DvdTitle>", "Invalid integer value (two)."},
      {"<DvdTitle>4294967296</DvdTitle>", "Invalid integer value (4294967296)."},
      {"<SourceFileSize>1e3</SourceFileSize>", "Invalid int64 value (1e3)."},
      {"<ConvertOptions><AudioOptions><AudioDisable>yes</AudioDisable></AudioOptions>"
       "</ConvertOptions>",
       "Invalid boolean value (yes)."},
      {"<ConvertOptions><CodecOptions Count=\"x\"/></ConvertOptions>",
       "Invalid integer value (x)."},
      {"<ConvertOptions><CodecOptions Count=\"999999999\"/></ConvertOptions>",
       "Invalid integer value (999999999)."},
  };
  for (const TCase& c : cases) {
    TConversionSettings s;
    const std::string text =
        "<data PropFormat=\"node\"><TConversionSettings>"
        "<SourceFile>first</SourceFile>" +
        c.body + "</TConversionSettings></data>";
    try {
      SettingsFromXml(s, text);
      ADD_FAILURE() << "no error for " << c.body;
    } catch (const EPersistError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
    EXPECT_EQ(s.SourceFile(), "first");
  }

  TConversionSettings s;
  s.SetDuration(9);
  SettingsFromXml(s,
                  "<data><TConversionSettings><Duration>soon</Duration><Unknown>1</Unknown>"
                  "</TConversionSettings></data>");
  EXPECT_EQ(s.Duration(), 0.0);  // floats that do not parse read as 0, unknown names are ignored
  EXPECT_THROW(SettingsFromXml(s, "<data PropFormat=\"auto\"><TConversionSettings/></data>"),
               EPersistError);
  try {
    SettingsFromXml(s, "<data PropFormat=\"Auto\"/>");
  } catch (const EPersistError& error) {
    EXPECT_STREQ(error.what(), "Auto PropFormat not allowed here.");
  }
}

TEST(SettingsXmlTest, MalformedOrEmptyTextReadsNothing) {
  for (const char* text : {"", "   ", "<data><TConversionSettings>", "not xml at all",
                           "<data PropFormat=\"node\"><Other/></data>"}) {
    TConversionSettings s;
    s.SetSourceFile("kept");
    s.SetCategoryId(7);
    EXPECT_NO_THROW(SettingsFromXml(s, text)) << text;
    EXPECT_EQ(s.SourceFile(), "kept");
    EXPECT_EQ(s.CategoryId(), 7);
  }
}

TEST(SettingsXmlTest, AHandWrittenDocumentKeepsTheOrdinalsItDoesNotName) {
  std::vector<std::string> boxes;
  const TErrorBoxHandler previous =
      SetErrorBoxHandler([&](const std::string& text) { boxes.push_back(text); });
  TConversionSettings s;
  SettingsFromXml(s,
                  "<data><TConversionSettings><TargetFile>/o.mp4</TargetFile><ConvertOptions>"
                  "<VideoOptions><FrameWidth>320</FrameWidth></VideoOptions>"
                  "<AudioOptions><AudioChannels>1</AudioChannels></AudioOptions>"
                  "</ConvertOptions></TConversionSettings></data>");
  SetErrorBoxHandler(previous);
  EXPECT_TRUE(boxes.empty());  // no crop band or pass refused
  const TAVConvertOptions& o = s.ConvertOptions();
  EXPECT_EQ(o.VideoOptions().FrameWidth(), 320);
  EXPECT_EQ(o.VideoOptions().FrameHeight(), 0);
  EXPECT_EQ(o.VideoOptions().VideoSyncMethod(), -1);
  EXPECT_EQ(o.AudioOptions().AudioVolume(), 256);
  EXPECT_EQ(o.AudioOptions().AudioChannels(), 1);
  // Declared defaults apply as written; floats and strings not named are 0 and empty.
  EXPECT_EQ(o.AudioOptions().MaxFrames(), MaxInt);
  EXPECT_EQ(o.AudioOptions().AudioDriftThreshold(), 0.0f);
  EXPECT_EQ(o.ThreadCount(), 1);
  EXPECT_EQ(o.RecordingTime(), MaxInt64);  // 64-bit values keep theirs
}

// Gives every stored property of `object` and its sub-objects a value other
// than the one it has, through the table (so the setters' rules hold).
void ChangeEveryProperty(TPersistent& object) {
  for (const TPropInfo& info : object.Properties()) {
    if (!info.stored) continue;
    switch (info.kind) {
      case TPropKind::Object:
        ChangeEveryProperty(*info.object(object));
        break;
      case TPropKind::StringList:
        info.set(object, TStrings(64, "7"));  // 64 lines: a valid matrix too
        break;
      case TPropKind::String:
        info.set(object, std::string("x"));
        break;
      case TPropKind::Single:
      case TPropKind::Double:
        info.set(object, 1.5);
        break;
      case TPropKind::Boolean:
        info.set(object, int64_t{std::get<int64_t>(info.get(object)) == 0 ? 1 : 0});
        break;
      default:
        info.set(object, int64_t{std::get<int64_t>(info.get(object)) == 1 ? 2 : 1});
        break;
    }
  }
}

TEST(SettingsXmlTest, AssignCopiesEveryPropertyTheTablesList) {
  TConversionSettings source;
  ChangeEveryProperty(source);
  TVideoOptions& video = source.ConvertOptions().VideoOptions();
  video.SetVideoDiscard(2);
  video.SetFramePixFormat(3);
  TConversionSettings copy;
  copy.Assign(source);
  const std::string text = SettingsToXml(source);
  EXPECT_NE(text, SettingsToXml(TConversionSettings()));
  EXPECT_EQ(SettingsToXml(copy), text);

  // The run-time entries travel with a copy but are neither stored, read nor
  // found by name.
  EXPECT_EQ(copy.ConvertOptions().VideoOptions().VideoDiscard(), 2);
  EXPECT_EQ(copy.ConvertOptions().VideoOptions().FramePixFormat(), 3);
  EXPECT_EQ(text.find("VideoDiscard"), std::string::npos);
  EXPECT_EQ(text.find("FramePixFormat"), std::string::npos);
  EXPECT_EQ(video.FindProperty("FramePixFormat"), nullptr);
  TConversionSettings read;
  SettingsFromXml(read,
                  "<data><TConversionSettings><ConvertOptions><VideoOptions>"
                  "<FramePixFormat>5</FramePixFormat><VideoDiscard>4</VideoDiscard>"
                  "</VideoOptions></ConvertOptions></TConversionSettings></data>");
  EXPECT_EQ(read.ConvertOptions().VideoOptions().FramePixFormat(), -1);
  EXPECT_EQ(read.ConvertOptions().VideoOptions().VideoDiscard(), 0);
}

TEST(SettingsXmlTest, BlankAndControlCharactersSurvive) {
  TConversionSettings s;
  s.ConvertOptions().FilterOptions().SetVideoFilters("  ");
  s.SetProfile(std::string("a\x01z"));
  s.SetTargetFile(" lead and trail ");
  TConversionSettings back;
  RoundTrip(s, back);
  EXPECT_EQ(back.ConvertOptions().FilterOptions().VideoFilters(), "  ");
  EXPECT_EQ(back.Profile(), std::string("a\x01z"));
  EXPECT_EQ(back.TargetFile(), " lead and trail ");
}

}  // namespace
}  // namespace veltrano
