// Element files as peers write them, and the curve NoLimits 2 builds from
// their vertices.
#include <gtest/gtest.h>

#include <cmath>

#include "nl2/element.h"
#include "nl2/element_track.h"

namespace torvix::nl2 {
namespace {

TEST(ElementXml, ReadsWhatPeersWriteAndWhatItWrites) {
    // Exponent forms with three-digit exponents, a missing strict, attributes,
    // a comment, unknown children, a byte order mark and rolls out of order.
    const std::string peer =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made elsewhere -->\n<root>\n<element>"
        "<description><![CDATA[A <ride> & more]]></description><preview format=\"png\">AAAA</preview>"
        "<vertex><x>1.000000e+001</x><y>-2.5e-1</y><z>+3</z></vertex>"
        "<vertex><x> 12 </x><y>0</y><z>0</z><strict>TRUE</strict><w>1</w></vertex>"
        "<roll><ux>0</ux><uy>1</uy><uz>0</uz><rx>1</rx><ry>0</ry><rz>0</rz><coord>1.0</coord><strict>false</strict></roll>"
        "<roll><ux>0</ux><uy>1</uy><uz>0</uz><rx>1</rx><ry>0</ry><rz>0</rz><coord>0.0</coord></roll>"
        "</element></root>";
    const base::Result<Element> parsed = ParseElementXml(peer);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    Element e = *parsed;
    EXPECT_EQ(e.description, "A <ride> & more");
    ASSERT_EQ(e.vertices.size(), 2u);
    EXPECT_EQ(e.vertices[0], (ElementVertex{10, -0.25, 3, false}));
    EXPECT_EQ(e.vertices[1], (ElementVertex{12, 0, 0, true}));
    ASSERT_EQ(e.rolls.size(), 2u);
    EXPECT_EQ(e.rolls[0].coord, 0);
    EXPECT_EQ(e.rolls[1].coord, 1);

    // Its own output reads back to the precision written.
    e.rolls[1].up.x = 0.123456789012;
    e.description = "heart & <line>";
    const base::Result<Element> back = ParseElementXml(ElementXml(e));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->description, e.description);
    EXPECT_EQ(back->vertices, e.vertices);
    EXPECT_NEAR(back->rolls[1].up.x, 0.123456789, 1e-12);
}

TEST(ElementXml, RefusesWhatIsNotAnElement) {
    const char* bad[] = {
        "<root><element><vertex><x>1</x><y>2</y><z>3</z></vertex></element></root>",              // one vertex
        "<root><element><vertex><x>1</x><y>2</y></vertex><vertex><x>1</x><y>2</y><z>3</z></vertex></element></root>",
        "<root><element><vertex><x>1,5</x><y>2</y><z>3</z></vertex></element></root>",            // not a number
        "<root><element><vertex><x>nan</x><y>2</y><z>3</z></vertex></element></root>",
        "<root><element><vertex><x>1</x><y>2</y><z>3</z></element></root>",                        // not well formed
        "<root><element>",
        "<root/><root/>",
        "plain text",
        "",
    };
    for (const char* text : bad) {
        const base::Result<Element> e = ParseElementXml(text);
        EXPECT_FALSE(e.ok()) << text;
        EXPECT_FALSE(e.error().empty()) << text;
    }
}

TEST(ElementCurve, PiecesSplitAtStrictVerticesAsNoLimits2BuildsThem) {
    auto v = [](double x, double y, bool strict = false) { return ElementVertex{x, y, 0, strict}; };
    // Four spans between the ends: a clamped B-spline of two pieces, through both ends.
    const std::vector<CurvePiece> spline = BuildPieces({v(0, 0), v(1, 2), v(2, 0), v(3, 2), v(4, 0)});
    ASSERT_EQ(spline.size(), 2u);
    EXPECT_EQ(spline[0].p[0].x, 0);
    EXPECT_EQ(spline[1].p[3].x, 4);
    // The join of the two pieces is the B-spline's value at knot 1: (P1 + 2 P2 + P3) / 4 = (2 + 0 + 2) / 4.
    EXPECT_NEAR(spline[0].p[3].y, 1.0, 1e-12);
    EXPECT_NEAR(spline[1].p[0].y, 1.0, 1e-12);
    // A strict vertex splits the run: a cubic Bezier (three spans) and a line; two strict in a row, one straight.
    const std::vector<CurvePiece> split = BuildPieces({v(0, 0), v(1, 1), v(2, 1), v(3, 0, true), v(5, 0, true), v(9, 0)});
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[0].p[1].y, 1);
    EXPECT_EQ(split[1].p[0].x, 3);
    EXPECT_EQ(split[1].p[3].x, 9);
    EXPECT_NEAR(split[1].p[1].x, 5, 1e-12);  // a straight at even speed
    // No park is 100 km long: such a file cannot make the reader build millions of nodes.
    Element far;
    far.vertices = {v(0, 0), v(2e5, 0)};
    const base::Result<ElementTrack> built = ElementTrack::Build(far);
    EXPECT_FALSE(built.ok());
    EXPECT_NE(built.error().find("100 km"), std::string::npos);
}

TEST(ElementCurve, RollPointsBankTheCarriedFrame) {
    // A straight along -z banked 30 degrees left at its start and 90 at its end.
    Element e;
    e.vertices = {{0, 0, 0, true}, {0, 0, -20, true}};
    auto roll = [](double bank, double coord) {
        RollPoint r;
        r.up.x = -std::sin(bank), r.up.y = std::cos(bank), r.up.z = 0;
        r.right.x = std::cos(bank), r.right.y = std::sin(bank), r.right.z = 0;
        r.coord = coord;
        return r;
    };
    const double pi = std::acos(-1.0);
    e.rolls = {roll(pi / 6, 0), roll(pi / 2, 1)};
    const base::Result<ElementTrack> track = ElementTrack::Build(e);
    ASSERT_TRUE(track.ok()) << track.error();
    EXPECT_NEAR(track->length(), 20, 1e-9);
    const Frame start = track->FrameAtDistance(0), middle = track->FrameAtDistance(10), end = track->FrameAtDistance(20);
    EXPECT_NEAR(std::atan2(-start.left.y, start.up.y), pi / 6, 1e-9);
    EXPECT_NEAR(std::atan2(-end.left.y, end.up.y), pi / 2, 1e-9);
    // Zero slope at both ends: the spline between two points is the smoothstep, half way at the middle.
    EXPECT_NEAR(std::atan2(-middle.left.y, middle.up.y), pi / 3, 1e-9);
    // The ride report reads the same bank (positive to the left) and no roll rate at the ends.
    EXPECT_NEAR(track->At(0, 0.5).roll.v, pi / 3, 1e-9);
    EXPECT_NEAR(track->At(0, 0).roll.d, 0, 1e-9);
}

}  // namespace
}  // namespace torvix::nl2
