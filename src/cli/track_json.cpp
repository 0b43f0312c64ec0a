#include "cli/track_json.h"

#include "track/track_format.h"

using namespace torvix::geometry;
using namespace torvix::track;

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

// Names every field of a record into one JSON object.
class JsonVisitor {
public:
    Json j = Json::object();

    void Long(const char* name, torvix::track::Long v) { j[name] = v; }
    void Single(const char* name, torvix::track::Single v) { j[name] = v; }
    void Byte(const char* name, torvix::track::Byte v) { j[name] = v; }
    void Bool(const char* name, bool v) { j[name] = v; }
    void Color(const char* name, Colour v) { j[name] = v; }
    void Vector(const char* name, const Vector3& v) { j[name] = Vec(v); }
    template <typename T, std::size_t N>
    void Colors(const char* name, const std::array<T, N>& values) {
        Json out = Json::array();
        for (const T& v : values) out.push_back(v);
        j[name] = std::move(out);
    }
    void Version(const char* name, const std::array<torvix::track::Byte, 4>& v) { Colors(name, v); }
    void Reserved(std::int64_t) {}
    void BlockSize(torvix::track::Long) {}
    void OptionalText(const char* name, const Text& t) { j[name] = TextToUtf8(t); }
    void StrictText(const char* name, const Text& t, const char*) { j[name] = TextToUtf8(t); }
    // Arrays hold exactly as many elements as their count says.
    template <class T>
    std::size_t Count(const char* name, torvix::track::Long field, const std::vector<T>&, const char*) {
        j[name] = field;
        return CountOf(field);
    }
    template <class T>
    void Items(const char* name, const std::vector<T>& items, std::size_t n) {
        Json out = Json::array();
        for (std::size_t i = 0; i < n; ++i) {
            JsonVisitor element;
            Describe(element, ElementOr(items, i));
            out.push_back(std::move(element.j));
        }
        j[name] = std::move(out);
    }
    void Tail(const char* name, torvix::track::Long field) { j[name] = field; }
    std::int64_t Grid(torvix::track::Long columns, torvix::track::Long rows) {
        j["columns"] = columns;
        j["rows"] = rows;
        return 0;
    }
    // rows x columns, whatever the array holds (missing cells as zeros).
    void Heights(const char* name, const TeraChunk& c, std::int64_t) {
        Json heights = Json::array();
        const std::size_t columns = CountOf(c.columns);
        for (torvix::track::Long r = 0; r < c.rows; ++r) {
            Json row = Json::array();
            for (std::size_t col = 0; col < columns; ++col) {
                const std::size_t index = static_cast<std::size_t>(r) * columns + col;
                row.push_back(index < c.heights.size() ? c.heights[index] : torvix::track::Single{0});
            }
            heights.push_back(std::move(row));
        }
        j[name] = std::move(heights);
    }
};

}  // namespace

TrackJson TrackToJson(const Track& t) {
    Json out = Json::object();
    ForEachChunk(t, [&out](ChunkId id, const auto& record) {
        JsonVisitor v;
        v.j["chunk_size"] = record.chunk_size;
        v.j["child_count"] = record.child_count;
        if constexpr (std::is_same_v<std::decay_t<decltype(record)>, TeraChunk>) v.j["present"] = record.present;
        Describe(v, record);
        if (id == ChunkId::kNlim) {
            for (auto& [key, value] : v.j.items()) out[key] = value;
        } else {
            out[KindOf(id).key] = std::move(v.j);
        }
    });
    return out;
}

}  // namespace torvix::cli
