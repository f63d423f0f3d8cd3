#include "converter/CircularBuffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

namespace veltrano {
namespace {

std::vector<uint8_t> Bytes(int count, uint8_t first) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

TEST(CircularBuffer, KeepsOneByteFree) {
  TCircularBuffer ring(8);
  EXPECT_EQ(ring.GetMaxWriteBytes(), 8);
  EXPECT_FALSE(ring.Write(Bytes(8, 0).data(), 8));
  EXPECT_EQ(ring.GetMaxReadBytes(), 0);
  EXPECT_TRUE(ring.Write(Bytes(7, 0).data(), 7));
  EXPECT_EQ(ring.GetMaxReadBytes(), 7);
  EXPECT_EQ(ring.GetMaxWriteBytes(), 1);
  EXPECT_FALSE(ring.Write(Bytes(1, 0).data(), 1));  // full: one byte stays free

  // A 7-byte write is accepted only when the ring is empty.
  uint8_t one = 0;
  ASSERT_TRUE(ring.Read(&one, 1));
  EXPECT_FALSE(ring.Write(Bytes(7, 0).data(), 7));
}

TEST(CircularBuffer, WrapsAroundTheEnd) {
  TCircularBuffer ring(8);
  std::vector<uint8_t> out(8);
  ASSERT_TRUE(ring.Write(Bytes(5, 10).data(), 5));
  ASSERT_TRUE(ring.Read(out.data(), 5));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), Bytes(5, 10));

  ASSERT_TRUE(ring.Write(Bytes(6, 20).data(), 6));  // 3 bytes at the end, 3 at the start
  EXPECT_EQ(ring.WritePosition(), 3);
  EXPECT_EQ(ring.GetMaxReadBytes(), 6);
  ASSERT_TRUE(ring.Read(out.data(), 6));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6), Bytes(6, 20));
  EXPECT_EQ(ring.ReadPosition(), 3);
  EXPECT_EQ(ring.GetMaxReadBytes(), 0);
}

TEST(CircularBuffer, ReadUpToTheEndContinuesAtTheStart) {
  TCircularBuffer ring(8);
  std::vector<uint8_t> out(8);
  ASSERT_TRUE(ring.Write(Bytes(4, 0).data(), 4));
  ASSERT_TRUE(ring.Read(out.data(), 4));
  ASSERT_TRUE(ring.Write(Bytes(6, 50).data(), 6));  // positions 4..7 and 0..1
  ASSERT_TRUE(ring.Read(out.data(), 4));            // exactly to the end of the storage
  EXPECT_EQ(ring.ReadPosition(), 8);                // stands for 0
  EXPECT_EQ(ring.GetMaxReadBytes(), 2);
  EXPECT_EQ(ring.GetMaxWriteBytes(), 6);
  ASSERT_TRUE(ring.Read(out.data(), 2));
  EXPECT_EQ(out[0], 54);
  EXPECT_EQ(out[1], 55);
  EXPECT_EQ(ring.ReadPosition(), 2);
}

TEST(CircularBuffer, FailedReadLeavesTheContent) {
  TCircularBuffer ring(16);
  std::vector<uint8_t> out(16, 0xEE);
  ASSERT_TRUE(ring.Write(Bytes(5, 1).data(), 5));
  EXPECT_FALSE(ring.Read(out.data(), 6));
  EXPECT_EQ(out[0], 0xEE);  // nothing partial
  EXPECT_EQ(ring.GetMaxReadBytes(), 5);
  EXPECT_TRUE(ring.Read(out.data(), 0));
  ASSERT_TRUE(ring.Read(out.data(), 5));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), Bytes(5, 1));
  EXPECT_FALSE(ring.Read(out.data(), -1));
  EXPECT_FALSE(ring.Write(out.data(), -1));
}

TEST(CircularBuffer, ClearAndResize) {
  TCircularBuffer ring(8);
  ASSERT_TRUE(ring.Write(Bytes(3, 7).data(), 3));
  ring.SetSize(12);  // grows, content and positions kept
  EXPECT_EQ(ring.Size(), 12);
  EXPECT_EQ(ring.GetMaxReadBytes(), 3);
  EXPECT_TRUE(ring.Write(Bytes(8, 0).data(), 8));
  std::vector<uint8_t> out(11);
  ASSERT_TRUE(ring.Read(out.data(), 11));
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[3], 0);

  ring.Clear();
  EXPECT_EQ(ring.GetMaxReadBytes(), 0);
  EXPECT_EQ(ring.WritePosition(), 0);
  // Shrinking below a position empties the ring instead of leaving the
  // position outside the storage.
  ASSERT_TRUE(ring.Write(Bytes(10, 0).data(), 10));
  ring.SetSize(4);
  EXPECT_EQ(ring.GetMaxReadBytes(), 0);
  EXPECT_TRUE(ring.Write(Bytes(3, 0).data(), 3));
}

TEST(CircularBuffer, ProducerAndConsumerThreads) {
  TCircularBuffer ring(1000);
  constexpr int kTotal = 50000;
  std::thread producer([&] {
    for (int sent = 0; sent < kTotal;) {
      uint8_t chunk[7];
      for (int i = 0; i < 7; ++i) chunk[i] = static_cast<uint8_t>(sent + i);
      if (ring.Write(chunk, 7)) sent += 7;
    }
  });
  std::vector<uint8_t> received;
  received.reserve(kTotal + 7);
  while (received.size() < static_cast<size_t>(kTotal)) {
    uint8_t chunk[5];
    if (ring.Read(chunk, 5)) received.insert(received.end(), chunk, chunk + 5);
  }
  producer.join();
  for (size_t i = 0; i < received.size(); ++i) {
    ASSERT_EQ(received[i], static_cast<uint8_t>(i)) << "at byte " << i;
  }
}

}  // namespace
}  // namespace veltrano
