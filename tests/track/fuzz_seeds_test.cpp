// Writes the fuzzing seed corpus: small valid files of every shape the
// format allows. With TORVIX_FUZZ_SEED_DIR set the files go there (see
// docs/fuzzing.md); otherwise into a temporary folder, checked and removed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/test_support.h"
#include "support/track_builders.h"
#include "track/chunk_cursor.h"
#include "support/track_fixtures.h"
#include "track/track_io.h"

using namespace torvix::track;

namespace torvix {
namespace {

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> SeedImages() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds;
    Track empty;
    seeds.emplace_back("empty", EncodeTrack(empty));
    Track rich = test::MakeRichTrack(false);
    seeds.emplace_back("rich", EncodeTrack(rich));
    Track rich_tera = test::MakeRichTrack(true);
    seeds.emplace_back("rich_tera", EncodeTrack(rich_tera));
    for (Long type : {0, 1, 2, 3, 4, 9}) {
        Track one;
        one.segm.segment_count = 1;
        one.segm.segments.resize(1);
        one.segm.segments[0] = rich.segm.segments[static_cast<std::size_t>(type == 9 ? 5 : type)];
        seeds.emplace_back("segment_type_" + std::to_string(type), EncodeTrack(one));
    }
    // An unknown chunk between two known ones, as other producers write.
    ChunkWriter out;
    out.WriteTag("NLIM");
    out.WriteLong(0);
    out.WriteZeros(20);
    out.WriteLong(2);
    out.WriteTag("CSTM");
    out.WriteLong(20);
    out.WriteZeros(20);
    auto with_unknown = out.Release();
    const auto& e = seeds.front().second;  // ENVC closes the empty image
    with_unknown.insert(with_unknown.end(), e.end() - 52, e.end());
    seeds.emplace_back("unknown_chunk", with_unknown);
    // Splines the solver can run on, for the measuring and solving target.
    seeds.emplace_back("circle", EncodeTrack(test::CircleTrack(30, 8)));
    seeds.emplace_back("hill", EncodeTrack(test::HillTrack(10)));
    seeds.emplace_back("banked_straight", EncodeTrack(test::StraightTrack(4, 25, 2, 0.3f, 0, 300)));
    return seeds;
}

TEST(FuzzSeeds, WriteSeedsThatDecode) {
    test::TempDir temp;
    const char* requested = std::getenv("TORVIX_FUZZ_SEED_DIR");
    const std::filesystem::path dir = requested != nullptr ? std::filesystem::path(requested) : temp.path();
    std::filesystem::create_directories(dir);
    for (const auto& [name, image] : SeedImages()) {
        Track track;
        TrackIoError error;
        EXPECT_TRUE(ReadTrackBytes(image, track, &error)) << name << ": " << error.message;
        std::ofstream file(dir / (name + ".nltrack"), std::ios::binary);
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        EXPECT_TRUE(file.good()) << name;
    }
}

}  // namespace
}  // namespace torvix
