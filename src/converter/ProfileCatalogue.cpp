#include "converter/ProfileCatalogue.h"

#include <cstdint>
#include <memory>

#include "converter/TextLists.h"

namespace veltrano {
namespace {

using A = TCustomAudioEncoder;
using V = TCustomVideoEncoder;
using F = TCustomAVFormat;
using R = TCustomFrameRate;

enum class TEntryKind { Vcd, Dv, Dv50, Dvd, SVcd, Image, Audio, Video };

// One catalogue row. Values a row does not give keep the construction
// values of the profile class.
struct TEntry {
  TEntryKind kind = TEntryKind::Audio;
  const char* name = "";
  const char* description = "";
  const char* extension = "";
  const char* category = "";
  int32_t sample_rate = 0;
  A audio = A::AAC;
  double audio_kbits = 0;
  F format = F::F_NONE;
  int32_t width = 0;
  int32_t height = 0;
  V video = V::H263;
  R rate = R::rOriginal;
  int32_t video_kbits = 0;
  TCustomAudioChannels channels = TCustomAudioChannels::stereo2;
  TAVAspectRatio aspect = TAVAspectRatio::AR_NONE;
  const char* options = "";  // comma text
  TAVImageType image = TAVImageType::bitmap;

  TEntry Mono() const {
    TEntry e = *this;
    e.channels = TCustomAudioChannels::mono1;
    return e;
  }
  TEntry Aspect43() const {
    TEntry e = *this;
    e.aspect = TAVAspectRatio::AR4_3;
    return e;
  }
  TEntry Options(const char* comma_text) const {
    TEntry e = *this;
    e.options = comma_text;
    return e;
  }
};

TEntry Disc(TEntryKind kind, const char* name) {
  TEntry e;
  e.kind = kind;
  e.name = name;
  return e;
}

TEntry Image(const char* name, const char* description, const char* extension, const char* category,
             TAVImageType image) {
  TEntry e;
  e.kind = TEntryKind::Image;
  e.name = name;
  e.description = description;
  e.extension = extension;
  e.category = category;
  e.image = image;
  return e;
}

TEntry Audio(const char* name, const char* description, const char* extension, const char* category,
             int32_t sample_rate, A audio, double audio_kbits, F format) {
  TEntry e;
  e.kind = TEntryKind::Audio;
  e.name = name;
  e.description = description;
  e.extension = extension;
  e.category = category;
  e.sample_rate = sample_rate;
  e.audio = audio;
  e.audio_kbits = audio_kbits;
  e.format = format;
  return e;
}

TEntry Video(const char* name, const char* description, const char* extension, const char* category,
             int32_t sample_rate, A audio, double audio_kbits, F format, int32_t width,
             int32_t height, V video, R rate, int32_t video_kbits) {
  TEntry e = Audio(name, description, extension, category, sample_rate, audio, audio_kbits, format);
  e.kind = TEntryKind::Video;
  e.width = width;
  e.height = height;
  e.video = video;
  e.rate = rate;
  e.video_kbits = video_kbits;
  return e;
}

constexpr const char* kIPhoneMpeg4Options = "maxrate=1000000,qmin=3,qmax=5,bufsize=4096k,g=300";

// The catalogue in list order (positions 1 to 71).
const std::vector<TEntry>& Catalogue() {
  using K = TEntryKind;
  using I = TAVImageType;
  static const std::vector<TEntry> entries{
      Disc(K::Vcd, "pfVcd"),
      Disc(K::Dv, "pfDv"),
      Disc(K::Dv50, "pfDv50"),
      Disc(K::Dvd, "pfDvd_old"),
      Disc(K::SVcd, "pfSVcd"),
      Image("pfImage", "Image Sequence Profile", "%1d.bmp", "", I::bitmap),
      Audio("pfAAC", "AAC Audio", ".mp4", "音频", 48000, A::AAC, 128, F::F_NONE),
      Audio("pfMp3", "MP3 Audio", ".mp3", "音频", 48000, A::MP3, 192, F::F_NONE),
      Video("pfTV264_320", "Apple TV H264 Video(320x240)", ".mp4", "Apple TV", 48000, A::AAC, 64,
            F::F_NONE, 320, 240, V::H264, R::r2997, 1500),
      Video("pfTV264_480", "Apple TV H264 video(640x480)", ".mp4", "Apple TV", 48000, A::AAC, 64,
            F::F_NONE, 640, 480, V::H264, R::r2997, 2000),
      Video("pfTV264_720", "Apple TV H264 video(1280x720)", ".mp4", "Apple TV", 48000, A::AAC, 64,
            F::F_NONE, 1280, 720, V::H264, R::r2997, 2500),
      Video("pfTVMP4_480", "Apple TV MPEG-4 high quality video(640x480)", ".mp4", "Apple TV", 44100,
            A::AAC, 128, F::F_NONE, 640, 480, V::MPEG4, R::r2997, 1500),
      Video("pfTVMP4_480_hq", "Apple TV MPEG-4 video(640x480)", ".mp4", "Apple TV", 44100, A::AAC,
            96, F::F_NONE, 640, 480, V::MPEG4, R::r2997, 1200),
      Video("pfTVMP4_480_lq", "Apple TV MPEG-4 low quality video(640x480)", ".mp4", "Apple TV",
            44100, A::AAC, 64, F::F_NONE, 640, 480, V::MPEG4, R::r2997, 768),
      Video("pfZuneMP4", "Zune MPEG4 Video(320x240)", ".mp4", "Zune", 44100, A::AAC, 64, F::F_NONE,
            320, 240, V::MPEG4, R::r25, 768),
      Video("pfZuneAVC", "Zune H264 Video(320x240)", ".mp4", "Zune", 44100, A::AAC, 64, F::F_NONE,
            320, 240, V::H264, R::r25, 768),
      Video("pfZuneWMV", "Zune Windows Media WMV(320x240)", ".wmv", "Zune", 48000, A::WMAV2, 128,
            F::F_NONE, 320, 240, V::WMV2, R::r25, 1500),
      Video("pfWMX51", "Dell Axim X51 Video", ".wmv", "Windows Mobile", 32000, A::WMAV2, 128,
            F::F_NONE, 320, 240, V::WMV2, R::r25, 768),
      Video("pfWMX51v", "Dell Axim X51v Video", ".wmv", "Windows Mobile", 48000, A::WMAV2, 128,
            F::F_NONE, 320, 240, V::WMV2, R::r25, 1000),
      Video("pfWMPocketPC", "General Pocket PC Video", ".wmv", "Windows Mobile", 32000, A::WMAV2,
            128, F::F_NONE, 320, 240, V::WMV2, R::r25, 768),
      Video("pfWMPocketPC_lq", "General Pocket PC Video(Low Quality)", ".wmv", "Windows Mobile",
            32000, A::WMAV2, 128, F::F_NONE, 176, 144, V::WMV2, R::r25, 384),
      Video("pfWMHP_hw6500", "HP iPAQ hw6500", ".wmv", "Windows Mobile", 32000, A::WMAV2, 128,
            F::F_NONE, 240, 240, V::WMV2, R::r25, 384),
      Video("pfWMHP_hx2000", "HP iPAQ hx2000/rx3000/rx1900", ".wmv", "Windows Mobile", 32000,
            A::WMAV2, 128, F::F_NONE, 320, 240, V::WMV2, R::r25, 768),
      Video("pfWMHP_hx4700", "HP iPAQ hx4700", ".wmv", "Windows Mobile", 48000, A::WMAV2, 128,
            F::F_NONE, 640, 480, V::WMV2, R::r25, 1200),
      Video("pfPS3_hd", "PS3 1080 HD Video", ".mp4", "PS3", 48000, A::AAC, 128, F::F_NONE, 1920,
            1080, V::H264, R::r2997, 35000),
      Video("pfPS3_720", "PS3 720p Video", ".mp4", "PS3", 48000, A::AAC, 128, F::F_NONE, 1280, 720,
            V::H264, R::r2997, 15000),
      Video("pfPS3_480", "PS3 480p Video", ".mp4", "PS3", 48000, A::AAC, 80, F::F_NONE, 720, 480,
            V::H264, R::r2997, 5000),
      Video("pfPSP_Mpeg4", "PSP MPEG4 Video", ".mp4", "PSP", 48000, A::AAC, 64, F::F_PSP, 368, 208,
            V::XVID, R::r2997, 512),
      Video("pfPSP_AVC", "PSP AVC Video", ".mp4", "PSP", 48000, A::AAC, 64, F::F_PSP, 368, 208,
            V::H264, R::r2997, 512),
      Video("pfPSP_HQ", "PSP 480p Video", ".mp4", "PSP", 48000, A::AAC, 80, F::F_PSP, 368, 208,
            V::H264, R::r2997, 1200),
      Video("pfIPhone_264", "IPhone H264 Video", ".mp4", "IPhone", 48000, A::AAC, 128, F::F_MP4,
            480, 320, V::H264, R::r2997, 1000)
          .Aspect43(),
      Video("pfIPhone_264_tele", "IPhone H264 Television Video", ".mp4", "IPhone", 48000, A::AAC,
            128, F::F_MP4, 640, 480, V::H264, R::r2997, 1800),
      Video("pfIPhone_mpeg4", "IPhone MPEG4 Video", ".mp4", "IPhone", 48000, A::AAC, 128, F::F_MP4,
            480, 320, V::MPEG4, R::r2997, 1000)
          .Aspect43()
          .Options(kIPhoneMpeg4Options),
      Video("pfIPhone_mpeg4_tele", "IPhone MPEG4 Television Video", ".mp4", "IPhone", 48000, A::AAC,
            128, F::F_MP4, 640, 480, V::MPEG4, R::r2997, 1800)
          .Options(kIPhoneMpeg4Options),
      Video("pfIPhone_mpeg4_wide", "IPhone MPEG4 Wide Screen Video", ".mp4", "IPhone", 44100,
            A::AAC, 128, F::F_MP4, 720, 406, V::XVID, R::r2997, 1500)
          .Options(kIPhoneMpeg4Options),
      Video("pfIPod", "IPod 320x240 Video", ".mp4", "IPod", 48000, A::AAC, 128, F::F_IPOD, 320, 240,
            V::XVID, R::r2997, 768)
          .Aspect43(),
      Video("pfIPod_HQ", "IPod 320x240 High Quality Video", ".mp4", "IPod", 48000, A::AAC, 192,
            F::F_IPOD, 320, 240, V::XVID, R::r2997, 1000)
          .Aspect43(),
      Video("pfIPod_LQ", "IPod 320x240 Low Quality Video", ".mp4", "IPod", 48000, A::AAC, 64,
            F::F_IPOD, 320, 240, V::XVID, R::r2997, 512)
          .Aspect43(),
      Video("pf3gp", "3GPP", ".3gp", "手机和3gp", 8000, A::AMR_NB, 12.2, F::F_3GP, 176, 144,
            V::H263, R::rOriginal, 128)
          .Mono(),
      Audio("pfAC3", "AC3 Dolby Audio", ".ac3", "音频", 48000, A::AC3, 192, F::F_AC3),
      Video("pf3gp2", "3GPP2", ".3g2", "手机和3gp", 16000, A::AAC, 32, F::F_3GP2, 176, 144,
            V::MPEG4, R::r1499, 192)
          .Options("flags=bitexact"),
      Video("pf3gp2_hq", "3GPP2 High Quality", ".3g2", "手机和3gp", 16000, A::AAC, 32, F::F_3GP2,
            320, 240, V::MPEG4, R::r1499, 384)
          .Options("flags=bitexact"),
      Video("pfIPad_H264", "IPad H264 Video", ".mp4", "IPad", 44100, A::AAC, 128, F::F_NONE, 720,
            576, V::H264, R::r25, 1800),
      Video("pfIPad_H264_HQ", "IPad H264 Hiqh Quality", ".mp4", "IPad", 48000, A::AAC, 160,
            F::F_NONE, 1280, 720, V::H264, R::r25, 4000),
      Video("pfXb_H264_HD", "Xbox360 HD H264 Video", ".mp4", "XBox", 48000, A::AAC, 128, F::F_NONE,
            640, 480, V::H264, R::r2997, 1500),
      Video("pfXb_MPEG_MCE", "Xbox360 MCE HD MPEG2 Video", ".mpg", "Xbox", 48000, A::AC3, 224,
            F::F_NONE, 1440, 1080, V::MPEG2VIDEO, R::r30, 8000),
      Video("pfMKV", "Matroska Video", ".mkv", "视频", 48000, A::MP3, 128, F::F_NONE, 0, 0, V::H264,
            R::r25, 1200),
      Video("pfDVD_PAL", "DVD MPEG TS(PAL)", ".vob", "视频", 48000, A::AC3, 448, F::F_DVD, 720, 576,
            V::MPEG2VIDEO, R::r25, 6000),
      Video("pfDVD_NTSC", "DVD MPEG2 PS(NTSC)", ".vob", "视频", 48000, A::AC3, 448, F::F_DVD, 720,
            480, V::MPEG2VIDEO, R::r2997, 6000),
      Video("pfFlash", "Flash Video", ".flv", "视频", 44100, A::MP3, 64, F::F_FLV, 0, 0, V::FLV,
            R::r1499, 384),
      Video("pfMOV", "Apple Quicktime Video", ".mov", "视频", 44100, A::AAC, 192, F::F_MOV, 352,
            288, V::MPEG4, R::r25, 2000),
      Image("pfJpeg", "JPEG Sequence", "%1d.jpg", "Images", I::jpeg),
      Image("pfGif", "GIF Sequence", "%1d.gif", "Images", I::gif),
      Image("pfPng", "PNG Sequence", "%1d.png", "Images", I::png),
      Image("pfBmp", "BMP Sequence", "%1d.bmp", "Images", I::bitmap),
      Image("pfTiff", "TIFF Sequence", "%1d.tif", "Images", I::tiff),
      Audio("pfdWMA128", "Windows音频", ".wma", "音频", 48000, A::WMAV2, 128, F::F_NONE),
      Audio("pfdM4A128", "MPEG 4 音频", ".m4a", "音频", 48000, A::AAC, 128, F::F_NONE),
      Audio("pfdWAV128", "波形音频", ".wav", "音频", 44100, A::PCM_S16LE, 128, F::F_NONE),
      Audio("pfdMKA128", "Matroska音频", ".mka", "音频", 44100, A::AAC, 128, F::F_NONE),
      Video("pfdMP4Normal", "MPEG-4视频", ".mp4", "视频", 48000, A::AAC, 128, F::F_MP4, 480, 320,
            V::XVID, R::r25, 1500),
      Video("pfdM4V", "M4V视频", ".m4v", "视频", 44100, A::AAC, 128, F::F_MP4, 320, 240, V::H264,
            R::r2997, 1600),
      Video("pfdAVINormal", "音视频交错格式(*.avi)", ".avi", "视频", 44100, A::PCM_S16LE, 128,
            F::F_AVI, 640, 480, V::MPEG4, R::rOriginal, 1200),
      Video("pfdAVIXviD", "XviD影片(*.avi)", ".avi", "视频", 48000, A::MP3, 128, F::F_AVI, 640, 480,
            V::XVID, R::r25, 1200),
      Video("pfdWMVNormal", "Windows视频(*.wmv)", ".wmv", "视频", 48000, A::WMAV2, 128, F::F_NONE,
            320, 240, V::WMV2, R::r25, 1200),
      // The audio bitrate of 48000 kbit/s is the catalogue's own value.
      Video("pfdWMVhd", "Windows视频高清(*.wmv)", ".wmv", "视频", 48000, A::WMAV2, 48000, F::F_NONE,
            720, 576, V::WMV2, R::r25, 4000),
      Video("pfdM2ts", "MPEG-2 Transport Stream(*.m2ts)", ".m2ts", "视频", 48000, A::AC3, 256,
            F::F_NONE, 1280, 1024, V::H264, R::r25, 8000),
      Video("pfdASF", "高级流媒体(*.asf)", ".asf", "视频", 48000, A::WMAV2, 128, F::F_NONE, 0, 0,
            V::MSMPEGV3, R::r25, 1200),
      Video("pfdFLVNormal", "Flash Video(*.flv)", ".flv", "Flash视频", 44100, A::MP3, 64, F::F_FLV,
            0, 0, V::FLV, R::r1499, 384),
      Video("pfdF4V", "Flash Video格式(*.f4v)", ".f4v", "Flash视频", 44100, A::AAC, 128, F::F_MP4,
            0, 0, V::H264, R::r2997, 1500),
      Video("pfdSWFNormal", "Flash SWF格式(*.swf)", ".swf", "Flash视频", 44100, A::MP3, 32,
            F::F_NONE, 0, 0, V::FLV, R::r1499, 400),
  };
  return entries;
}

void FillAudio(TAVCustomAudioProfile& p, const TEntry& e) {
  p.SetSampleRate(e.sample_rate);
  p.SetAudioEncoder(e.audio);
  p.SetAudioBitrate(e.audio_kbits);
  p.SetAudioChannels(e.channels);
  p.SetFormat(e.format);
  p.SetOptions(ParseCommaText(e.options));
}

std::unique_ptr<TAVProfile> CreateProfile(const TEntry& e) {
  switch (e.kind) {
    case TEntryKind::Vcd:
      return std::make_unique<TAVVcdProfile>();
    case TEntryKind::Dv:
      return std::make_unique<TAVDvProfile>();
    case TEntryKind::Dv50:
      return std::make_unique<TAVDv50Profile>();
    case TEntryKind::Dvd:
      return std::make_unique<TAVDvdProfile>();
    case TEntryKind::SVcd:
      return std::make_unique<TAVSVcdProfile>();
    case TEntryKind::Image: {
      auto p = std::make_unique<TAVImageProfile>();
      p->SetImageType(e.image);
      return p;
    }
    case TEntryKind::Audio: {
      auto p = std::make_unique<TAVCustomAudioProfile>();
      FillAudio(*p, e);
      return p;
    }
    case TEntryKind::Video: {
      auto p = std::make_unique<TAVCustomVideoProfile>();
      FillAudio(*p, e);
      p->SetFrameWidth(e.width);
      p->SetFrameHeight(e.height);
      p->SetVideoEncoder(e.video);
      p->SetFrameRate(e.rate);
      p->SetVideoBitrate(e.video_kbits);
      p->SetFrameAspectRatio(e.aspect);
      return p;
    }
  }
  return nullptr;
}

}  // namespace

const TStrings& CatalogueCategories() {
  static const TStrings categories{"视频",   "音频",           "手机和3gp", "Flash视频", "IPad",
                                   "IPhone", "IPod",           "Zune",      "PSP",       "PS3",
                                   "Xbox",   "Windows Mobile", "Apple TV"};
  return categories;
}

void BuildCatalogue(TAVProfileList& list) {
  list.SetCategories(CatalogueCategories());
  for (const TEntry& entry : Catalogue()) {
    std::unique_ptr<TAVProfile> profile = CreateProfile(entry);
    profile->SetName(entry.name);
    // Disc-standard profiles keep the description and extension their
    // class gives them.
    if (*entry.description != '\0') profile->SetDescription(entry.description);
    if (*entry.extension != '\0') profile->SetExtension(entry.extension);
    profile->SetCategory(entry.category);
    list.AddProfile(std::move(profile));
  }
}

}  // namespace veltrano
