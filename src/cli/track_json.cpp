#include "cli/track_json.h"

namespace torvix::cli {

namespace {

using Json = TrackJson;

// Each byte is one character with that code, so the bytes can be recovered.
std::string TextToUtf8(const Text& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

Json Vec(const Vector3& v) { return Json::array({v.x, v.y, v.z}); }

template <typename T, std::size_t N>
Json Array(const std::array<T, N>& values) {
    Json out = Json::array();
    for (const T& v : values) out.push_back(v);
    return out;
}

// `count` elements of `items`, the count field deciding.
template <typename T, typename Convert>
Json Entries(Long count, const std::vector<T>& items, Convert convert) {
    Json out = Json::array();
    for (Long i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        out.push_back(convert(index < items.size() ? items[index] : T{}));
    }
    return out;
}

Json Framing(Long chunk_size, Long child_count) {
    Json out = Json::object();
    out["chunk_size"] = chunk_size;
    out["child_count"] = child_count;
    return out;
}

Json SegmentJson(const Segment& s) {
    Json j = Json::object();
    j["segment_type"] = s.segment_type;
    j["color_1"] = s.color_1;
    j["color_2"] = s.color_2;
    j["color_3"] = s.color_3;
    j["flag_1"] = s.flag_1;
    j["flag_2"] = s.flag_2;
    j["t1_single_1"] = s.t1_single_1;
    j["t1_single_2"] = s.t1_single_2;
    j["t1_single_3"] = s.t1_single_3;
    j["t1_single_4"] = s.t1_single_4;
    j["t1_flag_1"] = s.t1_flag_1;
    j["t1_single_5"] = s.t1_single_5;
    j["t1_byte_1"] = s.t1_byte_1;
    j["t1_byte_2"] = s.t1_byte_2;
    j["t1_byte_3"] = s.t1_byte_3;
    j["t1_flag_2"] = s.t1_flag_2;
    j["t1_single_6"] = s.t1_single_6;
    j["t1_single_7"] = s.t1_single_7;
    j["t1_single_8"] = s.t1_single_8;
    j["t1_flag_3"] = s.t1_flag_3;
    j["t1_single_9"] = s.t1_single_9;
    j["t1_single_10"] = s.t1_single_10;
    j["t1_single_11"] = s.t1_single_11;
    j["t2_single_1"] = s.t2_single_1;
    j["t2_single_2"] = s.t2_single_2;
    j["t2_single_3"] = s.t2_single_3;
    j["t2_byte_1"] = s.t2_byte_1;
    j["t2_flag_1"] = s.t2_flag_1;
    j["t2_flag_2"] = s.t2_flag_2;
    j["t3_single_1"] = s.t3_single_1;
    j["t3_single_2"] = s.t3_single_2;
    j["t3_single_3"] = s.t3_single_3;
    j["t3_byte_1"] = s.t3_byte_1;
    j["t3_flag_1"] = s.t3_flag_1;
    j["t3_flag_2"] = s.t3_flag_2;
    j["t4_flag_1"] = s.t4_flag_1;
    j["t4_flag_2"] = s.t4_flag_2;
    j["t4_single_1"] = s.t4_single_1;
    j["t4_single_2"] = s.t4_single_2;
    j["t4_single_3"] = s.t4_single_3;
    j["t4_flag_3"] = s.t4_flag_3;
    j["t4_single_4"] = s.t4_single_4;
    j["t4_single_5"] = s.t4_single_5;
    j["t4_single_6"] = s.t4_single_6;
    j["t4_single_7"] = s.t4_single_7;
    j["t4_flag_4"] = s.t4_flag_4;
    j["t4_flag_5"] = s.t4_flag_5;
    return j;
}

Json TeraJson(const TeraChunk& c) {
    Json j = Framing(c.chunk_size, c.child_count);
    j["present"] = c.present;
    j["columns"] = c.columns;
    j["rows"] = c.rows;
    j["single_1"] = c.single_1;
    j["single_2"] = c.single_2;
    j["text_1"] = TextToUtf8(c.text_1);
    j["single_3"] = c.single_3;
    j["text_2"] = TextToUtf8(c.text_2);
    j["single_4"] = c.single_4;
    j["text_3"] = TextToUtf8(c.text_3);
    j["single_5"] = c.single_5;
    j["byte_1"] = c.byte_1;
    j["flag_1"] = c.flag_1;
    Json heights = Json::array();
    const std::size_t columns = c.columns > 0 ? static_cast<std::size_t>(c.columns) : 0;
    for (Long r = 0; r < c.rows; ++r) {
        Json row = Json::array();
        for (std::size_t col = 0; col < columns; ++col) {
            const std::size_t index = static_cast<std::size_t>(r) * columns + col;
            row.push_back(index < c.heights.size() ? c.heights[index] : Single{0});
        }
        heights.push_back(std::move(row));
    }
    j["heights"] = std::move(heights);
    return j;
}

}  // namespace

TrackJson TrackToJson(const Track& t) {
    Json j = Framing(t.chunk_size, t.child_count);
    j["version"] = Array(t.version);

    Json trck = Framing(t.trck.chunk_size, t.trck.child_count);
    trck["long_1"] = t.trck.long_1;
    trck["entries"] = Entries(t.trck.entry_count, t.trck.entries, [](const TrckEntry& e) {
        return Json{{"flag", e.flag}, {"colors", Array(e.colors)}, {"name", TextToUtf8(e.name)}};
    });
    trck["entry_count"] = t.trck.entry_count;
    trck["long_2"] = t.trck.long_2;
    trck["colors"] = Array(t.trck.colors);
    j["trck"] = std::move(trck);

    Json info = Framing(t.info.chunk_size, t.info.child_count);
    info["info_text"] = TextToUtf8(t.info.info_text);
    j["info"] = std::move(info);

    Json bezr = Framing(t.bezr.chunk_size, t.bezr.child_count);
    bezr["vertex_count"] = t.bezr.vertex_count;
    bezr["vertices"] = Entries(t.bezr.vertex_count, t.bezr.vertices, [](const BezierVertex& v) {
        return Json{{"position", Vec(v.position)},   {"control_prev", Vec(v.control_prev)},
                    {"control_next", Vec(v.control_next)}, {"roll", v.roll},
                    {"roll_flag", v.roll_flag},      {"relative_roll", v.relative_roll},
                    {"flag_3", v.flag_3}};
    });
    j["bezr"] = std::move(bezr);

    Json segm = Framing(t.segm.chunk_size, t.segm.child_count);
    segm["flag"] = t.segm.flag;
    segm["segment_count"] = t.segm.segment_count;
    segm["segments"] = Entries(t.segm.segment_count, t.segm.segments, SegmentJson);
    j["segm"] = std::move(segm);

    j["supp"] = Framing(t.supp.chunk_size, t.supp.child_count);

    Json fund = Framing(t.fund.chunk_size, t.fund.child_count);
    fund["entry_count"] = t.fund.entry_count;
    fund["entries"] = Entries(t.fund.entry_count, t.fund.entries, [](const FundEntry& e) {
        return Json{{"point", Vec(e.point)},
                    {"flag_1", e.flag_1},
                    {"single_1", e.single_1},
                    {"flag_2", e.flag_2},
                    {"single_2", e.single_2}};
    });
    j["fund"] = std::move(fund);

    Json rasc = Framing(t.rasc.chunk_size, t.rasc.child_count);
    rasc["entry_count"] = t.rasc.entry_count;
    rasc["entries"] = Entries(t.rasc.entry_count, t.rasc.entries, [](const RascEntry& e) {
        return Json{{"pair_count", e.pair_count},
                    {"pairs", Entries(e.pair_count, e.pairs, [](const RascPair& p) {
                         return Json{{"long_1", p.long_1}, {"single_1", p.single_1}};
                     })}};
    });
    j["rasc"] = std::move(rasc);

    Json fren = Framing(t.fren.chunk_size, t.fren.child_count);
    fren["entry_count"] = t.fren.entry_count;
    fren["entries"] = Entries(t.fren.entry_count, t.fren.entries,
                              [](const FrenEntry& e) { return Json{{"point", Vec(e.point)}}; });
    j["fren"] = std::move(fren);

    Json tube = Framing(t.tube.chunk_size, t.tube.child_count);
    tube["entry_count"] = t.tube.entry_count;
    tube["entries"] = Entries(t.tube.entry_count, t.tube.entries, [](const TubeEntry& e) {
        return Json{{"long_1", e.long_1}, {"long_2", e.long_2}, {"long_3", e.long_3},
                    {"long_4", e.long_4}, {"long_5", e.long_5}, {"long_6", e.long_6},
                    {"long_7", e.long_7}, {"long_8", e.long_8}, {"single_1", e.single_1}};
    });
    j["tube"] = std::move(tube);

    Json catw = Framing(t.catw.chunk_size, t.catw.child_count);
    catw["entry_count"] = t.catw.entry_count;
    catw["entries"] = Entries(t.catw.entry_count, t.catw.entries, [](const CatwEntry& e) {
        return Json{{"long_1", e.long_1}, {"long_2", e.long_2}, {"long_3", e.long_3},      {"long_4", e.long_4},
                    {"long_5", e.long_5}, {"long_6", e.long_6}, {"tail_length", e.tail_length}};
    });
    j["catw"] = std::move(catw);

    Json scen = Framing(t.scen.chunk_size, t.scen.child_count);
    scen["entry_count"] = t.scen.entry_count;
    scen["entries"] = Entries(t.scen.entry_count, t.scen.entries, [](const ScenEntry& e) {
        return Json{{"single_1", e.single_1}, {"single_2", e.single_2}, {"single_3", e.single_3},
                    {"single_4", e.single_4}, {"long_1", e.long_1}};
    });
    j["scen"] = std::move(scen);

    Json scob = Framing(t.scob.chunk_size, t.scob.child_count);
    scob["entry_count"] = t.scob.entry_count;
    scob["entries"] = Entries(t.scob.entry_count, t.scob.entries, [](const ScobEntry& e) {
        Json entry = Json::object();
        entry["text_1"] = TextToUtf8(e.text_1);
        entry["text_2"] = TextToUtf8(e.text_2);
        for (std::size_t i = 0; i < e.singles.size(); ++i) entry["single_" + std::to_string(i + 1)] = e.singles[i];
        return entry;
    });
    j["scob"] = std::move(scob);

    j["tera"] = TeraJson(t.tera);

    Json envc = Framing(t.envc.chunk_size, t.envc.child_count);
    envc["text_1"] = TextToUtf8(t.envc.text_1);
    envc["text_2"] = TextToUtf8(t.envc.text_2);
    j["envc"] = std::move(envc);
    return j;
}

}  // namespace torvix::cli
