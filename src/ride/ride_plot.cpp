#include "ride/ride_plot.h"

#include "ride/plot_rules.h"
#include "ride/verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace torvix::track;

namespace torvix::ride {

namespace {

std::string Num(double v, int digits = 1) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
    return out;
}

struct Panel {
    double x0, y0, w, h;  // plot area in pixels
    double s_max;
    PlotAxis y;
    double X(double s) const { return x0 + w * s / s_max; }
    double Y(double v) const { return y0 + h * (1 - (v - y.lo) / (y.hi - y.lo)); }
};

class Svg {
public:
    Svg(int width, int height) {
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
                "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"12\">\n";
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    }
    void Line(double x1, double y1, double x2, double y2, const std::string& style) {
        out_ += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) + "\" " +
                style + "/>\n";
    }
    void Rect(double x, double y, double w, double h, const std::string& style) {
        out_ += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) + "\" " +
                style + "/>\n";
    }
    void Text(double x, double y, const std::string& text, const std::string& style = "") {
        out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" " + style + ">" + Escape(text) + "</text>\n";
    }
    void Polyline(const std::vector<std::pair<double, double>>& pts, const std::string& style) {
        if (pts.size() < 2) return;
        out_ += "<polyline fill=\"none\" " + style + " points=\"";
        for (const auto& [x, y] : pts) out_ += Num(x) + "," + Num(y) + " ";
        out_ += "\"/>\n";
    }
    std::string Finish() { return out_ + "</svg>\n"; }

private:
    std::string out_;
};

// Decimals enough to tell the ticks of a step apart (2.5 needs one, 0.25 two).
int Digits(double step) {
    const auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-9 * std::max(1.0, std::abs(v)); };
    if (whole(step)) return 0;
    return whole(step * 10) ? 1 : 2;
}

void DrawAxes(Svg& svg, const Panel& p, const std::string& label) {
    svg.Rect(p.x0, p.y0, p.w, p.h, "fill=\"none\" stroke=\"#888\"");
    const double step = p.y.step;
    for (double v = p.y.lo; v <= p.y.hi + step / 2; v += step) {
        const double y = p.Y(v);
        svg.Line(p.x0, y, p.x0 + p.w, y, "stroke=\"#e4e4e4\"");
        svg.Text(p.x0 - 6, y + 4, Num(v, Digits(step)), "text-anchor=\"end\" fill=\"#333\"");
    }
    if (p.y.lo < 0 && p.y.hi > 0) svg.Line(p.x0, p.Y(0), p.x0 + p.w, p.Y(0), "stroke=\"#999\"");
    svg.Text(p.x0 - 48, p.y0 + p.h / 2, label,
             "text-anchor=\"middle\" fill=\"#222\" transform=\"rotate(-90 " + Num(p.x0 - 48) + " " +
                 Num(p.y0 + p.h / 2) + ")\"");
}

// One polyline per run of samples the value does not wrap within.
void DrawSeries(Svg& svg, const Panel& p, const RideSamples& samples, const PlotPanel& panel,
                const std::string& style) {
    std::vector<std::pair<double, double>> pts;
    pts.reserve(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double value = panel.value(samples[i]);
        if (i > 0 && WrapsBetween(panel, panel.value(samples[i - 1]), value)) {
            svg.Polyline(pts, style);
            pts.clear();
        }
        pts.emplace_back(p.X(samples[i].s), p.Y(std::clamp(value, p.y.lo, p.y.hi)));
    }
    svg.Polyline(pts, style);
}

std::string PanelColour(const PlotPanel& panel) {
    const std::string name = panel.name;
    if (name == "speed") return "#1f77b4";
    if (name == "vertical") return "#ff7f0e";
    if (name == "lateral") return "#d62728";
    if (name == "roll") return "#9467bd";
    return "#2ca02c";
}

}  // namespace

std::string RidePlotSvg(const RideReport& report, const PlotOptions& options) {
    Svg svg(options.width, options.height);
    const std::vector<PlotPanel>& panels = PlotPanels();
    const double left = 80, right_margin = 40, top = 86, gap = 16, bottom = 50;
    const double plot_w = options.width - left - right_margin;
    const double plot_h = (options.height - top - bottom - gap * double(panels.size() - 1)) / double(panels.size());
    const double s_max = std::max(report.summary.length, 1.0);

    const RideSummary& sum = report.summary;
    svg.Text(left, 24, options.title.empty() ? "Ride report" : options.title, "font-size=\"17\" font-weight=\"bold\"");
    std::string line = "Heart line " + Num(sum.length) + " m, " + Num(sum.duration) + " s; speed " +
                       Num(sum.speed_min) + "-" + Num(sum.speed_max) + " m/s; vertical " + Num(sum.vertical_min, 2) +
                       " to " + Num(sum.vertical_max, 2) + " g; lateral max " + Num(sum.lateral_max, 2) + " g, RMS " +
                       Num(sum.lateral_rms, 3) + " g; airtime " + Num(sum.airtime, 1) + " s; roll rate max " +
                       Num(sum.roll_rate_max, 0) + " deg/s";
    if (sum.valley) line += "; VALLEYS at " + Num(sum.valley->s) + " m";
    svg.Text(left, 64, line, "fill=\"#333\"");
    svg.Text(left, 44, "Ride: " + JudgeRide(report).text, "font-size=\"13\" fill=\"#222\"");

    const Panel* last = nullptr;
    std::vector<Panel> placed;
    placed.reserve(panels.size());
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const PlotPanel& panel = panels[i];
        std::vector<double> values;
        values.reserve(report.samples.size());
        for (const RideSample& s : report.samples)
            if (const double v = panel.value(s); std::isfinite(v)) values.push_back(v);
        const auto [min, max] = ValueRange(values, panel.floor_lo, panel.floor_hi);
        const int ticks = std::max(2, static_cast<int>(plot_h / 28));
        placed.push_back(Panel{left, top + double(i) * (plot_h + gap), plot_w, plot_h, s_max,
                               ValueAxis(panel, min, max, ticks)});
        const Panel& p = placed.back();
        for (const PlotBand& band : panel.bands) {
            const double hi = std::clamp(band.hi, p.y.lo, p.y.hi), lo = std::clamp(band.lo, p.y.lo, p.y.hi);
            const char* fill = band.kind == PlotBand::Kind::kComfortable ? "fill=\"#2ca02c\" fill-opacity=\"0.15\""
                                                                         : "fill=\"#d2aa32\" fill-opacity=\"0.12\"";
            svg.Rect(p.x0, p.Y(hi), p.w, p.Y(lo) - p.Y(hi), fill);
        }
        for (const RideStretch& r : sum.unasked_stretches)
            svg.Rect(p.X(r.from), p.y0, std::max(p.X(r.to) - p.X(r.from), 1.5), p.h,
                     std::string("fill=\"") + kUnaskedColour + "\" fill-opacity=\"0.25\"");
        DrawAxes(svg, p, panel.title);
        for (double s : options.vertex_s)
            svg.Line(p.X(s), p.y0, p.X(s), p.y0 + p.h, "stroke=\"#b0b0b0\" stroke-width=\"0.6\"");
        DrawSeries(svg, p, report.samples, panel, "stroke=\"" + PanelColour(panel) + "\" stroke-width=\"1.4\"");
        if (std::string(panel.name) == "lateral") {
            for (const RidePeak& peak : sum.peaks) {
                const double x = p.X(peak.s), y = p.Y(std::clamp(peak.lateral, p.y.lo, p.y.hi));
                // Beside the peak, inside the panel.
                const double label_y = std::clamp(y + (peak.lateral >= 0 ? -6 : 14), p.y0 + 12, p.y0 + p.h - 4);
                svg.Text(x + 4, label_y, Num(peak.lateral, 2),
                         "fill=\"#d62728\" font-size=\"11\"");
            }
        }
        last = &p;
    }

    // The shared distance axis under the last panel.
    const double step = TickStep(s_max, 10);
    for (double s = 0; s <= s_max + 1e-9; s += step) {
        svg.Line(last->X(s), last->y0 + last->h, last->X(s), last->y0 + last->h + 5, "stroke=\"#888\"");
        svg.Text(last->X(s), last->y0 + last->h + 18, Num(s, Digits(step)), "text-anchor=\"middle\" fill=\"#333\"");
    }
    svg.Text(last->x0 + last->w / 2, last->y0 + last->h + 38,
             std::string("distance along the heart line (m); grey lines: vertices; bands: ") + kBandsText +
                 (sum.unasked_stretches.empty() ? "" : "; pink: turned over where nothing calls for it"),
             "text-anchor=\"middle\" fill=\"#222\"");
    return svg.Finish();
}

}  // namespace torvix::ride
