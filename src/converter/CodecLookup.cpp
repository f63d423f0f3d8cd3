#include "engine/CodecLookup.h"

#include "converter/AVError.h"

namespace veltrano {

const AVCodec* FindCodecByName(const std::string& name, AVMediaType kind, bool encoder) {
  if (name.empty()) return nullptr;
  const AVCodec* codec = encoder ? avcodec_find_encoder_by_name(name.c_str())
                                 : avcodec_find_decoder_by_name(name.c_str());
  if (codec == nullptr) throw EAVError("Unknown Codec Name: " + name);
  if (codec->type != kind) {
    const char* wanted = av_get_media_type_string(kind);
    throw EAVError("Invalid codec type: " + name + " is no " + (wanted != nullptr ? wanted : "") +
                   (encoder ? " encoder" : " decoder"));
  }
  return codec;
}

}  // namespace veltrano
