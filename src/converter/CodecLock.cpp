#include "converter/CodecLock.h"

#include <chrono>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace veltrano {

bool TCodecLock::LockExclusive(const void* owner, const std::function<bool()>& keep_waiting) {
  std::unique_lock lock(mutex_);
  if (writer_depth_ > 0 && writer_ == owner) {
    ++writer_depth_;
    return true;
  }
  ++writers_waiting_;
  while (writer_depth_ > 0 || readers_ > 0) {
    if (changed_.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout &&
        (writer_depth_ > 0 || readers_ > 0) && keep_waiting && !keep_waiting()) {
      --writers_waiting_;
      changed_.notify_all();  // encode calls held back for this opening go on
      return false;
    }
  }
  --writers_waiting_;
  writer_ = owner;
  writer_depth_ = 1;
  return true;
}

void TCodecLock::UnlockExclusive() {
  std::lock_guard lock(mutex_);
  if (--writer_depth_ == 0) writer_ = nullptr;
  changed_.notify_all();
}

bool TCodecLock::Busy() const {
  std::lock_guard lock(mutex_);
  return writer_depth_ > 0 || readers_ > 0;
}

void TCodecLock::LockShared() {
  std::unique_lock lock(mutex_);
  // Openings go first: a stream of encode calls never keeps one waiting.
  changed_.wait(lock, [this] { return writer_depth_ == 0 && writers_waiting_ == 0; });
  ++readers_;
}

void TCodecLock::UnlockShared() {
  std::lock_guard lock(mutex_);
  if (--readers_ == 0) changed_.notify_all();
}

TCodecLock* CodecLock(const AVCodec* codec) {
  // Found by reading the libraries (docs/codec-libraries.md): the encoders
  // whose opening rewrites process-wide state that running encoders read.
  static TCodecLock xvid("libxvid", TLibraryUse::OpeningAlone);
  static TCodecLock lame("libmp3lame", TLibraryUse::OpeningAlone);
  static TCodecLock aom("libaom-av1", TLibraryUse::OpeningAlone);
  static TCodecLock svt("libsvtav1", TLibraryUse::OneEncoder);
  if (codec == nullptr || codec->name == nullptr) return nullptr;
  for (TCodecLock* lock : {&xvid, &lame, &aom, &svt}) {
    if (std::strcmp(codec->name, lock->Library().c_str()) == 0) return lock;
  }
  return nullptr;
}

TEncoderLease& TEncoderLease::operator=(TEncoderLease&& other) noexcept {
  if (this != &other) {
    Release();
    lock_ = other.lock_;
    other.lock_ = nullptr;
  }
  return *this;
}

bool TEncoderLease::Acquire(TCodecLock* lock, const void* owner,
                            const std::function<bool()>& keep_waiting) {
  Release();
  if (lock == nullptr) return true;
  if (!lock->LockExclusive(owner, keep_waiting)) return false;
  lock_ = lock;
  return true;
}

void TEncoderLease::Opened() {
  if (lock_ != nullptr && lock_->Use() == TLibraryUse::OpeningAlone) Release();
}

void TEncoderLease::Release() {
  if (lock_ == nullptr) return;
  lock_->UnlockExclusive();
  lock_ = nullptr;
}

}  // namespace veltrano
