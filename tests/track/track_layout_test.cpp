// Chunks laid out byte by byte from the file format's tables, independently of
// the writer. A round trip through our own reader and writer cannot see a field
// that both put at the same wrong offset; these bytes can.
#include <gtest/gtest.h>

#include <algorithm>

#include "track/chunk_cursor.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix {
namespace {

constexpr std::uint8_t kTrue = 0xFF;

// Reads `chunk` as NLIM's only child, then checks that the writer lays out the
// same own fields (everything between the size field and the child count), and
// for a chunk without children the same bytes throughout.
Track ReadAndRewrite(std::vector<std::uint8_t> chunk, bool leaf = true) {
    ChunkWriter size;
    size.WriteLong(static_cast<Long>(chunk.size() - 8));  // the reader holds chunks to their size
    std::copy(size.bytes().begin(), size.bytes().end(), chunk.begin() + 4);
    ChunkWriter file;
    file.WriteTag("NLIM");
    file.WriteLong(static_cast<Long>(24 + chunk.size()));
    file.WriteZeros(20);
    file.WriteLong(1);
    std::vector<std::uint8_t> bytes = file.Release();
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());

    Track track;
    TrackIoError error;
    EXPECT_TRUE(ReadTrackBytes(bytes, track, &error)) << error.message << " at " << error.offset;
    Track copy = track;
    const std::vector<std::uint8_t> image = EncodeTrack(copy);
    const auto at = std::search(image.begin(), image.end(), chunk.begin(), chunk.begin() + 4);
    EXPECT_GE(image.end() - at, static_cast<std::ptrdiff_t>(chunk.size()));
    if (image.end() - at < static_cast<std::ptrdiff_t>(chunk.size())) return track;
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(chunk.size());
    if (leaf) {
        EXPECT_EQ(std::vector<std::uint8_t>(at, at + n), chunk);
    } else {
        EXPECT_EQ(std::vector<std::uint8_t>(at + 8, at + n - 4),
                  std::vector<std::uint8_t>(chunk.begin() + 8, chunk.end() - 4));
    }
    return track;
}

// Starts a chunk: tag and size.
ChunkWriter Begin(const char* tag, Long size) {
    ChunkWriter out;
    out.WriteTag(tag);
    out.WriteLong(size);
    return out;
}

// Ends a list chunk's entries: 16 reserved bytes and a child count of 0.
std::vector<std::uint8_t> EndList(ChunkWriter& out) {
    out.WriteZeros(16);
    out.WriteLong(0);
    return out.Release();
}

void WriteLengthText(ChunkWriter& out, const std::string& s) {
    out.WriteLong(static_cast<Long>(s.size()));
    out.WriteText(s);
}

TEST(FileLayoutTest, TrckFieldsAndEntry) {
    ChunkWriter out = Begin("TRCK", 0);
    out.WriteLong(5);  // long_1
    out.WriteLong(1);  // entry_count
    out.WriteLong(6);  // long_2
    out.WriteByte(kTrue);
    out.WriteZeros(7);
    WriteLengthText(out, "wood");
    for (Colour c : {0x010203, 0x040506, 0x070809, 0x0A0B0C}) out.WriteColor(c);
    for (int k = 1; k <= 8; ++k) out.WriteColor(0x111111 * k);
    out.WriteZeros(16);
    out.WriteLong(0);
    const Track t = ReadAndRewrite(out.Release(), false);
    EXPECT_EQ(t.trck.long_1, 5);
    EXPECT_EQ(t.trck.long_2, 6);
    ASSERT_EQ(t.trck.entries.size(), 1u);
    EXPECT_TRUE(t.trck.entries[0].flag);
    EXPECT_EQ(t.trck.entries[0].name, "wood");
    EXPECT_EQ(t.trck.entries[0].colors, (std::array<Colour, 4>{0x010203, 0x040506, 0x070809, 0x0A0B0C}));
    EXPECT_EQ(t.trck.colors[0], 0x111111);
    EXPECT_EQ(t.trck.colors[7], 0x888888);
}

TEST(FileLayoutTest, BezrVertex) {
    ChunkWriter out = Begin("BEZR", 100);
    out.WriteZeros(16);
    out.WriteLong(1);
    for (int i = 1; i <= 10; ++i) out.WriteSingle(static_cast<Single>(i));  // three points, then roll
    out.WriteByte(kTrue);  // roll_flag
    out.WriteByte(0);      // flag_3
    out.WriteByte(kTrue);  // relative_roll
    out.WriteZeros(17);
    const Track t = ReadAndRewrite(EndList(out));
    ASSERT_EQ(t.bezr.vertices.size(), 1u);
    const BezierVertex& v = t.bezr.vertices[0];
    EXPECT_EQ(v.position.x, 1.0f);
    EXPECT_EQ(v.position.z, 3.0f);
    EXPECT_EQ(v.control_prev.x, 4.0f);
    EXPECT_EQ(v.control_next.x, 7.0f);
    EXPECT_EQ(v.roll, 10.0f);
    EXPECT_TRUE(v.roll_flag);
    EXPECT_FALSE(v.flag_3);
    EXPECT_TRUE(v.relative_roll);
}

void SegmentHead(ChunkWriter& out, Long type, Long block) {
    out.WriteLong(type);
    out.WriteByte(kTrue);  // flag_1
    out.WriteColor(0x100000 + type);
    out.WriteColor(0x200000 + type);
    out.WriteColor(0x300000 + type);
    out.WriteByte(0);  // flag_2
    out.WriteZeros(15);
    out.WriteLong(block);
}

TEST(FileLayoutTest, SegmentBlocksOfEveryType) {
    ChunkWriter out = Begin("SEGM", 41 + 163 + 73 + 65 + 87);
    out.WriteLong(4);
    out.WriteByte(kTrue);
    out.WriteZeros(16);

    SegmentHead(out, 1, 126);
    for (int i = 101; i <= 104; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteByte(11);     // t1_byte_1
    out.WriteByte(12);     // t1_byte_2
    out.WriteByte(kTrue);  // t1_flag_1
    out.WriteByte(13);     // t1_byte_3
    out.WriteSingle(105);
    out.WriteZeros(4);
    out.WriteByte(0);  // t1_flag_3
    out.WriteSingle(109);
    out.WriteZeros(4);
    out.WriteSingle(110);
    out.WriteSingle(111);
    out.WriteZeros(4);
    out.WriteByte(kTrue);  // t1_flag_2
    for (int i = 106; i <= 108; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteZeros(64);

    SegmentHead(out, 2, 36);
    out.WriteZeros(3);
    out.WriteByte(21);
    for (int i = 201; i <= 203; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteZeros(4);
    out.WriteByte(kTrue);  // t2_flag_1
    out.WriteByte(0);      // t2_flag_2
    out.WriteZeros(14);

    SegmentHead(out, 3, 28);
    for (int i = 301; i <= 303; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteZeros(3);
    out.WriteByte(31);
    out.WriteByte(0);      // t3_flag_1
    out.WriteByte(kTrue);  // t3_flag_2
    out.WriteZeros(10);

    SegmentHead(out, 4, 50);
    for (int i = 401; i <= 403; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteZeros(4);
    out.WriteSingle(407);
    out.WriteByte(kTrue);  // t4_flag_1
    out.WriteByte(0);      // t4_flag_3
    for (int i = 404; i <= 406; ++i) out.WriteSingle(static_cast<Single>(i));
    out.WriteByte(kTrue);  // t4_flag_4
    out.WriteByte(0);      // t4_flag_5
    out.WriteByte(kTrue);  // t4_flag_2
    out.WriteZeros(13);

    const Track t = ReadAndRewrite(EndList(out));
    ASSERT_EQ(t.segm.segments.size(), 4u);
    EXPECT_TRUE(t.segm.flag);
    const Segment& s1 = t.segm.segments[0];
    EXPECT_TRUE(s1.flag_1);
    EXPECT_FALSE(s1.flag_2);
    EXPECT_EQ(s1.color_1, 0x100001);
    EXPECT_EQ(s1.color_3, 0x300001);
    EXPECT_EQ(s1.t1_single_1, 101.0f);
    EXPECT_EQ(s1.t1_single_4, 104.0f);
    EXPECT_EQ(s1.t1_byte_1, 11);
    EXPECT_EQ(s1.t1_byte_2, 12);
    EXPECT_EQ(s1.t1_byte_3, 13);
    EXPECT_TRUE(s1.t1_flag_1);
    EXPECT_TRUE(s1.t1_flag_2);
    EXPECT_FALSE(s1.t1_flag_3);
    EXPECT_EQ(s1.t1_single_5, 105.0f);
    EXPECT_EQ(s1.t1_single_6, 106.0f);
    EXPECT_EQ(s1.t1_single_8, 108.0f);
    EXPECT_EQ(s1.t1_single_9, 109.0f);
    EXPECT_EQ(s1.t1_single_10, 110.0f);
    EXPECT_EQ(s1.t1_single_11, 111.0f);

    const Segment& s2 = t.segm.segments[1];
    EXPECT_EQ(s2.t2_byte_1, 21);
    EXPECT_EQ(s2.t2_single_1, 201.0f);
    EXPECT_EQ(s2.t2_single_3, 203.0f);
    EXPECT_TRUE(s2.t2_flag_1);
    EXPECT_FALSE(s2.t2_flag_2);
    EXPECT_EQ(s2.t1_single_1, 0.0f);  // groups of other types stay empty

    const Segment& s3 = t.segm.segments[2];
    EXPECT_EQ(s3.t3_single_1, 301.0f);
    EXPECT_EQ(s3.t3_single_3, 303.0f);
    EXPECT_EQ(s3.t3_byte_1, 31);
    EXPECT_FALSE(s3.t3_flag_1);
    EXPECT_TRUE(s3.t3_flag_2);

    const Segment& s4 = t.segm.segments[3];
    EXPECT_EQ(s4.t4_single_1, 401.0f);
    EXPECT_EQ(s4.t4_single_3, 403.0f);
    EXPECT_EQ(s4.t4_single_4, 404.0f);
    EXPECT_EQ(s4.t4_single_6, 406.0f);
    EXPECT_EQ(s4.t4_single_7, 407.0f);
    EXPECT_TRUE(s4.t4_flag_1);
    EXPECT_TRUE(s4.t4_flag_2);
    EXPECT_FALSE(s4.t4_flag_3);
    EXPECT_TRUE(s4.t4_flag_4);
    EXPECT_FALSE(s4.t4_flag_5);
}

TEST(FileLayoutTest, FundRascFrenTubeCatwEntries) {
    {
        ChunkWriter out = Begin("FUND", 40 + 92);
        out.WriteZeros(16);
        out.WriteLong(1);
        out.WriteByte(kTrue);
        out.WriteSingle(1.5f);
        out.WriteByte(0);
        out.WriteSingle(2.5f);
        out.WriteZeros(6);
        for (Single f : {3.0f, 4.0f, 5.0f}) out.WriteSingle(f);
        out.WriteZeros(64);
        const FundEntry e = ReadAndRewrite(EndList(out)).fund.entries.at(0);
        EXPECT_TRUE(e.flag_1);
        EXPECT_EQ(e.single_1, 1.5f);
        EXPECT_FALSE(e.flag_2);
        EXPECT_EQ(e.single_2, 2.5f);
        EXPECT_EQ(e.point.x, 3.0f);
        EXPECT_EQ(e.point.z, 5.0f);
    }
    {
        ChunkWriter out = Begin("RASC", 40 + 4 + 48 + 4);
        out.WriteZeros(16);
        out.WriteLong(2);
        out.WriteLong(2);
        for (int p = 0; p < 2; ++p) {
            out.WriteLong(7 + p);
            out.WriteSingle(0.5f + static_cast<Single>(p));
            out.WriteZeros(16);
        }
        out.WriteLong(0);
        const RascChunk c = ReadAndRewrite(EndList(out)).rasc;
        ASSERT_EQ(c.entries.size(), 2u);
        ASSERT_EQ(c.entries[0].pairs.size(), 2u);
        EXPECT_EQ(c.entries[0].pairs[1].long_1, 8);
        EXPECT_EQ(c.entries[0].pairs[1].single_1, 1.5f);
        EXPECT_TRUE(c.entries[1].pairs.empty());
    }
    {
        ChunkWriter out = Begin("FREN", 40 + 28);
        out.WriteZeros(16);
        out.WriteLong(1);
        for (Single f : {6.0f, 7.0f, 8.0f}) out.WriteSingle(f);
        out.WriteZeros(16);
        EXPECT_EQ(ReadAndRewrite(EndList(out)).fren.entries.at(0).point.y, 7.0f);
    }
    {
        ChunkWriter out = Begin("TUBE", 40 + 48);
        out.WriteZeros(16);
        out.WriteLong(1);
        for (Long v : {1, 3, 2, 0, 4, 6, 5, 0, 7, 8}) out.WriteLong(v);
        out.WriteSingle(9.5f);
        out.WriteZeros(4);
        const TubeEntry e = ReadAndRewrite(EndList(out)).tube.entries.at(0);
        EXPECT_EQ((std::array<Long, 8>{e.long_1, e.long_2, e.long_3, e.long_4, e.long_5, e.long_6, e.long_7, e.long_8}),
                  (std::array<Long, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(e.single_1, 9.5f);
    }
    {
        ChunkWriter out = Begin("CATW", 40 + 28 + 3);
        out.WriteZeros(16);
        out.WriteLong(1);
        for (Long v = 1; v <= 6; ++v) out.WriteLong(v);
        out.WriteLong(3);
        out.WriteZeros(3);
        const CatwEntry e = ReadAndRewrite(EndList(out)).catw.entries.at(0);
        EXPECT_EQ(e.long_1, 1);
        EXPECT_EQ(e.long_6, 6);
        EXPECT_EQ(e.tail_length, 3);
    }
}

TEST(FileLayoutTest, ScenScobTeraEnvc) {
    {
        ChunkWriter out = Begin("SCEN", 40 + 64);
        out.WriteZeros(16);
        out.WriteLong(1);
        for (Single f : {1.0f, 2.0f, 3.0f}) out.WriteSingle(f);
        out.WriteLong(44);
        out.WriteSingle(4.0f);
        out.WriteZeros(44);
        const ScenEntry e = ReadAndRewrite(EndList(out), false).scen.entries.at(0);
        EXPECT_EQ(e.single_3, 3.0f);
        EXPECT_EQ(e.long_1, 44);
        EXPECT_EQ(e.single_4, 4.0f);
    }
    {
        ChunkWriter out = Begin("SCOB", 40 + 88 + 2 + 3);
        out.WriteZeros(16);
        out.WriteLong(1);
        WriteLengthText(out, "t2");
        WriteLengthText(out, "one");
        for (int k : {1, 2, 3, 10, 4, 5, 6, 11, 7, 8, 9, 12, 13, 14, 15}) out.WriteSingle(static_cast<Single>(k));
        out.WriteZeros(20);
        const ScobEntry e = ReadAndRewrite(EndList(out)).scob.entries.at(0);
        EXPECT_EQ(e.text_1, "one");
        EXPECT_EQ(e.text_2, "t2");
        for (int k = 1; k <= 15; ++k) EXPECT_EQ(e.singles[static_cast<std::size_t>(k - 1)], static_cast<Single>(k)) << "single_" << k;
    }
    {
        ChunkWriter out = Begin("TERA", 81 + 1 + 2 + 3 + 4 * 6);
        out.WriteLong(3);  // columns
        out.WriteLong(2);  // rows
        out.WriteSingle(1.0f);
        out.WriteSingle(2.0f);
        WriteLengthText(out, "a");
        out.WriteSingle(3.0f);
        WriteLengthText(out, "bb");
        out.WriteSingle(4.0f);
        out.WriteByte(kTrue);
        out.WriteZeros(4);
        WriteLengthText(out, "ccc");
        out.WriteSingle(5.0f);
        out.WriteByte(77);
        out.WriteZeros(15);
        for (Single h : {10.0f, 11.0f, 12.0f, 20.0f, 21.0f, 22.0f}) out.WriteSingle(h);
        const TeraChunk c = ReadAndRewrite(EndList(out)).tera;
        EXPECT_TRUE(c.present);
        EXPECT_EQ(c.columns, 3);
        EXPECT_EQ(c.rows, 2);
        EXPECT_EQ(c.single_2, 2.0f);
        EXPECT_EQ(c.text_1, "a");
        EXPECT_EQ(c.single_3, 3.0f);
        EXPECT_EQ(c.text_2, "bb");
        EXPECT_EQ(c.single_4, 4.0f);
        EXPECT_TRUE(c.flag_1);
        EXPECT_EQ(c.text_3, "ccc");
        EXPECT_EQ(c.single_5, 5.0f);
        EXPECT_EQ(c.byte_1, 77);
        EXPECT_EQ(c.heights.at(1 * 3 + 2), 22.0f);  // row 1, column 2
    }
    {
        ChunkWriter out = Begin("ENVC", 44 + 1 + 2);
        out.WriteZeros(16);
        WriteLengthText(out, "x");
        WriteLengthText(out, "yz");
        const EnvcChunk c = ReadAndRewrite(EndList(out)).envc;
        EXPECT_EQ(c.text_1, "x");
        EXPECT_EQ(c.text_2, "yz");
    }
}

}  // namespace
}  // namespace torvix
