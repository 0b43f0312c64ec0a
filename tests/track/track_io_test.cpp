#include "track/track_io.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"
#include "track/chunk_cursor.h"
#include "support/track_fixtures.h"

using namespace torvix::track;

namespace torvix {
namespace {

using test::MakeRichTrack;
using test::TempDir;

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Long LongAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    ChunkReader in(std::span<const std::uint8_t>(bytes).subspan(offset, 4));
    return in.ReadLong();
}

// The framing a write imposes, so that tracks from other producers can be
// compared field by field with what they read back as.
void ClearFraming(Track& t) {
    t.version = {};
    for (Long* f : {&t.chunk_size, &t.child_count, &t.trck.chunk_size, &t.trck.child_count, &t.info.chunk_size,
                    &t.info.child_count, &t.bezr.chunk_size, &t.bezr.child_count, &t.segm.chunk_size,
                    &t.segm.child_count, &t.supp.chunk_size, &t.supp.child_count, &t.fund.chunk_size,
                    &t.fund.child_count, &t.rasc.chunk_size, &t.rasc.child_count, &t.fren.chunk_size,
                    &t.fren.child_count, &t.tube.chunk_size, &t.tube.child_count, &t.catw.chunk_size,
                    &t.catw.child_count, &t.scen.chunk_size, &t.scen.child_count, &t.scob.chunk_size,
                    &t.scob.child_count, &t.tera.chunk_size, &t.tera.child_count, &t.envc.chunk_size,
                    &t.envc.child_count}) {
        *f = 0;
    }
}

TEST(TrackWriterTest, EmptyModelIs665Bytes) {
    Track track;
    const auto image = EncodeTrack(track);
    ComputeChunkSizes(track);
    ASSERT_EQ(image.size(), 665u);
    EXPECT_EQ(track.chunk_size, 657);
    EXPECT_EQ(LongAt(image, 4), 657);
    EXPECT_EQ(LongAt(image, 28), 3);  // NLIM child count
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 8, image.begin() + 12),
              (std::vector<std::uint8_t>{1, 3, 0, 0}));
    // TRCK follows, holding four children; ENVC closes the file.
    EXPECT_EQ(std::string(image.begin() + 32, image.begin() + 36), "TRCK");
    EXPECT_EQ(track.trck.child_count, 4);
    EXPECT_EQ(track.supp.child_count, 5);
    EXPECT_EQ(track.scen.child_count, 1);
    EXPECT_EQ(std::string(image.end() - 52, image.end() - 48), "ENVC");
    EXPECT_EQ(track.rasc.chunk_size, 40);
}

TEST(TrackWriterTest, SizesAgreeWithTheBytesOfEveryChunk) {
    Track track = MakeRichTrack(true);
    const auto image = EncodeTrack(track);
    ComputeChunkSizes(track);
    EXPECT_EQ(static_cast<std::size_t>(track.chunk_size) + 8, image.size());
    EXPECT_EQ(track.child_count, 4);
    // Walk the written tree with the sizes alone: every child must start where
    // its parent's own fields end and every sibling where the last one ended.
    const auto find = [&image](const char* tag) {
        return std::search(image.begin(), image.end(), tag, tag + 4) - image.begin();
    };
    const auto end_of = [&](const char* tag) { return find(tag) + 8 + LongAt(image, find(tag) + 4); };
    EXPECT_EQ(end_of("INFO"), find("BEZR"));
    EXPECT_EQ(end_of("BEZR"), find("SEGM"));
    EXPECT_EQ(end_of("SEGM"), find("SUPP"));
    EXPECT_EQ(end_of("FUND"), find("RASC"));
    EXPECT_EQ(end_of("RASC"), find("FREN"));
    EXPECT_EQ(end_of("FREN"), find("TUBE"));
    EXPECT_EQ(end_of("TUBE"), find("CATW"));
    EXPECT_EQ(end_of("CATW"), find("SCEN"));
    EXPECT_EQ(end_of("SUPP"), find("SCEN"));
    EXPECT_EQ(end_of("TRCK"), find("SCEN"));
    EXPECT_EQ(end_of("SCOB"), find("TERA"));
    EXPECT_EQ(end_of("SCEN"), find("TERA"));
    EXPECT_EQ(end_of("TERA"), find("ENVC"));
    EXPECT_EQ(end_of("ENVC"), static_cast<std::ptrdiff_t>(image.size()));
}

TEST(TrackWriterTest, EachSegmentTypeHasItsSize) {
    const std::pair<Long, Long> sizes[] = {{0, 37}, {1, 163}, {2, 73}, {3, 65}, {4, 87}, {7, 33}, {-1, 33}};
    for (const auto& [type, bytes] : sizes) {
        Track track;
        track.segm.segment_count = 1;
        track.segm.segments.resize(1);
        track.segm.segments[0].segment_type = type;
        const auto image = EncodeTrack(track);
        ComputeChunkSizes(track);
        EXPECT_EQ(track.segm.chunk_size, 41 + bytes) << "type " << type;
        EXPECT_EQ(image.size(), 665u + static_cast<std::size_t>(bytes)) << "type " << type;
        Track back;
        ASSERT_TRUE(ReadTrackBytes(image, back)) << "type " << type;
        EXPECT_EQ(back.segm.segments.at(0).segment_type, type);
    }
}

TEST(TrackWriterTest, CountFieldDecidesNotTheArray) {
    Track track = MakeRichTrack(false);
    track.rasc.entry_count = 0;  // as after a solver run: entries kept, count 0
    track.fren.entry_count = 6;  // more than the array holds: the rest are zeros
    auto image = EncodeTrack(track);
    ComputeChunkSizes(track);
    EXPECT_EQ(track.rasc.chunk_size, 40);
    Track back;
    ASSERT_TRUE(ReadTrackBytes(image, back));
    EXPECT_TRUE(back.rasc.entries.empty());
    ASSERT_EQ(back.fren.entries.size(), 6u);
    EXPECT_EQ(back.fren.entries[3], track.fren.entries[3]);
    EXPECT_EQ(back.fren.entries[5], FrenEntry{});
}

class RoundTripTest : public ::testing::TestWithParam<bool> {};

TEST_P(RoundTripTest, ReadBackEqualsAndRewritesIdentically) {
    Track original = MakeRichTrack(GetParam());
    Track written = original;
    const auto image = EncodeTrack(written);
    ComputeChunkSizes(written);

    Track back;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackBytes(image, back, &error)) << error.message << " at " << error.offset;
    EXPECT_EQ(back, written);  // every field, framing included
    EXPECT_EQ(back.tera.present, GetParam());
    EXPECT_EQ(back.child_count, GetParam() ? 4 : 3);
    EXPECT_EQ(back.info.info_text, original.info.info_text);
    EXPECT_EQ(back.trck.entries[2].name, original.trck.entries[2].name);
    EXPECT_EQ(back.scob.entries[0].text_2, original.scob.entries[0].text_2);
    EXPECT_EQ(back.envc.text_2.size(), 128u);

    Track again = back;
    EXPECT_EQ(EncodeTrack(again), image);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTera, RoundTripTest, ::testing::Bool());

TEST(TrackWriterTest, WriterImposesItsOwnValues) {
    Track track = MakeRichTrack(false);
    track.version = {9, 9, 9, 9};
    track.trck.child_count = 77;
    track.segm.segments[0].color_1 = static_cast<Colour>(0x7F000001);  // top byte is dropped
    track.tera.chunk_size = 1234;                                       // untouched without TERA
    const Track given = track;
    auto image = EncodeTrack(track);
    EXPECT_EQ(track, given);  // writing leaves the model alone
    ComputeChunkSizes(track);
    EXPECT_EQ(track.trck.child_count, 4);
    EXPECT_EQ(track.tera.chunk_size, 1234);
    EXPECT_EQ(track.version, (std::array<Byte, 4>{9, 9, 9, 9}));  // the model keeps what was read
    Track back;
    ASSERT_TRUE(ReadTrackBytes(image, back));
    EXPECT_EQ(back.version, (std::array<Byte, 4>{1, 3, 0, 0}));
    EXPECT_EQ(back.segm.segments[0].color_1, 1);
    EXPECT_FALSE(back.tera.present);
}

// A hand-made file: NLIM whose children are given as already encoded chunks.
std::vector<std::uint8_t> MakeFile(Long child_count, const std::vector<std::vector<std::uint8_t>>& chunks,
                                   const char* tag = "NLIM") {
    ChunkWriter out;
    out.WriteTag(tag);
    out.WriteLong(0);
    out.WriteZeros(20);
    out.WriteLong(child_count);
    std::vector<std::uint8_t> bytes = out.Release();
    for (const auto& c : chunks) bytes.insert(bytes.end(), c.begin(), c.end());
    return bytes;
}

std::vector<std::uint8_t> EnvcChunkBytes(const std::string& text_1) {
    ChunkWriter out;
    out.WriteTag("ENVC");
    out.WriteLong(static_cast<Long>(44 + text_1.size()));
    out.WriteZeros(16);
    out.WriteLong(static_cast<Long>(text_1.size()));
    out.WriteText(text_1);
    out.WriteLong(0);
    out.WriteZeros(16);
    out.WriteLong(0);
    return out.Release();
}

std::vector<std::uint8_t> UnknownChunkBytes(Long size, std::uint8_t fill) {
    ChunkWriter out;
    out.WriteTag("CSTM");
    out.WriteLong(size);
    out.WriteZeros(static_cast<std::size_t>(size));
    auto bytes = out.Release();
    std::fill(bytes.begin() + 8, bytes.end(), fill);
    return bytes;
}

TEST(TrackReaderTest, SkipsUnknownChunkBySize) {
    // The unknown chunk's body looks like an ENVC tag; the skip must land past it.
    auto cstm = UnknownChunkBytes(20, 'E');
    const auto bytes = MakeFile(2, {cstm, EnvcChunkBytes("after")});
    Track track;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackBytes(bytes, track, &error)) << error.message;
    EXPECT_EQ(track.envc.text_1, "after");
}

TEST(TrackReaderTest, AcceptsUnusualOrderAndLowerCaseTags) {
    Track source = MakeRichTrack(false);
    auto full = EncodeTrack(source);
    ComputeChunkSizes(source);
    // ENVC first, directly under a lower-case nlim, then the rest as written.
    const auto envc_at = full.size() - 8 - static_cast<std::size_t>(source.envc.chunk_size);
    std::vector<std::uint8_t> envc(full.begin() + static_cast<std::ptrdiff_t>(envc_at), full.end());
    envc[0] = 'e';
    std::vector<std::uint8_t> rest(full.begin() + 32, full.begin() + static_cast<std::ptrdiff_t>(envc_at));
    auto bytes = MakeFile(3, {envc, rest}, "nlim");
    Track back;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackBytes(bytes, back, &error)) << error.message << " at " << error.offset;
    EXPECT_EQ(back.envc.text_2, source.envc.text_2);
    EXPECT_EQ(back.bezr, source.bezr);
    EXPECT_EQ(back.scob, source.scob);
}

TEST(TrackReaderTest, NoChildrenGivesEmptyModelAndIgnoresTrailingBytes) {
    auto bytes = MakeFile(0, {{1, 2, 3}});
    Track track = MakeRichTrack(true);
    ASSERT_TRUE(ReadTrackBytes(bytes, track));
    Track empty;
    EXPECT_EQ(track, empty);
}

TEST(TrackReaderTest, ShortTextLengthsOfZeroOrLessGiveEmptyText) {
    ChunkWriter info;
    info.WriteTag("INFO");
    info.WriteLong(24);
    info.WriteZeros(16);
    info.WriteLong(-5);  // no bytes follow
    info.WriteLong(0);
    Track track;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackBytes(MakeFile(1, {info.Release()}), track, &error)) << error.message;
    EXPECT_EQ(track.info.info_text, "");
}

TEST(TrackReaderTest, ReadsTheDemoTrack) {
    const auto path = test::DemoTrackPath();
    if (path.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    Track track;
    TrackIoError error;
    ASSERT_TRUE(ReadTrackFile(path.string(), track, &error)) << error.message << " at " << error.offset;
    EXPECT_EQ(track.version, (std::array<Byte, 4>{1, 6, 0, 0}));
    EXPECT_EQ(track.child_count, 5);
    EXPECT_EQ(track.trck.entry_count, 6);
    EXPECT_NE(track.info.info_text.find("\r\n"), std::string::npos);
    EXPECT_EQ(track.bezr.vertex_count, 204);
    ASSERT_EQ(track.segm.segment_count, 204);
    int by_type[5] = {};
    for (const Segment& s : track.segm.segments) {
        ASSERT_GE(s.segment_type, 0);
        ASSERT_LE(s.segment_type, 4);
        ++by_type[s.segment_type];
        EXPECT_EQ(s.color_1, 16777215);
        EXPECT_EQ(s.color_2, 16777215);
    }
    EXPECT_EQ(by_type[0], 200);
    for (int type = 1; type <= 4; ++type) EXPECT_EQ(by_type[type], 1) << "type " << type;
    EXPECT_EQ(track.fund.entry_count, 88);
    EXPECT_EQ(track.rasc.entry_count, 204);
    EXPECT_EQ(track.fren.entry_count, 478);
    EXPECT_EQ(track.tube.entry_count, 606);
    EXPECT_EQ(track.catw.entry_count, 0);
    EXPECT_EQ(track.scen.entry_count, 0);
    EXPECT_EQ(track.scob.entry_count, 0);
    ASSERT_TRUE(track.tera.present);
    EXPECT_EQ(track.tera.rows, 409);
    EXPECT_EQ(track.tera.columns, 409);
    EXPECT_EQ(track.envc.text_1, "");
    // ENVC comes after the unknown CSTM chunk; reading it at all proves the skip.
    EXPECT_EQ(track.envc.chunk_size, 44);
    EXPECT_NEAR(track.bezr.vertices[0].position.y, 1.50f, 0.01f);
    EXPECT_NEAR(track.bezr.vertices[20].position.y, 22.05f, 0.01f);

    // Through a write and back: everything the model keeps survives.
    TempDir dir;
    Track written = track;
    ASSERT_TRUE(WriteTrackFile((dir / "copy").string(), written, &error)) << error.message;
    Track back;
    ASSERT_TRUE(ReadTrackFile((dir / "copy.nltrack").string(), back, &error)) << error.message;
    EXPECT_EQ(back.child_count, 4);  // CSTM dropped
    ClearFraming(track);
    ClearFraming(back);
    EXPECT_EQ(back, track);
    const auto image = ReadBytes(dir / "copy.nltrack");
    Track again = back;
    EXPECT_EQ(EncodeTrack(again), image);
}

TEST(TrackFileTest, PathRules) {
    TempDir dir;
    Track track = MakeRichTrack(false);
    ASSERT_TRUE(WriteTrackFile((dir / "plain").string(), track));
    ComputeChunkSizes(track);
    EXPECT_TRUE(std::filesystem::exists(dir / "plain.nltrack"));
    ASSERT_TRUE(WriteTrackFile((dir / "CAPS.NLTRACK").string(), track));
    EXPECT_TRUE(std::filesystem::exists(dir / "CAPS.NLTRACK"));
    EXPECT_FALSE(std::filesystem::exists(dir / "CAPS.NLTRACK.nltrack"));

    Track read;
    EXPECT_TRUE(ReadTrackFile((dir / "CAPS.NLTRACK").string(), read));
    EXPECT_EQ(read.bezr, track.bezr);

    // Refusals before the reset leave the model as it was.
    std::filesystem::copy_file(dir / "plain.nltrack", dir / "plain.nltrack.bak");
    std::filesystem::copy_file(dir / "plain.nltrack", dir / "noext");
    std::filesystem::copy_file(dir / "plain.nltrack", dir / "a.trk");
    Track untouched = MakeRichTrack(true);
    TrackIoError error;
    for (const std::string& path : {std::string(), (dir / "plain.nltrack.bak").string(), (dir / "noext").string(),
                                    (dir / "missing.nltrack").string(), (dir / "a.trk").string()}) {
        EXPECT_FALSE(ReadTrackFile(path, untouched, &error)) << path;
        EXPECT_FALSE(error.message.empty());
        EXPECT_EQ(untouched, MakeRichTrack(true)) << path;
    }
    // A path shorter than the extension is compared whole and refused.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    WriteBytes("x.nl", ReadBytes("plain.nltrack"));
    const bool short_read = ReadTrackFile("x.nl", untouched);
    std::filesystem::current_path(cwd);
    EXPECT_FALSE(short_read);

    // Not NLIM: refused after the reset.
    auto bytes = ReadBytes(dir / "plain.nltrack");
    bytes[0] = 'X';
    WriteBytes(dir / "bad.nltrack", bytes);
    EXPECT_FALSE(ReadTrackFile((dir / "bad.nltrack").string(), untouched, &error));
    EXPECT_EQ(untouched, Track{});
    EXPECT_EQ(error.offset, 0);
}

TEST(TrackFileTest, ReplacesALongerFileCompletely) {
    TempDir dir;
    const auto path = dir / "t.nltrack";
    WriteBytes(path, std::vector<std::uint8_t>(5000, 0xAA));
    Track track;
    ASSERT_TRUE(WriteTrackFile(path.string(), track));
    EXPECT_EQ(ReadBytes(path), EncodeTrack(track));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left

    // A file goes out in pieces; a terrain grid of 1.4 MB crosses many of them,
    // mid-array, and must still come out as the one image, and read back whole.
    Track rich = MakeRichTrack(true);
    rich.tera.columns = 600;
    rich.tera.rows = 600;
    rich.tera.heights.resize(600 * 600);
    for (std::size_t i = 0; i < rich.tera.heights.size(); ++i) rich.tera.heights[i] = static_cast<Single>(i % 977) / 7;
    ASSERT_TRUE(WriteTrackFile(path.string(), rich));
    const std::vector<std::uint8_t> image = EncodeTrack(rich);
    EXPECT_GT(image.size(), 1440000u);
    EXPECT_EQ(ReadBytes(path), image);
    Track back;
    ASSERT_TRUE(ReadTrackFile(path.string(), back));
    EXPECT_EQ(back.tera.heights, rich.tera.heights);
}

// Runs `body` where the file system denies writing into `dir`: as root,
// permissions are not enforced, so the body runs in a child that gave them up.
int RunWithoutWriteAccess(const std::filesystem::path& dir, const std::function<int()>& body) {
    std::filesystem::permissions(dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                          std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                                          std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    int result = -1;
    if (::geteuid() != 0) {
        result = body();
    } else {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
            ::_exit(body());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 101;
    }
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    return result;
}

TEST(TrackFileTest, FailedWriteKeepsTheOldFileAndSaysWhy) {
    TempDir dir;
    const auto path = dir / "keep.nltrack";
    const std::vector<std::uint8_t> old_bytes(1000, 0x5A);
    WriteBytes(path, old_bytes);
    const int result = RunWithoutWriteAccess(dir.path(), [&path] {
        Track track = MakeRichTrack(true);
        TrackIoError error;
        if (WriteTrackFile(path.string(), track, &error)) return 1;
        if (error.message.find(path.string()) == std::string::npos) return 2;
        if (error.message.find("Permission denied") == std::string::npos) return 3;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), old_bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    Track track;
    TrackIoError error;
    EXPECT_FALSE(WriteTrackFile((dir / "no" / "such" / "folder.nltrack").string(), track, &error));
    EXPECT_NE(error.message.find("No such file or directory"), std::string::npos) << error.message;
}

}  // namespace
}  // namespace torvix
