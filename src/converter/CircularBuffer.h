// TCircularBuffer: a byte ring shared by a producer and a consumer thread.
//
// The DVD title stream keeps the blocks it has read ahead of the demuxer here.
// One byte of the storage always stays free, so that a full ring and an empty
// one differ: a ring of Size bytes holds at most Size - 1. Reads and writes
// are all or nothing; they report lack of data or room by returning false.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace veltrano {

class TCircularBuffer {
 public:
  // A ring of `size` zero-filled bytes, empty.
  explicit TCircularBuffer(int size);
  TCircularBuffer(const TCircularBuffer&) = delete;
  TCircularBuffer& operator=(const TCircularBuffer&) = delete;

  // Appends `size` bytes when they fit (size < GetMaxWriteBytes()); else
  // writes nothing and returns false.
  bool Write(const uint8_t* buf, int size);
  // Takes `size` bytes when the ring holds that many; else reads nothing and
  // returns false. A read of 0 bytes succeeds.
  bool Read(uint8_t* buf, int size);

  // Bytes held. `lock` false is for callers that already hold the mutex.
  int GetMaxReadBytes(bool lock = true);
  // Size - held bytes; a write must be strictly smaller than this.
  int GetMaxWriteBytes(bool lock = true);

  // Empties the ring (the content itself is not erased).
  void Clear();

  // The positions, read and written without the mutex: for the owner only.
  int WritePosition() const { return FWritePos; }
  void SetWritePosition(int value) { FWritePos = value; }
  int ReadPosition() const { return FReadPos; }
  void SetReadPosition(int value) { FReadPos = value; }

  int Size() const { return FSize; }
  // Reallocates the storage, keeping the content up to the smaller size. The
  // positions are kept; when the ring shrinks below one of them it is emptied,
  // so that no position points outside the storage.
  void SetSize(int value);

 private:
  std::mutex FMutex;
  std::vector<uint8_t> FBuffer;
  int FSize = 0;
  int FWritePos = 0;
  int FReadPos = 0;
};

}  // namespace veltrano
