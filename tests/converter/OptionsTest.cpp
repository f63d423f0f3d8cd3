// The options model: defaults, setter refusals, Assign and advanced options.
#include <gtest/gtest.h>

#include "converter/AVError.h"
#include "converter/AVOptions.h"
#include "support/EngineHarness.h"

namespace veltrano {
namespace {

using test::TMessageRecorder;

TStrings Lines(size_t count, const std::string& text) { return TStrings(count, text); }

TEST(Options, FreshObjectHasTheDocumentedDefaults) {
  TAVConvertOptions o;
  EXPECT_EQ(o.ThreadCount(), 1);
  EXPECT_EQ(o.RecordingTime(), MaxInt64);
  EXPECT_EQ(o.LoopOutput(), -1);
  EXPECT_EQ(o.SwsFlags(), 4);
  EXPECT_FLOAT_EQ(o.DtsDeltaThreshold(), 10.0f);
  EXPECT_EQ(o.MaxDataFrames(), MaxInt);
  EXPECT_EQ(o.AudioOptions().AudioVolume(), 256);
  EXPECT_FLOAT_EQ(o.AudioOptions().AudioQScale(), -99999.0f);
  EXPECT_FLOAT_EQ(o.AudioOptions().AudioDriftThreshold(), 0.1f);
  EXPECT_EQ(o.AudioOptions().MaxFrames(), MaxInt);
  EXPECT_EQ(o.AudioOptions().AudioSampleFmt(), sfAuto);
  EXPECT_EQ(o.VideoOptions().IntraDcPrecision(), 8);
  EXPECT_EQ(o.VideoOptions().VideoSyncMethod(), -1);
  EXPECT_EQ(o.VideoOptions().TopFieldFirst(), -1);
  EXPECT_EQ(o.VideoOptions().FramePixFormat(), -1);
  EXPECT_EQ(o.VideoOptions().FrameRate().num(), 25);
  EXPECT_EQ(o.VideoOptions().FrameRate().den(), 1);
  EXPECT_EQ(o.VideoOptions().MaxFrames(), MaxInt);
  EXPECT_FALSE(o.VideoOptions().CustomFrameRate());
  EXPECT_FLOAT_EQ(o.MuxerOptions().MuxPreload(), 0.5f);
  EXPECT_FLOAT_EQ(o.MuxerOptions().MuxMaxDelay(), 0.7f);
  EXPECT_TRUE(o.CodecOptions().empty());
  EXPECT_TRUE(o.OutputFormat().empty());
}

TEST(Options, AutoSampleFormatNeverReplacesAChosenOne) {
  TAudioOptions audio;
  audio.SetAudioSampleFmt(sfS16);
  audio.SetAudioSampleFmt(sfAuto);
  EXPECT_EQ(audio.AudioSampleFmt(), sfS16);

  TAudioOptions source;  // sfAuto
  audio.Assign(source);
  EXPECT_EQ(audio.AudioSampleFmt(), sfS16);
  EXPECT_EQ(LibrarySampleFormat(sfS16), 1);
  EXPECT_EQ(LibrarySampleFormat(sfAuto), -1);
}

TEST(Options, NegativeCropBandsAndBadPassesAreRefusedWithTheirMessages) {
  TMessageRecorder messages;
  TVideoOptions video;
  video.SetFrameLeftBand(4);
  video.SetFrameLeftBand(-1);
  video.SetFrameRightBand(-2);
  video.SetFrameTopBand(-3);
  video.SetFrameBottomBand(-4);
  EXPECT_EQ(video.FrameLeftBand(), 4);
  EXPECT_EQ(video.FrameRightBand(), 0);
  for (int pass : {0, 1, 2}) {
    video.SetPass(pass);
    EXPECT_EQ(video.Pass(), pass);
  }
  video.SetPass(3);
  video.SetPass(-1);
  EXPECT_EQ(video.Pass(), 2);
  EXPECT_EQ(messages.Errors(),
            (TStrings{"Incorrect left crop size", "Incorrect right crop size",
                      "Incorrect top crop size", "Incorrect bottom crop size",
                      "pass number can be only 0, 1 or 2", "pass number can be only 0, 1 or 2"}));
}

TEST(Options, MatricesNeedSixtyFourIntegers) {
  TMessageRecorder messages;
  TVideoOptions video;
  video.SetIntraMatrix(Lines(64, "16"));
  EXPECT_EQ(video.IntraMatrix().size(), 64u);
  for (uint16_t value : video.Intra_Matrix()) EXPECT_EQ(value, 16);

  video.SetIntraMatrix(Lines(63, "8"));
  EXPECT_EQ(video.IntraMatrix(), Lines(64, "16"));

  TStrings with_decimal = Lines(64, "9");
  with_decimal[10] = "1.0";
  video.SetInterMatrix(with_decimal);
  EXPECT_TRUE(video.InterMatrix().empty());
  // Entries before the bad one were written; the list was not taken.
  EXPECT_EQ(video.Inter_Matrix()[9], 9);

  TStrings with_text = Lines(64, "9");
  with_text[0] = "9x";
  video.SetInterMatrix(with_text);
  EXPECT_TRUE(video.InterMatrix().empty());

  TStrings big = Lines(64, "65537");  // the low 16 bits are kept
  video.SetInterMatrix(big);
  EXPECT_EQ(video.Inter_Matrix()[0], 1);

  video.SetIntraMatrix({});
  EXPECT_TRUE(video.IntraMatrix().empty());
  EXPECT_EQ(video.Intra_Matrix()[0], 16);  // the array keeps its contents

  EXPECT_EQ(messages.Errors(), (TStrings{"matrix element count should be equal 64",
                                         "Invalid matrix element", "Invalid matrix element"}));
}

TEST(Options, AdvancedOptionsAddChangeAndRemoveLinesIgnoringCase) {
  TAVConvertOptions o;
  o.SetAdvancedOption("mbd", "rd");
  EXPECT_EQ(o.CodecOptions(), TStrings{"mbd=rd"});
  o.SetAdvancedOption("g", "300");
  o.SetAdvancedOption("MBD", "bits");
  EXPECT_EQ(o.CodecOptions(), (TStrings{"mbd=bits", "g=300"}));
  o.SetAdvancedOption("Mbd", "");
  EXPECT_EQ(o.CodecOptions(), TStrings{"g=300"});
  o.SetAdvancedOption("flags", "+a=b");  // the value may hold '='
  o.SetAdvancedOption("flags", "+c");
  EXPECT_EQ(o.CodecOptions(), (TStrings{"g=300", "flags=+c"}));
}

TEST(Options, AssignCopiesTheStoredSetOnly) {
  TAVConvertOptions source;
  source.AudioOptions().SetEncoderAudioCodecName("mp2");
  source.AudioOptions().SetAudioSampleFmt(sfFLT);
  source.VideoOptions().SetFrameWidth(320);
  source.VideoOptions().SetIntraMatrix(Lines(64, "12"));
  source.VideoOptions().FrameRate().Setnum(30000);
  source.VideoOptions().FrameRate().Setden(1001);
  source.VideoOptions().SetCustomFrameRate(true);
  source.VideoOptions().SetFramePixFormat(3);
  source.MuxerOptions().SetVideoBitstreamFilters({"h264_mp4toannexb"});
  source.FilterOptions().SetVideoFilters("negate");
  source.SetMetaData({"title=x"});
  source.SetCodecOptions({"g=12"});
  source.SetStreamMaps({"0=1"});
  source.SetStartTime(5);
  source.SetRecordingTime(7);
  source.SetThreadCount(4);
  source.SetOutputFormat("avi");
  source.SetInputFormat("mpeg");
  // Run-time properties.
  source.SetCopyTS(true);
  source.SetProgramID(3);
  source.SetAudioSize(100);
  source.SetVideoSize(200);
  source.SetSwsFlags(2);

  TAVConvertOptions copy;
  copy.SetLoopOutput(7);
  copy.Assign(source);
  EXPECT_EQ(copy.AudioOptions().EncoderAudioCodecName(), "mp2");
  EXPECT_EQ(copy.AudioOptions().AudioSampleFmt(), sfFLT);
  EXPECT_EQ(copy.VideoOptions().FrameWidth(), 320);
  EXPECT_EQ(copy.VideoOptions().Intra_Matrix()[63], 12);
  EXPECT_EQ(copy.VideoOptions().FrameRate().num(), 30000);
  EXPECT_EQ(copy.VideoOptions().FrameRate().den(), 1001);
  EXPECT_TRUE(copy.VideoOptions().CustomFrameRate());
  EXPECT_EQ(copy.VideoOptions().FramePixFormat(), 3);
  EXPECT_EQ(copy.MuxerOptions().VideoBitstreamFilters(), TStrings{"h264_mp4toannexb"});
  EXPECT_EQ(copy.FilterOptions().VideoFilters(), "negate");
  EXPECT_EQ(copy.MetaData(), TStrings{"title=x"});
  EXPECT_EQ(copy.CodecOptions(), TStrings{"g=12"});
  EXPECT_EQ(copy.StreamMaps(), TStrings{"0=1"});
  EXPECT_EQ(copy.StartTime(), 5);
  EXPECT_EQ(copy.RecordingTime(), 7);
  EXPECT_EQ(copy.ThreadCount(), 4);
  EXPECT_EQ(copy.OutputFormat(), "avi");
  EXPECT_EQ(copy.InputFormat(), "mpeg");
  EXPECT_FALSE(copy.CopyTS());
  EXPECT_EQ(copy.ProgramID(), 0);
  EXPECT_EQ(copy.AudioSize(), 0);
  EXPECT_EQ(copy.VideoSize(), 0);
  EXPECT_EQ(copy.SwsFlags(), 4);
  EXPECT_EQ(copy.LoopOutput(), 7);

  // Sub-objects are copied into, never replaced.
  TAudioOptions* owned = &copy.AudioOptions();
  copy.SetAudioOptions(source.AudioOptions());
  EXPECT_EQ(owned, &copy.AudioOptions());
}

TEST(Options, AssignFromAnotherClassIsRefused) {
  TAudioOptions audio;
  TVideoOptions video;
  EXPECT_THROW(audio.Assign(video), EConvertError);
  try {
    video.Assign(audio);
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TAudioOptions to a TVideoOptions.");
  }
}

TEST(Options, PropertyTablesWriteThroughTheSetters) {
  TMessageRecorder messages;
  TAVConvertOptions o;
  const TPropInfo* video = o.FindProperty("videooptions");
  ASSERT_NE(video, nullptr);
  TPersistent* sub = video->object(o);
  const TPropInfo* band = sub->FindProperty("FrameTopBand");
  ASSERT_NE(band, nullptr);
  band->set(*sub, int64_t{-5});
  EXPECT_EQ(o.VideoOptions().FrameTopBand(), 0);
  EXPECT_EQ(messages.Errors(), TStrings{"Incorrect top crop size"});

  const TPropInfo* format = o.AudioOptions().FindProperty("AudioSampleFmt");
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->enum_names.at(2), "sfS16");
  format->set(o.AudioOptions(), int64_t{2});
  EXPECT_EQ(o.AudioOptions().AudioSampleFmt(), sfS16);
  EXPECT_EQ(std::get<double>(o.AudioOptions().FindProperty("AudioDriftThreshold")->get(
                o.AudioOptions())),
            static_cast<double>(0.1f));
  EXPECT_EQ(o.FindProperty("ThreadCount")->declared_default, 1);
  EXPECT_EQ(o.FindProperty("RecordingTime")->kind, TPropKind::Int64);
  // Run-time properties are not published.
  EXPECT_EQ(o.FindProperty("CopyTS"), nullptr);
}

}  // namespace
}  // namespace veltrano
