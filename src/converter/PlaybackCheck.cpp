// Will it play: after a completed conversion for a device, each output is
// read back and held against what the device plays (DeviceProfiles.h). What
// it may not take is logged as a warning ("输出检查: 设备可能无法播放:
// H.264 level 5.1 > 4.1"); the conversion still counts as completed.
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/DeviceProfiles.h"
#include "converter/FFmpegPtr.h"
#include "engine/ConverterEngine.h"
#include "engine/PlaybackCheck.h"
#include "engine/RunState.h"

namespace veltrano {

std::vector<std::string> DevicePlaybackProblems(const TDeviceCapabilities& device,
                                                const std::string& file,
                                                const std::string& format_name) {
  std::vector<std::string> problems;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) return problems;
  InputFormatPtr input(raw);
  // The header says all this needs (profiles and levels from the decoder
  // configuration records): nothing is decoded, which would cost more than
  // a copy of the whole file.
  const std::string container = ContainerProblem(device, format_name);
  if (!container.empty()) problems.push_back(container);
  // Containers that keep no bit rate per stream: the picture has what the
  // whole file has beyond the sound's.
  int64_t others = 0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (input->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
      others += input->streams[i]->codecpar->bit_rate;
    }
  }
  const int64_t bytes = input->pb != nullptr ? avio_size(input->pb) : -1;
  const int64_t total =
      bytes > 0 && input->duration > 0 ? bytes * 8 * AV_TIME_BASE / input->duration : 0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    TStreamFacts facts = FactsOf(input->streams[i]);
    if (facts.kind == AVMEDIA_TYPE_VIDEO && facts.bit_rate <= 0 && total > others) {
      facts.bit_rate = total - others;
    }
    for (std::string& problem : PlaybackProblems(device, facts)) {
      problems.push_back(std::move(problem));
    }
  }
  return problems;
}

void TConverterEngine::CheckDevicePlayback() {
  const TDeviceCapabilities* device = FindDevice(FConvertOptions.Device());
  if (device == nullptr) return;
  for (const TOutputFile& file : run_->output_files) {
    if (file.sequence || file.work_name == file.name) continue;  // pictures, devices, addresses
    for (const std::string& problem :
         DevicePlaybackProblems(*device, file.name, file.ctx->oformat->name)) {
      DoLog(AV_LOG_WARNING, "输出检查: 设备可能无法播放: " + problem + "\n");
    }
  }
}

}  // namespace veltrano
