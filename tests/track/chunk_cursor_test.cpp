#include "track/chunk_cursor.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

using namespace torvix::track;

namespace torvix {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(ChunkReaderTest, DecodesBigEndianNumbers) {
    const auto bytes = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                              0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00});
    ChunkReader in(bytes);
    EXPECT_EQ(in.ReadLong(), -1);
    EXPECT_EQ(in.ReadLong(), -2147483647 - 1);
    EXPECT_EQ(in.ReadLong(), 256);
    EXPECT_EQ(in.ReadSingle(), 1.0f);
    EXPECT_EQ(in.ReadSingle(), -2.0f);
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ChunkReaderTest, ColourIgnoresItsFirstByte) {
    const auto bytes = Bytes({0x12, 0xAB, 0xCD, 0xEF, 0x00, 0xAB, 0xCD, 0xEF});
    ChunkReader in(bytes);
    const Colour colour = in.ReadColor();
    EXPECT_EQ(colour, in.ReadLong());
    EXPECT_EQ(colour, 0xABCDEF);
}

TEST(ChunkReaderTest, BooleansTagsAndTexts) {
    const auto bytes = Bytes({0xFF, 0x01, 0x80, 0x00, 't', 'r', 'c', 'k', 'N', 'l', 'i', 'm', 'a', 0xE9, 'z'});
    ChunkReader in(bytes);
    EXPECT_TRUE(in.ReadBool());
    EXPECT_TRUE(in.ReadBool());
    EXPECT_TRUE(in.ReadBool());
    EXPECT_FALSE(in.ReadBool());
    EXPECT_EQ(in.ReadTag(), "TRCK");
    EXPECT_EQ(in.ReadTag(), "NLIM");
    const std::size_t before = in.offset();
    EXPECT_EQ(in.ReadText(0), "");
    EXPECT_EQ(in.offset(), before);
    EXPECT_EQ(in.ReadText(3), std::string("a\xE9z"));
    EXPECT_TRUE(in.ok());
}

TEST(ChunkReaderTest, OverrunFailsWithoutMovingAndStaysFailed) {
    const auto bytes = Bytes({1, 2, 3, 4, 5, 6});
    ChunkReader in(bytes);
    in.ReadLong();
    EXPECT_EQ(in.ReadLong(), 0);
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.error_offset(), 4);
    EXPECT_EQ(in.offset(), 4u);
    EXPECT_EQ(in.ReadByte(), 0);  // sticky: even a read that would fit yields nothing
    EXPECT_EQ(in.offset(), 4u);
    EXPECT_EQ(in.error_offset(), 4);
}

TEST(ChunkReaderTest, OversizedAndNegativeLengthsFail) {
    const auto bytes = Bytes({1, 2, 3, 4});
    {
        ChunkReader in(bytes);
        EXPECT_EQ(in.ReadText(5), "");
        EXPECT_FALSE(in.ok());
    }
    {
        ChunkReader in(bytes);
        in.Skip(-1);
        EXPECT_FALSE(in.ok());
    }
    {
        ChunkReader in(bytes);
        std::vector<Single> out(2);
        in.ReadSingles(out.data(), static_cast<std::size_t>(1) << 62);  // 4n would wrap around
        EXPECT_FALSE(in.ok());
    }
    {
        ChunkReader in(std::span<const std::uint8_t>{});
        EXPECT_EQ(in.ReadTag(), "");
        EXPECT_FALSE(in.ok());
        EXPECT_EQ(in.error_offset(), 0);
    }
}

TEST(ChunkReaderTest, BulkSinglesMatchOneByOne) {
    ChunkWriter out;
    const std::vector<Single> values = {1.0f, -2.5f, 3.25e-7f, 65504.0f, -0.0f};
    out.WriteSingles(values.data(), values.size());
    ChunkReader bulk(out.bytes());
    std::vector<Single> decoded(values.size());
    bulk.ReadSingles(decoded.data(), decoded.size());
    ChunkReader single(out.bytes());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(decoded[i]), std::bit_cast<std::uint32_t>(values[i]));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(single.ReadSingle()), std::bit_cast<std::uint32_t>(values[i]));
    }
}

TEST(ChunkWriterTest, EncodesBigEndian) {
    ChunkWriter out;
    out.WriteLong(-1);
    out.WriteSingle(1.0f);
    out.WriteColor(static_cast<Colour>(0x12ABCDEF));
    out.WriteBool(true);
    out.WriteBool(false);
    out.WriteByte(0x1FE);  // low eight bits only
    out.WriteText("");
    out.WriteText("ab");
    out.WriteTag("SEGM");
    out.WriteZeros(2);
    EXPECT_EQ(out.bytes(), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x80, 0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF, 0xFF,
                                  0x00, 0xFE, 'a', 'b', 'S', 'E', 'G', 'M', 0, 0}));
}

}  // namespace
}  // namespace torvix
