#include "cli/ride_output.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>

#ifdef TORVIX_HAVE_RSVG
#include <librsvg/rsvg.h>
#endif

namespace torvix::cli {

namespace {

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".png";
}

#ifdef TORVIX_HAVE_RSVG
// Rasterises the SVG text with librsvg and cairo, on a white page.
bool WritePng(const std::string& path, const std::string& svg, int width, int height, std::string& why) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
    if (!handle) {
        why = error ? error->message : "the plot could not be read back";
        if (error) g_error_free(error);
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
    bool ok = rsvg_handle_render_document(handle, cr, &viewport, &error);
    if (!ok) why = error ? error->message : "the plot could not be drawn";
    if (error) g_error_free(error);
    if (ok && cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        ok = false;
        why = "cannot write " + path;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    return ok;
}
#endif

}  // namespace

nlohmann::ordered_json RideJson(const ride::RideReport& report) {
    const ride::RideSummary& s = report.summary;
    nlohmann::ordered_json j;
    j["ok"] = report.ok;
    if (!report.ok) j["message"] = report.message;
    j["heartline"] = report.params.heartline;
    j["start_speed"] = report.params.start_speed;
    j["end_speed"] = report.params.end_speed;
    j["step"] = report.params.step;
    j["samples"] = report.samples.size();
    j["length"] = s.length;
    j["duration"] = s.duration;
    j["speed_min"] = s.speed_min;
    j["speed_max"] = s.speed_max;
    j["vertical_min"] = s.vertical_min;
    j["vertical_min_s"] = s.vertical_min_s;
    j["vertical_max"] = s.vertical_max;
    j["vertical_max_s"] = s.vertical_max_s;
    j["lateral_max"] = s.lateral_max;
    j["lateral_max_s"] = s.lateral_max_s;
    j["lateral_rms"] = s.lateral_rms;
    j["airtime"] = s.airtime;
    j["bank_error_max"] = s.bank_error_max;
    j["bank_error_max_s"] = s.bank_error_max_s;
    j["roll_rate_max"] = s.roll_rate_max;
    j["roll_rate_max_s"] = s.roll_rate_max_s;
    if (s.valley)
        j["valley"] = {{"s", s.valley->s}, {"curve", s.valley->curve}, {"min_start_speed", s.valley->min_start_speed}};
    else
        j["valley"] = nullptr;
    j["peaks"] = nlohmann::ordered_json::array();
    for (const ride::RidePeak& p : s.peaks) j["peaks"].push_back({{"s", p.s}, {"lateral", p.lateral}, {"curve", p.curve}});
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
    err << "This build draws plots as SVG only; name the file .svg\n";
#endif
    return false;
}

}  // namespace torvix::cli
