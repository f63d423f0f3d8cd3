// TAVPreview: one still picture of a media source at a chosen time, without
// any toolkit. The GUI's preview widget owns one and paints its Bitmap
// (stretched over the widget while Active, black otherwise).
//
// The source is a file or a "stream:N" name (a DVD title); setting the time
// seeks, decodes the first picture from there and converts it to 24-bit RGB.
// Everything runs synchronously on the calling (user-interface) thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/FFmpegPtr.h"

namespace veltrano {

class TStreamIO;

// A picture as rows of 3-byte pixels in red, green, blue order, top row
// first. Rows are padded to a multiple of 4 bytes (Stride), so that any width
// can be handed to a toolkit image as it is.
class TPreviewBitmap {
 public:
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  int BitsPerPixel() const { return 24; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  const uint8_t* Bits() const { return pixels_.data(); }
  const uint8_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * stride_; }
  // The pixel at (x, y) as 0xRRGGBB.
  uint32_t Pixel(int x, int y) const;

  // Resizes to `width` x `height`; the content is undefined afterwards.
  void SetSize(int width, int height);
  uint8_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * stride_; }

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> pixels_;
};

class TAVPreview {
 public:
  TAVPreview();
  ~TAVPreview();
  TAVPreview(const TAVPreview&) = delete;
  TAVPreview& operator=(const TAVPreview&) = delete;

  const std::string& InputFile() const { return FInputFile; }
  // Stores the name; an active preview is closed (no picture until it is
  // activated again).
  void SetInputFile(const std::string& value);

  bool Active() const { return FActive; }
  // True opens the source and shows its picture at the current time; a source
  // that cannot be opened leaves the preview inactive without a message.
  void SetActive(bool value);

  // The position in seconds, including the source's start time once a
  // picture was shown.
  double Timestamp() const { return static_cast<double>(Ftimestamp) / 1000000.0; }
  // Moves to `seconds` after the source's start and shows the picture there.
  // A time beyond the duration shows the error box and keeps the picture.
  void SetTimestamp(double seconds);

  // The source's duration in seconds and its start time in microseconds.
  double Duration() const { return FDuration; }
  int64_t StartTime() const { return FStartTime; }

  const TPreviewBitmap& Bitmap() const { return FBitmap; }

  // Called whenever a new picture is in Bitmap (the widget repaints).
  void SetOnChanged(std::function<void()> handler) { FOnChanged = std::move(handler); }

 private:
  bool Open();
  void Close();
  void ShowFrame();
  bool DecodeFirstPicture();
  bool ConvertPicture();

  std::string FInputFile;
  int64_t Ftimestamp = 0;
  TPreviewBitmap FBitmap;
  bool FActive = false;
  // Declared before the demuxer that reads from it, so that it outlives it.
  std::unique_ptr<TStreamIO> stream_io_;
  InputFormatPtr ic;
  int videoStream = -1;
  CodecContextPtr pCodecCtx;
  FramePtr pFrame;
  FramePtr pFrameRGB;
  SwsContextPtr pSwsCtx;
  int64_t FStartTime = 0;
  double FDuration = 0;
  std::function<void()> FOnChanged;
};

}  // namespace veltrano
