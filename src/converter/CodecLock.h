// CodecLock: keeps conversions that run side by side in one process from
// changing each other's output through codec libraries that keep
// process-wide state.
//
// Most codecs keep everything in their context, or build their shared tables
// once; they need nothing here and run fully in parallel. A few external
// libraries rewrite process-wide state at every encoder opening (function
// pointers, tables) that running encoders read (docs/codec-libraries.md has
// the findings per library):
//   - libxvid, LAME, libaom encode inside each call: an opening must not
//     overlap an encode call of the same library, so openings take the
//     library's lock exclusively and encode calls take it shared;
//   - libsvtav1 encodes on threads of its own between calls and rewrites its
//     state with every opening: one of its encoders may be open in the
//     process at a time, so the lock is held exclusively from the opening
//     until the encoder is freed.
// Openings wait for running encode calls and are preferred over new ones, so
// an opening waits at most for the calls already under way. A conversion
// that waits for a library held by another one can be stopped while waiting.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

struct AVCodec;

namespace veltrano {

// How far parallel use of one library has to be kept apart.
enum class TLibraryUse {
  OpeningAlone,  // encode calls overlap each other, never an opening
  OneEncoder,    // one open encoder in the process at a time
};

class TCodecLock {
 public:
  TCodecLock(std::string library, TLibraryUse use) : library_(std::move(library)), use_(use) {}
  TCodecLock(const TCodecLock&) = delete;
  TCodecLock& operator=(const TCodecLock&) = delete;

  const std::string& Library() const { return library_; }
  TLibraryUse Use() const { return use_; }

  // Exclusive hold for `owner` (one conversion's run): waits until no encode
  // call and no other owner holds the library. An owner that holds it already
  // holds it once more. `keep_waiting` is asked about every 100 ms while the
  // lock is taken by others; false gives up, and the result is false.
  bool LockExclusive(const void* owner, const std::function<bool()>& keep_waiting);
  void UnlockExclusive();
  // True when taking the lock exclusively now would wait.
  bool Busy() const;

  // Shared hold for one encode call.
  void LockShared();
  void UnlockShared();

 private:
  const std::string library_;
  const TLibraryUse use_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int readers_ = 0;
  int writer_depth_ = 0;
  const void* writer_ = nullptr;
  int writers_waiting_ = 0;
};

// The lock of the library behind encoder `codec`; nullptr when that library
// keeps no state an opening rewrites under running encoders.
TCodecLock* CodecLock(const AVCodec* codec);

// One encoder's hold on its library's lock: exclusive from Acquire until the
// encoder is open (OpeningAlone) or until the lease ends (OneEncoder). Keep
// it alive beside the encoder's context, released after it.
class TEncoderLease {
 public:
  TEncoderLease() = default;
  TEncoderLease(TEncoderLease&& other) noexcept { *this = std::move(other); }
  TEncoderLease& operator=(TEncoderLease&& other) noexcept;
  ~TEncoderLease() { Release(); }

  // Takes `lock` (nullptr: nothing to take) for opening an encoder of
  // `owner`; false when `keep_waiting` gave up.
  bool Acquire(TCodecLock* lock, const void* owner, const std::function<bool()>& keep_waiting);
  // The encoder has been opened (or failed to open).
  void Opened();
  void Release();

 private:
  TCodecLock* lock_ = nullptr;
};

// Holds `lock` shared for the encode call `call` (nullptr: no lock).
template <class F>
auto EncodeCall(TCodecLock* lock, F call) {
  if (lock == nullptr) return call();
  lock->LockShared();
  struct TUnlock {
    TCodecLock* lock;
    ~TUnlock() { lock->UnlockShared(); }
  } unlock{lock};
  return call();
}

}  // namespace veltrano
