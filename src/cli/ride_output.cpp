#include "cli/ride_output.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>

#ifdef TORVIX_HAVE_RSVG
#include <dlfcn.h>
#include <librsvg/rsvg.h>
#endif

#include "railframe/rail_frame.h"

namespace torvix::cli {

namespace {

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".png";
}

#ifdef TORVIX_HAVE_RSVG
// librsvg, cairo and glib are opened only when a PNG is asked for: linked
// directly they put some fifty libraries into every start of the program,
// which cost more than a whole heartline run.
struct RsvgApi {
    void* library = nullptr;
    decltype(&rsvg_handle_new_from_data) new_from_data = nullptr;
    decltype(&rsvg_handle_render_document) render_document = nullptr;
    decltype(&g_object_unref) object_unref = nullptr;
    decltype(&g_error_free) error_free = nullptr;
    decltype(&cairo_image_surface_create) image_surface_create = nullptr;
    decltype(&cairo_create) create = nullptr;
    decltype(&cairo_surface_write_to_png) write_to_png = nullptr;
    decltype(&cairo_destroy) destroy = nullptr;
    decltype(&cairo_surface_destroy) surface_destroy = nullptr;

    ~RsvgApi() {
        if (library) dlclose(library);
    }

    // Symbols of cairo and glib are found through librsvg's own dependencies.
    template <typename F>
    bool Find(F& fn, const char* name) {
        fn = reinterpret_cast<F>(dlsym(library, name));
        return fn != nullptr;
    }

    bool Open(std::string& why) {
        library = dlopen("librsvg-2.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            why = "PNG needs librsvg (Debian package librsvg2-2); name the file .svg instead";
            return false;
        }
        const bool all = Find(new_from_data, "rsvg_handle_new_from_data") &&
                         Find(render_document, "rsvg_handle_render_document") &&
                         Find(object_unref, "g_object_unref") && Find(error_free, "g_error_free") &&
                         Find(image_surface_create, "cairo_image_surface_create") && Find(create, "cairo_create") &&
                         Find(write_to_png, "cairo_surface_write_to_png") && Find(destroy, "cairo_destroy") &&
                         Find(surface_destroy, "cairo_surface_destroy");
        if (!all) why = "the installed librsvg is too old to draw PNG (2.46 or newer is needed)";
        return all;
    }
};

// Rasterises the SVG text with librsvg and cairo; the page is the SVG's own
// white background.
bool WritePng(const std::string& path, const std::string& svg, int width, int height, std::string& why) {
    RsvgApi api;
    if (!api.Open(why)) return false;
    GError* error = nullptr;
    RsvgHandle* handle = api.new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
    if (!handle) {
        why = error ? error->message : "the plot could not be read back";
        if (error) api.error_free(error);
        return false;
    }
    cairo_surface_t* surface = api.image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = api.create(surface);
    const RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
    bool ok = api.render_document(handle, cr, &viewport, &error);
    if (!ok) why = error ? error->message : "the plot could not be drawn";
    if (error) api.error_free(error);
    if (ok && api.write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        ok = false;
        why = "cannot write " + path;
    }
    api.destroy(cr);
    api.surface_destroy(surface);
    api.object_unref(handle);
    return ok;
}
#endif

}  // namespace

nlohmann::ordered_json RideJson(const ride::RideReport& report) {
    nlohmann::ordered_json j;
    j["ok"] = report.status.ok();
    if (!report.status.ok()) j["message"] = report.status.message();
    j["heartline"] = report.params.heartline;
    j["start_speed"] = report.params.start_speed;
    j["end_speed"] = report.params.end_speed;
    j["step"] = report.params.step;
    j["roll_reading"] = railframe::ReadingName(report.params.reading);
    j["samples"] = report.samples.size();
    // The summary rows, each under its key: a range as _min and _max, a place as _s.
    for (const ride::SummaryRow& row : ride::SummaryRows(report)) {
        if (row.kind == ride::RowKind::kNone) {
            j[row.key] = nullptr;
        } else if (row.kind == ride::RowKind::kWords) {
            j[row.key] = row.words;
        } else if (row.kind == ride::RowKind::kValley) {
            j[row.key] = {{"s", *row.at}, {"curve", row.curve}, {"min_start_speed", row.value}};
        } else if (row.upto) {
            j[row.key + "_min"] = row.value;
            j[row.key + "_max"] = *row.upto;
        } else {
            j[row.key] = row.value;
            if (row.at) j[row.key + "_s"] = *row.at;
        }
    }
    j["peaks"] = nlohmann::ordered_json::array();
    for (const ride::RidePeak& p : report.summary.peaks) j["peaks"].push_back({{"s", p.s}, {"lateral", p.lateral}, {"curve", p.curve}});
    j["unasked_roll_stretches"] = nlohmann::ordered_json::array();
    for (const ride::RideStretch& r : report.summary.unasked_stretches)
        j["unasked_roll_stretches"].push_back({{"from", r.from}, {"to", r.to}});
    j["verdict"] = VerdictJson(ride::JudgeRide(report));
    return j;
}

nlohmann::ordered_json VerdictJson(const ride::RideVerdict& verdict) {
    nlohmann::ordered_json j;
    j["level"] = ride::VerdictName(verdict.level);
    j["text"] = verdict.text;
    return j;
}

bool WriteTextOrReport(const std::string& path, const std::string& text, std::ostream& err) {
    if (path == "-") {
        std::cout << text;
        return true;
    }
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        err << "Cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool WritePlotOrReport(const std::string& path, const ride::RideReport& report, const ride::PlotOptions& options,
                       std::ostream& err) {
    const std::string svg = ride::RidePlotSvg(report, options);
    if (!EndsWithPng(path)) return WriteTextOrReport(path, svg, err);
#ifdef TORVIX_HAVE_RSVG
    std::string why;
    if (WritePng(path, svg, options.width, options.height, why)) return true;
    err << "Cannot write the plot " << path << ": " << why << "\n";
#else
    err << "Cannot write the plot " << path << ": this build draws plots as SVG only (there is no librsvg "
           "for PNG); name the file .svg\n";
#endif
    return false;
}

}  // namespace torvix::cli
