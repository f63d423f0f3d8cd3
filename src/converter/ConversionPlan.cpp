#include "converter/ConversionPlan.h"

#include <fmt/format.h>

extern "C" {
#include <libavutil/avutil.h>
}

#include "converter/StreamFit.h"
namespace veltrano {

namespace {

std::string StreamLine(int output, int index, const TPlannedStream& s) {
  std::string line = fmt::format("  #{}:{} {} <- #{}:{} ", output, index, KindName(s.kind),
                                 s.input_file, s.input_stream);
  if (s.copy) {
    line += "直接复制 " + s.codec;
  } else {
    line += "重新编码 " + s.encoder;
    if (s.kind == AVMEDIA_TYPE_VIDEO) {
      line += fmt::format(" {}x{} {}", s.width, s.height, s.pixel_format);
    } else if (s.kind == AVMEDIA_TYPE_AUDIO) {
      line += fmt::format(" {} Hz {} 声道", s.sample_rate, s.channels);
    }
    if (s.bit_rate > 0) line += fmt::format(" {} kbit/s", s.bit_rate / 1000);
  }
  if (!s.why.empty()) line += " (" + s.why + ")";
  return line;
}

}  // namespace

std::vector<std::string> DescribePlan(const TConversionPlan& plan) {
  std::vector<std::string> lines;
  for (size_t n = 0; n < plan.outputs.size(); ++n) {
    const TPlannedOutput& output = plan.outputs[n];
    lines.push_back(fmt::format("输出 #{} ({}): {}", n, output.format, output.name));
    for (size_t i = 0; i < output.streams.size(); ++i) {
      lines.push_back(StreamLine(static_cast<int>(n), static_cast<int>(i), output.streams[i]));
    }
  }
  return lines;
}

}  // namespace veltrano
