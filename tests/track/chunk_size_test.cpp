// The reader against declared chunk sizes: extra bytes a newer writer adds
// are stepped over and listed, a chunk that claims fewer bytes than its
// fields or appears twice is refused where it starts, unknown chunks are
// listed by name and size.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "track/chunk_cursor.h"
#include "support/track_fixtures.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Long LongAt(const Bytes& b, std::size_t at) {
    ChunkReader in(std::span<const std::uint8_t>(b).subspan(at, 4));
    return in.ReadLong();
}

void PutLong(Bytes& b, std::size_t at, Long v) {
    ChunkWriter w;
    w.WriteLong(v);
    std::copy(w.bytes().begin(), w.bytes().end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

std::size_t Find(const Bytes& b, const char* tag) {
    return static_cast<std::size_t>(std::search(b.begin(), b.end(), tag, tag + 4) - b.begin());
}

// `extra` bytes inserted at `at`, inside the chunk whose tag is at `owner`.
Bytes Grow(Bytes b, std::size_t owner, std::size_t at, std::size_t extra) {
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), extra, 0xAB);
    PutLong(b, owner + 4, LongAt(b, owner + 4) + static_cast<Long>(extra));
    return b;
}

struct Outcome {
    bool ok;
    TrackIoError error;
    std::vector<SkippedChunk> skipped;
    Track track;
};

Outcome Read(const Bytes& b) {
    Outcome o;
    o.ok = ReadTrackBytes(b, o.track, &o.error, &o.skipped);
    return o;
}

TEST(ChunkSizeTest, ExtraBytesAtTheEndOfAKnownChunkAreSteppedOverAndListed) {
    const Track rich = test::MakeRichTrack(false);
    const Bytes image = EncodeTrack(rich);
    Track expected;
    ASSERT_TRUE(ReadTrackBytes(image, expected));

    // A leaf (ENVC closes the file) and a parent (TRCK ends where SCEN starts).
    const Bytes leaf = Grow(image, Find(image, "ENVC"), image.size(), 8);
    Outcome o = Read(leaf);
    ASSERT_TRUE(o.ok) << o.error.message;
    EXPECT_EQ(o.skipped, (std::vector<SkippedChunk>{{"ENVC", static_cast<std::int64_t>(image.size()), 8, true}}));
    EXPECT_EQ(o.track.envc.text_2, expected.envc.text_2);

    const std::size_t scen = Find(image, "SCEN");
    o = Read(Grow(image, Find(image, "TRCK"), scen, 6));
    ASSERT_TRUE(o.ok) << o.error.message;
    EXPECT_EQ(o.skipped, (std::vector<SkippedChunk>{{"TRCK", static_cast<std::int64_t>(scen), 6, true}}));
    EXPECT_EQ(o.track.scen, expected.scen);
    EXPECT_EQ(o.track.catw, expected.catw);
}

TEST(ChunkSizeTest, ShortDeclaredSizesAndRepeatedChunksAreRefusedWhereTheyStart) {
    const Bytes image = EncodeTrack(test::MakeRichTrack(false));
    const std::size_t bezr = Find(image, "BEZR");
    Bytes short_leaf = image;
    PutLong(short_leaf, bezr + 4, LongAt(image, bezr + 4) - 1);
    Outcome o = Read(short_leaf);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error.offset, static_cast<std::int64_t>(bezr));
    EXPECT_NE(o.error.message.find("'BEZR' at offset " + std::to_string(bezr) + " declares"), std::string::npos)
        << o.error.message;

    // SUPP's children run past its end.
    const std::size_t supp = Find(image, "SUPP");
    Bytes short_parent = image;
    PutLong(short_parent, supp + 4, LongAt(image, supp + 4) - 4);
    o = Read(short_parent);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error.offset, static_cast<std::int64_t>(supp));

    // ENVC twice under NLIM.
    const std::size_t envc = Find(image, "ENVC");
    Bytes twice = image;
    twice.insert(twice.end(), image.begin() + static_cast<std::ptrdiff_t>(envc), image.end());
    PutLong(twice, 28, LongAt(image, 28) + 1);
    o = Read(twice);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error.offset, static_cast<std::int64_t>(image.size()));
    EXPECT_NE(o.error.message.find("second ENVC"), std::string::npos) << o.error.message;
}

TEST(ChunkSizeTest, UnknownChunksAreListedByNameAndSize) {
    const Bytes image = EncodeTrack(Track{});
    const std::size_t envc = Find(image, "ENVC");
    Bytes with = image;
    ChunkWriter cstm;
    cstm.WriteTag("CSTM");
    cstm.WriteLong(12);
    cstm.WriteZeros(12);
    with.insert(with.begin() + static_cast<std::ptrdiff_t>(envc), cstm.bytes().begin(), cstm.bytes().end());
    PutLong(with, 28, LongAt(image, 28) + 1);
    const Outcome o = Read(with);
    ASSERT_TRUE(o.ok) << o.error.message;
    EXPECT_EQ(o.skipped, (std::vector<SkippedChunk>{{"CSTM", static_cast<std::int64_t>(envc), 20, false}}));
    EXPECT_EQ(EncodeTrack(o.track), image);

    const auto demo = test::DemoTrackPath();
    if (demo.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    Track track;
    std::vector<SkippedChunk> skipped;
    ASSERT_TRUE(ReadTrackFile(demo.string(), track, nullptr, &skipped));
    EXPECT_EQ(skipped, (std::vector<SkippedChunk>{{"CSTM", 744894, 28, false}}));
}

}  // namespace
}  // namespace torvix
