#include "support/track_fixtures.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::test {

namespace {

Single F(int i) { return static_cast<Single>(i) * 0.37f - 5.25f; }

Vector3 V(int i) { return {F(i), F(i + 1), F(i + 2)}; }

Text HighBytes() {
    Text text;
    for (int b = 128; b < 256; ++b) text.push_back(static_cast<char>(b));
    return text;
}

Segment MakeSegment(Long type, int k) {
    Segment s;
    s.segment_type = type;
    s.color_1 = 16777215;
    s.color_2 = 0xABCDEF + k;
    s.color_3 = k;
    s.flag_1 = (k % 2) == 0;
    s.flag_2 = true;
    switch (type) {
        case 1:
            s.t1_single_1 = F(k + 1); s.t1_single_2 = F(k + 2); s.t1_single_3 = F(k + 3); s.t1_single_4 = F(k + 4);
            s.t1_flag_1 = true; s.t1_single_5 = F(k + 5);
            s.t1_byte_1 = 11; s.t1_byte_2 = 22; s.t1_byte_3 = 233;
            s.t1_flag_2 = true; s.t1_single_6 = F(k + 6); s.t1_single_7 = F(k + 7); s.t1_single_8 = F(k + 8);
            s.t1_flag_3 = true; s.t1_single_9 = F(k + 9); s.t1_single_10 = F(k + 10); s.t1_single_11 = F(k + 11);
            break;
        case 2:
            s.t2_single_1 = F(k + 1); s.t2_single_2 = F(k + 2); s.t2_single_3 = F(k + 3);
            s.t2_byte_1 = 200; s.t2_flag_1 = true; s.t2_flag_2 = true;
            break;
        case 3:
            s.t3_single_1 = F(k + 1); s.t3_single_2 = F(k + 2); s.t3_single_3 = F(k + 3);
            s.t3_byte_1 = 7; s.t3_flag_1 = true; s.t3_flag_2 = true;
            break;
        case 4:
            s.t4_flag_1 = true; s.t4_flag_2 = true; s.t4_flag_3 = true; s.t4_flag_4 = true; s.t4_flag_5 = true;
            s.t4_single_1 = F(k + 1); s.t4_single_2 = F(k + 2); s.t4_single_3 = F(k + 3);
            s.t4_single_4 = F(k + 4); s.t4_single_5 = F(k + 5); s.t4_single_6 = F(k + 6); s.t4_single_7 = F(k + 7);
            break;
        default:
            break;
    }
    return s;
}

}  // namespace

Track MakeRichTrack(bool with_tera) {
    Track t;
    t.version = {1, 3, 0, 0};

    t.trck.long_1 = 55;
    t.trck.long_2 = -7;
    t.trck.colors = {1, 2, 3, 0xFFFFFF, 5, 6, 7, 8};
    for (int i = 0; i < 3; ++i) {
        TrckEntry e;
        e.flag = i != 1;
        e.colors = {i, 256 * i, 65536 * i, 0x123456};
        e.name = i == 0 ? Text() : (i == 1 ? Text("wood.png") : HighBytes());
        t.trck.entries.push_back(e);
    }
    t.trck.entry_count = 3;

    t.info.info_text = "first line\r\nsecond " + HighBytes();

    for (int i = 0; i < 7; ++i) {
        BezierVertex v;
        v.position = V(10 * i);
        v.control_prev = V(10 * i + 3);
        v.control_next = V(10 * i + 6);
        v.roll = F(i) / 10.0f;
        v.roll_flag = (i % 2) == 1;
        v.relative_roll = (i % 3) == 1;
        v.flag_3 = i == 4;
        t.bezr.vertices.push_back(v);
    }
    t.bezr.vertex_count = 7;

    t.segm.flag = true;
    const Long types[] = {0, 1, 2, 3, 4, 9};
    for (int k = 0; k < 6; ++k) t.segm.segments.push_back(MakeSegment(types[k], k));
    t.segm.segment_count = 6;

    for (int i = 0; i < 2; ++i) {
        FundEntry e;
        e.point = V(100 + i);
        e.flag_1 = true;
        e.flag_2 = i == 1;
        e.single_1 = F(i + 40);
        e.single_2 = F(i + 41);
        t.fund.entries.push_back(e);
    }
    t.fund.entry_count = 2;

    for (int i = 0; i < 3; ++i) {
        RascEntry e;
        e.pair_count = i;
        for (int p = 0; p < i; ++p) e.pairs.push_back({p + 1000, F(p + 50)});
        t.rasc.entries.push_back(e);
    }
    t.rasc.entry_count = 3;

    for (int i = 0; i < 4; ++i) t.fren.entries.push_back({V(200 + i)});
    t.fren.entry_count = 4;

    for (int i = 0; i < 2; ++i) {
        TubeEntry e{i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7, -(i + 8), F(i + 60)};
        t.tube.entries.push_back(e);
    }
    t.tube.entry_count = 2;

    t.catw.entries.push_back({1, 2, 3, 4, 5, 6, 10});
    t.catw.entries.push_back({-1, -2, -3, -4, -5, -6, 0});
    t.catw.entry_count = 2;

    t.scen.entries.push_back({F(70), F(71), F(72), F(73), 99});
    t.scen.entry_count = 1;

    ScobEntry object;
    object.text_1 = "tree";
    object.text_2 = HighBytes();
    for (int i = 0; i < 15; ++i) object.singles[static_cast<std::size_t>(i)] = F(80 + i);
    t.scob.entries.push_back(object);
    t.scob.entries.push_back(ScobEntry{});
    t.scob.entry_count = 2;

    if (with_tera) {
        TeraChunk& g = t.tera;
        g.present = true;
        g.columns = 3;
        g.rows = 2;
        g.single_1 = F(90); g.single_2 = F(91); g.single_3 = F(92); g.single_4 = F(93); g.single_5 = F(94);
        g.text_1 = "grass";
        g.text_2 = "";
        g.text_3 = HighBytes();
        g.byte_1 = 254;
        g.flag_1 = true;
        g.heights = {0.5f, 1.5f, -2.25f, 3.0f, 1e-3f, 12345.5f};
    }

    t.envc.text_1 = "sky";
    t.envc.text_2 = HighBytes();
    return t;
}

}  // namespace torvix::test
