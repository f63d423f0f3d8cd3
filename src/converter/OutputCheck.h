// The completion check of an output: read back, compared with what was
// asked, and decoded to its end (OutputCheck.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

namespace veltrano {

// What a conversion wrote into one output.
struct TOutputExpectation {
  double seconds = 0;  // how long it should play; 0 when unknown
  // Each stream written, in order: its kind and the packets written (-1: unknown).
  std::vector<std::pair<AVMediaType, int64_t>> streams;
  int threads = 1;  // decoder threads the check may use
};

// What the output at `path` does not do as expected, each in the words of
// the log ("时长 …", "缺少音频流", "视频流解码出错 3 次, 第一次在 00:00:04.120
// (…)", "音频流解码不出任何内容", …); empty when it plays as it should.
// `keep_going` is asked while decoding; false ends the check early.
std::vector<std::string> CheckOutputFile(const std::string& path,
                                         const TOutputExpectation& expected,
                                         const std::function<bool()>& keep_going = {});

}  // namespace veltrano
