#include "nl2/element.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/file_replacement.h"

namespace torvix::nl2 {

namespace {

// Far beyond any ride (a 10 km element sampled every 0.25 m is about 15 MB),
// and small enough that what a file can describe stays within memory.
constexpr std::uintmax_t kMaxFileBytes = 32u << 20;
constexpr int kMaxDepth = 64;

struct Node {
    std::string name;
    std::string text;
    std::size_t line = 0;
    std::vector<std::unique_ptr<Node>> children;

    const Node* Child(std::string_view n) const {
        for (const auto& c : children)
            if (c->name == n) return c.get();
        return nullptr;
    }
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A small XML reader: elements, text, the five named entities and character
// references, CDATA; declarations, comments, processing instructions and
// attributes are passed over. Not well formed is an error, with its line.
class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    base::Result<std::unique_ptr<Node>> Document() {
        std::unique_ptr<Node> root;
        while (true) {
            SkipSpace();
            if (pos_ >= s_.size()) break;
            if (!Starts("<")) return Fail("text outside the root element");
            if (SkipMarkup()) continue;
            if (!ok_) return Fail(message_);
            if (root) return Fail("a second root element");
            root = ElementAt(0);
            if (!root) return Fail(message_);
        }
        if (!root) return Fail("no root element");
        return root;
    }

private:
    base::Status Fail(const std::string& what) const {
        return base::Status::Fail("line " + std::to_string(Line()) + ": " + what);
    }
    std::size_t Line() const { return 1 + static_cast<std::size_t>(std::count(s_.begin(), s_.begin() + pos_, '\n')); }
    bool Starts(std::string_view p) const { return s_.substr(pos_, p.size()) == p; }
    void SkipSpace() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool Error(std::string m) {
        ok_ = false;
        message_ = std::move(m);
        return false;
    }
    // Steps over a declaration, comment or processing instruction at pos_.
    bool SkipMarkup() {
        auto skip_to = [this](std::string_view end, const char* what) {
            const std::size_t at = s_.find(end, pos_);
            if (at == std::string_view::npos) return Error(std::string("unterminated ") + what);
            pos_ = at + end.size();
            return true;
        };
        if (Starts("<?")) return skip_to("?>", "processing instruction");
        if (Starts("<!--")) return skip_to("-->", "comment");
        if (Starts("<!")) {
            // <!DOCTYPE ...>, with an internal subset in brackets.
            int depth = 0;
            for (std::size_t i = pos_ + 2; i < s_.size(); ++i) {
                if (s_[i] == '[') ++depth;
                else if (s_[i] == ']') --depth;
                else if (s_[i] == '>' && depth <= 0) {
                    pos_ = i + 1;
                    return true;
                }
            }
            return Error("unterminated declaration");
        }
        return false;
    }
    static bool NameChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':' ||
               static_cast<unsigned char>(c) >= 0x80;
    }
    std::string Name() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && NameChar(s_[pos_])) ++pos_;
        return std::string(s_.substr(start, pos_ - start));
    }
    bool AppendText(std::string& out, std::string_view raw) {
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const std::size_t semi = raw.find(';', i);
            if (semi == std::string_view::npos) return Error("'&' without ';'");
            const std::string_view ref = raw.substr(i + 1, semi - i - 1);
            static constexpr std::pair<std::string_view, char> kNamed[] = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            bool done = false;
            for (const auto& [name, c] : kNamed)
                if (ref == name) out += c, done = true;
            if (!done) {
                if (ref.size() < 2 || ref[0] != '#') return Error("unknown entity &" + std::string(ref) + ";");
                unsigned long code = 0;
                const bool hex = ref[1] == 'x' || ref[1] == 'X';
                const std::string_view digits = ref.substr(hex ? 2 : 1);
                const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
                if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || code == 0 || code > 0x10FFFF)
                    return Error("bad character reference &" + std::string(ref) + ";");
                // UTF-8.
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else if (code < 0x10000) {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xF0 | (code >> 18));
                    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
            }
            i = semi;
        }
        return true;
    }
    // The element starting at pos_ ('<' of its start tag).
    std::unique_ptr<Node> ElementAt(int depth) {
        if (depth > kMaxDepth) {
            Error("elements nested too deeply");
            return nullptr;
        }
        auto node = std::make_unique<Node>();
        node->line = Line();
        ++pos_;
        node->name = Name();
        if (node->name.empty()) {
            Error("'<' not followed by a name");
            return nullptr;
        }
        // Attributes are passed over, quotes respected.
        while (true) {
            if (pos_ >= s_.size()) {
                Error("unterminated tag <" + node->name + ">");
                return nullptr;
            }
            const char c = s_[pos_];
            if (c == '"' || c == '\'') {
                const std::size_t close = s_.find(c, pos_ + 1);
                if (close == std::string_view::npos) {
                    Error("unterminated attribute value");
                    return nullptr;
                }
                pos_ = close + 1;
            } else if (c == '/' && Starts("/>")) {
                pos_ += 2;
                return node;
            } else if (c == '>') {
                ++pos_;
                break;
            } else {
                ++pos_;
            }
        }
        // Content up to the matching end tag.
        while (true) {
            const std::size_t lt = s_.find('<', pos_);
            if (lt == std::string_view::npos) {
                Error("<" + node->name + "> is never closed");
                return nullptr;
            }
            if (!AppendText(node->text, s_.substr(pos_, lt - pos_))) return nullptr;
            pos_ = lt;
            if (Starts("<![CDATA[")) {
                const std::size_t end = s_.find("]]>", pos_);
                if (end == std::string_view::npos) {
                    Error("unterminated CDATA section");
                    return nullptr;
                }
                node->text += s_.substr(pos_ + 9, end - pos_ - 9);
                pos_ = end + 3;
            } else if (Starts("</")) {
                pos_ += 2;
                const std::string name = Name();
                SkipSpace();
                if (name != node->name || !Starts(">")) {
                    Error("</" + name + "> closes <" + node->name + ">");
                    return nullptr;
                }
                ++pos_;
                return node;
            } else if (SkipMarkup()) {
            } else if (!ok_) {
                return nullptr;
            } else {
                auto child = ElementAt(depth + 1);
                if (!child) return nullptr;
                node->children.push_back(std::move(child));
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    std::string message_;
};

// Any decimal form: "1.234560e+001", "1.2e+1", "-0.5", "+3".
std::optional<double> Number(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

base::Status Field(const Node& parent, const char* name, double& out) {
    const Node* n = parent.Child(name);
    if (!n) {
        return base::Status::Fail("line " + std::to_string(parent.line) + ": <" + parent.name + "> has no <" + name +
                                  ">");
    }
    const std::optional<double> v = Number(n->text);
    if (!v) {
        return base::Status::Fail("line " + std::to_string(n->line) + ": <" + name + "> is not a finite number: \"" +
                                  std::string(Trim(n->text)).substr(0, 40) + "\"");
    }
    out = *v;
    return base::Status::Ok();
}

bool Flag(const Node& parent, const char* name) {
    const Node* n = parent.Child(name);
    if (!n) return false;
    const std::string v = Lower(Trim(n->text));
    return v == "true" || v == "1" || v == "yes";
}

void AppendNumber(std::string& out, const char* tag, double v, int digits) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<%s>%.*f</%s>", tag, digits, v == 0 ? 0.0 : v, tag);
    out += buf;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

}  // namespace

bool HasElementExtension(std::string_view path) {
    constexpr std::string_view kExtension = ".nl2elem";
    return path.size() >= kExtension.size() && Lower(path.substr(path.size() - kExtension.size())) == kExtension;
}

std::string ElementXml(const Element& element) {
    std::string out;
    out.reserve(256 + element.vertices.size() * 120 + element.rolls.size() * 260);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <element>\n    <description>";
    out += Escaped(element.description);
    out += "</description>\n";
    // Positions to the micrometre; unit vectors to 1e-9, so that a bank read
    // from them near a vertical tangent keeps its precision.
    for (const ElementVertex& v : element.vertices) {
        out += "    <vertex>";
        AppendNumber(out, "x", v.x, 6);
        AppendNumber(out, "y", v.y, 6);
        AppendNumber(out, "z", v.z, 6);
        if (v.strict) out += "<strict>true</strict>";
        out += "</vertex>\n";
    }
    for (const RollPoint& r : element.rolls) {
        out += "    <roll>";
        AppendNumber(out, "ux", r.up.x, 9);
        AppendNumber(out, "uy", r.up.y, 9);
        AppendNumber(out, "uz", r.up.z, 9);
        AppendNumber(out, "rx", r.right.x, 9);
        AppendNumber(out, "ry", r.right.y, 9);
        AppendNumber(out, "rz", r.right.z, 9);
        AppendNumber(out, "coord", r.coord, 9);
        out += r.strict ? "<strict>true</strict>" : "<strict>false</strict>";
        out += "</roll>\n";
    }
    out += "  </element>\n</root>\n";
    return out;
}

base::Result<Element> ParseElementXml(std::string_view text) {
    // A byte order mark is no part of the document.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Parser parser(text);
    const base::Result<std::unique_ptr<Node>> document = parser.Document();
    if (!document) return document.status();
    const Node& root = **document;
    const Node* el = root.name == "element" ? &root : root.Child("element");
    if (!el) return base::Status::Fail("no <element> in the file");
    Element out;
    if (const Node* d = el->Child("description")) out.description = std::string(Trim(d->text));
    for (const auto& child : el->children) {
        if (child->name == "vertex") {
            ElementVertex v;
            base::Status field = Field(*child, "x", v.x);
            if (field) field = Field(*child, "y", v.y);
            if (field) field = Field(*child, "z", v.z);
            if (!field) return field;
            v.strict = Flag(*child, "strict");
            out.vertices.push_back(v);
        } else if (child->name == "roll") {
            RollPoint r;
            const char* names[6] = {"ux", "uy", "uz", "rx", "ry", "rz"};
            double* fields[6] = {&r.up.x, &r.up.y, &r.up.z, &r.right.x, &r.right.y, &r.right.z};
            for (int k = 0; k < 6; ++k)
                if (base::Status field = Field(*child, names[k], *fields[k]); !field) return field;
            if (base::Status field = Field(*child, "coord", r.coord); !field) return field;
            r.strict = Flag(*child, "strict");
            out.rolls.push_back(r);
        }
    }
    if (out.vertices.size() < 2)
        return base::Status::Fail("the element has " + std::to_string(out.vertices.size()) + " vertices; a curve needs two");
    std::stable_sort(out.rolls.begin(), out.rolls.end(),
                     [](const RollPoint& a, const RollPoint& b) { return a.coord < b.coord; });
    return out;
}

base::Result<Element> ReadElementFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return base::Status::Fail("cannot read " + path.string() + ": " + ec.message());
    if (size > kMaxFileBytes) return base::Status::Fail(path.string() + " is too large for an element file");
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(size)))
        return base::Status::Fail("cannot read " + path.string());
    base::Result<Element> element = ParseElementXml(text);
    if (!element) return base::Status::Fail(path.string() + ", " + element.error());
    return element;
}

base::Status WriteElementXmlFile(const std::filesystem::path& path, const Element& element) {
    const std::string text = ElementXml(element);
    platform::FileReplacement file(path, "torvix-");
    auto fail = [&](const char* what) {
        return base::Status::Fail(std::string(what) + " " + path.string() + ": " + std::strerror(file.error()));
    };
    if (!file.is_open()) return fail("cannot create a file beside");
    if (!file.Write(text.data(), text.size())) return fail("cannot write");
    if (!file.Commit(file.replacing())) return fail("cannot replace");
    return base::Status::Ok();
}

}  // namespace torvix::nl2
