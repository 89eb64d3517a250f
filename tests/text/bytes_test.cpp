#include "text/bytes.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(Bytes, CrossWithoutConversion) {
  EXPECT_EQ(ToBytes("AB"), (ByteArray{0x41, 0x42}));
  EXPECT_EQ(ToBytes(""), ByteArray{});
  EXPECT_EQ(ToBytes("\xC4\xE3"), (ByteArray{0xC4, 0xE3}));
  EXPECT_EQ(BytesToText({0x41, 0x00, 0x42}), Text("A"));
  EXPECT_EQ(BytesToText({0x00, 0x42}), Text(""));
  EXPECT_EQ(BytesToText({}), Text(""));
  EXPECT_EQ(BytesToText({0xFF, 0x80}), Text("\xFF\x80"));
}

TEST(Bytes, LengthsBlanksAndJoins) {
  EXPECT_EQ(BlankBytes(3), (ByteArray{0, 0, 0}));
  EXPECT_EQ(BlankBytes(0), ByteArray{});
  EXPECT_EQ(BlankBytes(-4), ByteArray{});
  EXPECT_EQ(BytesLength({0, 1, 0}), 3);
  EXPECT_EQ(BytesLength({}), 0);
  const ByteArray one{1}, none{}, zeroTwo{0, 2};
  EXPECT_EQ(ConcatBytes(one, none, zeroTwo), (ByteArray{1, 0, 2}));
  EXPECT_EQ(ConcatBytes(none, none), ByteArray{});
}

TEST(Bytes, CompareIsZeroOnlyForEqualBytes) {
  EXPECT_EQ(CompareBytes({}, {}), 0);
  EXPECT_EQ(CompareBytes({0, 1}, {0, 1}), 0);
  EXPECT_NE(CompareBytes({0, 1}, {0, 1, 0}), 0);
  EXPECT_NE(CompareBytes({1}, {2}), 0);
}

}  // namespace
}  // namespace morvane
