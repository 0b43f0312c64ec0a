#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "geometry/cubic_bezier.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::cli {
namespace {

ToolRun RunInfo(std::vector<std::string> args) {
    args.insert(args.begin(), "info");
    return RunTool(std::move(args));
}

// Vertices with their incoming and outgoing control points a third of the way
// along straight neighbouring curves, except where overridden.
Track PolylineTrack(const std::vector<Vector3>& points) {
    Track t;
    ResetTrack(t);
    for (std::size_t i = 0; i < points.size(); ++i) {
        BezierVertex v;
        v.position = points[i];
        const Vector3 next = i + 1 < points.size() ? points[i + 1] : VecAdd(points[i], VecSub(points[i], points[i - 1]));
        const Vector3 prev = i > 0 ? points[i - 1] : VecSub(points[i], VecSub(points[i + 1], points[i]));
        v.control_next = VecAdd(points[i], VecScale(VecSub(next, points[i]), 1.0 / 3));
        v.control_prev = VecAdd(points[i], VecScale(VecSub(prev, points[i]), 1.0 / 3));
        t.bezr.vertices.push_back(v);
    }
    t.bezr.vertex_count = static_cast<Long>(points.size());
    t.segm.segment_count = static_cast<Long>(points.size() - 1);
    t.segm.segments.resize(points.size() - 1);
    return t;
}

std::string WriteTrack(const test::TempDir& dir, Track track) {
    const std::string path = (dir / "test.nltrack").string();
    EXPECT_TRUE(WriteTrackFile(path, track));
    return path;
}

TEST(InfoCommand, PlainOutput) {
    test::TempDir dir;
    // 10 m level, then 10 m rising at 45 degrees, all straight.
    const std::string path = WriteTrack(dir, PolylineTrack({{0, 0, 0}, {10, 0, 0}, {17.0710678f, 7.0710678f, 0}}));
    const ToolRun r = RunInfo({path});
    ASSERT_EQ(r.code, kOk) << r.err;
    EXPECT_EQ(r.out,
              "Vertices:   3\n"
              "Segments:   2\n"
              "Length:     20.00 m\n"
              "Radius in:  straight\n"
              "Slope in:   0.000\n"
              "Tilt in:    none\n"
              "Radius out: straight\n"
              "Slope out:  45.000\n"
              "Tilt out:   none\n");
}

TEST(InfoCommand, CurvedEntryAndJson) {
    test::TempDir dir;
    Track t = PolylineTrack({{0, 0, 0}, {300, 15, 0}, {330, 15, 0}});
    // Entry curve with a curvature of exactly 0.001, bending upwards.
    t.bezr.vertices[0].control_prev = {-100, 0, 0};
    t.bezr.vertices[0].control_next = {100, 0, 0};
    t.bezr.vertices[1].control_prev = {200, 15, 0};
    const std::string path = WriteTrack(dir, t);

    const ToolRun plain = RunInfo({path});
    ASSERT_EQ(plain.code, kOk) << plain.err;
    EXPECT_NE(plain.out.find("Radius in:  1000.000\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("Tilt in:    180.000\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("Radius out: straight\n"), std::string::npos) << plain.out;

    const ToolRun js = RunInfo({path, "--json"});
    ASSERT_EQ(js.code, kOk) << js.err;
    const nlohmann::json j = nlohmann::json::parse(js.out);
    EXPECT_EQ(j.at("vertex_count"), 3);
    EXPECT_EQ(j.at("segment_count"), 2);
    EXPECT_GT(j.at("length").get<double>(), 330);
    EXPECT_DOUBLE_EQ(j.at("radius_in").get<double>(), 1000.0);
    EXPECT_NEAR(j.at("tilt_in").get<double>(), 180.0, 1e-9);
    EXPECT_EQ(j.at("slope_in").get<double>(), 0.0);
    EXPECT_EQ(j.at("radius_out").get<double>(), -1.0);
    EXPECT_EQ(j.at("tilt_out").get<double>(), -1.0);
    EXPECT_EQ(j.at("slope_out").get<double>(), 0.0);
}

TEST(InfoCommand, UnreadableTrack) {
    test::TempDir dir;
    const std::string absent = (dir / "absent.nltrack").string();
    const ToolRun missing = RunInfo({absent});
    EXPECT_EQ(missing.code, kReadFailed);
    EXPECT_EQ(missing.err.rfind("Error Loading Track File!\n", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find(absent), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    // Corrupt data: the message says what failed and at which byte.
    const std::string cut = (dir / "cut.nltrack").string();
    {
        Track t = PolylineTrack({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}});
        std::vector<std::uint8_t> image = EncodeTrack(t);
        image.resize(200);
        std::ofstream(cut, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    const ToolRun truncated = RunInfo({cut});
    EXPECT_EQ(truncated.code, kReadFailed);
    EXPECT_EQ(truncated.err.rfind("Error Loading Track File!\n", 0), 0u) << truncated.err;
    EXPECT_NE(truncated.err.find("offset"), std::string::npos) << truncated.err;
    EXPECT_NE(truncated.err.find(cut), std::string::npos) << truncated.err;

    EXPECT_EQ(RunInfo({}).code, kBadUsage);
}

TEST(InfoCommand, DemoTrack) {
    const auto demo = test::DemoTrackPath();
    if (demo.empty()) GTEST_SKIP() << "demo track not present beside the checkout";
    const ToolRun r = RunInfo({demo.string(), "--json"});
    ASSERT_EQ(r.code, kOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j.at("vertex_count"), 204);
    EXPECT_EQ(j.at("segment_count"), 204);
    // The measured length agrees with a fine independent sampling of the spline.
    Track t;
    ASSERT_TRUE(ReadTrackFile(demo.string(), t));
    double fine = 0;
    for (std::size_t i = 0; i + 1 < t.bezr.vertices.size(); ++i) {
        const BezierVertex& a = t.bezr.vertices[i];
        const BezierVertex& b = t.bezr.vertices[i + 1];
        const CubicBezier c{
            {ToDVec3(a.position), ToDVec3(a.control_next), ToDVec3(b.control_prev), ToDVec3(b.position)}};
        for (int k = 1; k <= 400; ++k) fine += Norm(c.Point(k / 400.0) - c.Point((k - 1) / 400.0));
    }
    EXPECT_NEAR(j.at("length").get<double>(), fine, fine * 1e-3);
}

}  // namespace
}  // namespace torvix::cli
