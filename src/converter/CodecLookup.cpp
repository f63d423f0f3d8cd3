#include "converter/CodecLookup.h"

#include "converter/AVError.h"

namespace veltrano {

const AVCodec* FindCodecByName(const std::string& name, AVMediaType kind, bool encoder) {
  if (name.empty()) return nullptr;
  const AVCodec* codec = encoder ? avcodec_find_encoder_by_name(name.c_str())
                                 : avcodec_find_decoder_by_name(name.c_str());
  if (codec == nullptr) throw EAVError("Unknown Codec Name");
  if (codec->type != kind) throw EAVError("Invalid codec type");
  return codec;
}

}  // namespace veltrano
