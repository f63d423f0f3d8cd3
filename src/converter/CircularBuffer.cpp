#include "converter/CircularBuffer.h"

#include <algorithm>
#include <cstring>

namespace veltrano {

TCircularBuffer::TCircularBuffer(int size)
    : FBuffer(static_cast<size_t>(std::max(size, 0)), 0), FSize(std::max(size, 0)) {}

bool TCircularBuffer::Write(const uint8_t* buf, int size) {
  std::lock_guard lock(FMutex);
  if (size < 0 || size >= GetMaxWriteBytes(false)) return false;
  if (FWritePos + size < FSize) {
    std::memcpy(FBuffer.data() + FWritePos, buf, static_cast<size_t>(size));
    FWritePos += size;
  } else {
    const int head = FSize - FWritePos;
    const int rest = size - head;
    std::memcpy(FBuffer.data() + FWritePos, buf, static_cast<size_t>(head));
    std::memcpy(FBuffer.data(), buf + head, static_cast<size_t>(rest));
    FWritePos = rest;
  }
  return true;
}

bool TCircularBuffer::Read(uint8_t* buf, int size) {
  std::lock_guard lock(FMutex);
  if (size < 0 || GetMaxReadBytes(false) < size) return false;
  if (FReadPos + size > FSize) {
    const int head = FSize - FReadPos;
    const int rest = size - head;
    std::memcpy(buf, FBuffer.data() + FReadPos, static_cast<size_t>(head));
    std::memcpy(buf + head, FBuffer.data(), static_cast<size_t>(rest));
    FReadPos = rest;
  } else {
    if (size > 0) std::memcpy(buf, FBuffer.data() + FReadPos, static_cast<size_t>(size));
    FReadPos += size;  // may reach FSize, which stands for 0
  }
  return true;
}

int TCircularBuffer::GetMaxReadBytes(bool lock) {
  std::unique_lock guard(FMutex, std::defer_lock);
  if (lock) guard.lock();
  if (FWritePos == FReadPos) return 0;
  int held = FWritePos - FReadPos;
  if (FReadPos >= FWritePos) held += FSize;
  return held;
}

int TCircularBuffer::GetMaxWriteBytes(bool lock) {
  std::unique_lock guard(FMutex, std::defer_lock);
  if (lock) guard.lock();
  if (FWritePos == FReadPos) return FSize;
  int room = FReadPos - FWritePos;
  if (FWritePos >= FReadPos) room += FSize;
  return room;
}

void TCircularBuffer::Clear() {
  std::lock_guard lock(FMutex);
  FWritePos = 0;
  FReadPos = 0;
}

void TCircularBuffer::SetSize(int value) {
  std::lock_guard lock(FMutex);
  value = std::max(value, 0);
  if (value == FSize) return;
  FBuffer.resize(static_cast<size_t>(value), 0);
  FSize = value;
  // A read position equal to the size is valid (it stands for 0); anything
  // beyond the storage is not.
  if (FWritePos >= FSize || FReadPos > FSize) {
    FWritePos = 0;
    FReadPos = 0;
  }
}

}  // namespace veltrano
