// The main loop: it chooses the input that is furthest behind, has it read a
// packet, and moves the packet to the paths of the streams it feeds, as it is
// (copy paths) or decoded by the input (the other paths); then progress, and
// at the end the draining of the decoders and the paths.
#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/time.h>
}

#include "converter/AVError.h"
#include "converter/MessageBoxes.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputPath.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

namespace {

constexpr int64_t kProgressHandOverUs = 100000;  // at most ten OnProgress a second
constexpr int64_t kProgressReportUs = 500000;    // figures refreshed twice a second

}  // namespace

void TConverterEngine::HandOverProgress(bool force) {
  TTranscodeState& t = *run_->transcode;
  const int64_t now = av_gettime_relative();
  if (!force && now - t.last_progress_handover < kProgressHandOverUs) return;
  t.last_progress_handover = now;
  // One at a time: the handler reads the figures as they are when it runs.
  if (progress_queued_.exchange(true)) return;
  PostToUiThread([this] {
    progress_queued_ = false;
    if (!FOnProgress) return;
    try {
      FOnProgress(owner_);
    } catch (const std::exception& e) {
      ShowErrorBox(e.what());
    }
  });
}

void TConverterEngine::WaitWhilePaused() {
  if (FState != csPaused) return;
  std::unique_lock lock(state_mutex_);
  state_changed_.wait(lock, [this] { return FState != csPaused; });
}

// The input file whose streams are furthest behind, or -1 when there is
// nothing more to read: every stream is finished (subtitles, which may never
// come again, do not keep the loop going once the others are).
int TConverterEngine::ChooseInputFile(double& opts_min) {
  TTranscodeState& t = *run_->transcode;
  EndGeneratedInputs();
  double ipts_min = 1e100;
  opts_min = 1e100;
  int file = -1;
  const bool input_sync = FConvertOptions.GrabOptions().InputSync();
  bool pictures_or_sound = false;
  bool pictures_or_sound_left = false;
  for (const auto& path : t.paths) {
    if (path->Stream().enc->codec_type != AVMEDIA_TYPE_SUBTITLE) {
      pictures_or_sound = true;
      pictures_or_sound_left |= !path->Finished();
    }
  }
  if (pictures_or_sound && !pictures_or_sound_left) return -1;
  for (const auto& path : t.paths) {
    const TInputStreamState& ist = *t.input_streams[path->SourceIndex()];
    const TInputFile& input = run_->input_files[ist.file_index];
    if (path->Finished() || input.no_packet) continue;
    const double opts = path->Position();
    const double ipts = static_cast<double>(ist.pts);
    if (!input.eof_reached) {
      if (ipts < ipts_min) {
        ipts_min = ipts;
        if (input_sync) file = ist.file_index;
      }
      if (opts < opts_min) {
        opts_min = opts;
        if (!input_sync) file = ist.file_index;
      }
    }
    const TOutputStreamState& ost = path->Stream();
    if (ost.frame_number >= OutputFrameLimit(FConvertOptions, ost.enc->codec_type)) return -1;
  }
  return file;
}

// True when every output stream that `ist` feeds is finished: its packets
// need neither decoding nor copying any more.
bool TConverterEngine::AllOutputsFinished(const TInputStreamState& ist) const {
  const std::vector<TOutputPath*>& paths = PathsOf(ist);
  return !paths.empty() && std::all_of(paths.begin(), paths.end(),
                                       [](const TOutputPath* p) { return p->Finished(); });
}

void TConverterEngine::MainLoop() {
  TTranscodeState& t = *run_->transcode;
  AVPacket* pkt = t.packet.get();
  int no_packet_count = 0;
  while (true) {
    HandOverProgress(false);
    if (StopRequested()) break;
    double opts_min = 0;
    const int file = ChooseInputFile(opts_min);
    if (file < 0) {
      if (no_packet_count > 0) {
        no_packet_count = 0;
        for (TInputFile& input : run_->input_files) input.no_packet = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      break;
    }
    FConvertedDuration = opts_min;
    if (static_cast<double>(FConvertOptions.RecordingTime()) / 1000000.0 <= opts_min) break;
    const int64_t limit = FConvertOptions.LimitFileSize();
    AVIOContext* first_output = run_->output_files[0].ctx->pb;
    if (limit != 0 && first_output != nullptr && avio_tell(first_output) > limit) break;

    TInputFile& input = run_->input_files[file];
    const TInputFile::TRead read = input.ReadPacket(pkt);
    if (read == TInputFile::TRead::NotYet) {
      ++no_packet_count;
      continue;
    }
    if (read == TInputFile::TRead::Ended) {
      if (FConvertOptions.ShortTest()) break;
      continue;
    }
    no_packet_count = 0;
    for (TInputFile& other : run_->input_files) other.no_packet = false;
    TInputStreamState* ist = input.StreamOf(pkt);
    if (ist == nullptr || AllOutputsFinished(*ist)) {
      av_packet_unref(pkt);
      continue;
    }
    input.CorrectTimestamps(*ist, pkt, FConvertOptions);
    const int result = ProcessInputPacket(*ist, pkt);
    av_packet_unref(pkt);
    if (result >= 0) ReportProgress(false);
  }
}

bool TConverterEngine::ReachedStartTime(const TInputStreamState& ist) const {
  // The seek to a start time lands on a key frame before it. Timestamps count
  // from the requested start, so decoded data before it lies below zero and
  // is left out; copied packets keep it, as a copy must begin at a key frame.
  if (ist.decoding_needed && FConvertOptions.StartTime() > 0 && !FConvertOptions.CopyTS() &&
      ist.pts < 0) {
    return false;
  }
  return true;
}

void TConverterEngine::EmulateRate(const TInputStreamState& ist) const {
  if (!FConvertOptions.RateEmu()) return;
  const int64_t elapsed = av_gettime() - ist.start;
  if (ist.pts > elapsed) {
    std::this_thread::sleep_for(std::chrono::milliseconds((ist.pts - elapsed) / 1000));
  }
}

// Moves a packet of `ist` (nullptr: the end of its decoding) to the paths of
// the streams it feeds: as it is to the copy paths when nothing decodes it,
// else decoded by its input to the other paths, which are finished after the
// end.
int TConverterEngine::ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt) {
  TInputFile& input = run_->input_files[ist.file_index];
  if (!ist.decoding_needed) {
    if (pkt == nullptr) return 0;
    input.AdvanceCopied(ist, pkt);
    EmulateRate(ist);
    if (!ReachedStartTime(ist)) return 0;
    for (auto& path : PathsOf(ist)) {
      if (path->TakesPackets()) path->SendPacket(ist, pkt);
    }
    return 0;
  }
  const int result = input.Decode(ist, pkt, context_, [&](TDecoded& decoded) {
    EmulateRate(ist);
    if (ReachedStartTime(ist)) SendDecoded(ist, decoded);
  });
  if (pkt == nullptr) {
    TDecoded end;  // what the paths still hold may go on
    SendDecoded(ist, end);
    for (auto& path : PathsOf(ist)) {
      if (!path->TakesPackets()) path->Finish();
    }
  }
  return result;
}

void TConverterEngine::SendDecoded(TInputStreamState& ist, TDecoded& decoded) {
  for (auto& path : PathsOf(ist)) {
    if (!path->TakesPackets() && !path->Finished()) path->SendFrame(ist, decoded);
  }
}

const std::vector<TOutputPath*>& TConverterEngine::PathsOf(const TInputStreamState& ist) const {
  return run_->transcode->routes[SourceIndex(ist)];
}

int TConverterEngine::SourceIndex(const TInputStreamState& ist) const {
  return run_->input_files[ist.file_index].first_stream + ist.index;
}

void TConverterEngine::ReportProgress(bool last) {
  if (!last) {
    const int64_t now = av_gettime();
    if (last_time == 0) {
      last_time = now;
      return;
    }
    if (now - last_time < kProgressReportUs) return;
    last_time = now;
  } else {
    last_time = av_gettime();
  }
  AVIOContext* out = run_->output_files[0].ctx->pb;
  int64_t target = 0;
  if (out != nullptr) {
    target = avio_size(out);
    if (target < 0) target = avio_tell(out);
  }
  FTargetFileSize = target;
  if (!run_->input_files.empty() && run_->input_files[0].ctx->pb != nullptr) {
    FSourceFileSize = std::max<int64_t>(avio_size(run_->input_files[0].ctx->pb), 0);
  }
  double t = 1e10;
  for (const auto& path : run_->transcode->paths) {
    if (path->Position() > 0 && path->Position() < t) t = path->Position();
  }
  if (t < 0.01) t = 0.01;
  FBitrate = static_cast<double>(target) * 8 / t / 1000;
}

void TConverterEngine::FlushDecoders() {
  for (TInputStreamState* ist : run_->transcode->input_streams) {
    if (StopRequested()) break;
    if (ist->decoding_needed) ProcessInputPacket(*ist, nullptr);
  }
  // A stop leaves streams unflushed above: their encoders still give what they hold.
  for (auto& path : run_->transcode->paths) {
    if (!path->TakesPackets()) path->Finish();
  }
}

}  // namespace veltrano
