#include "ride/ride_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

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

// A round step that gives about `count` ticks over [lo, hi].
double TickStep(double lo, double hi, int count) {
    const double raw = std::max((hi - lo) / count, 1e-9);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

struct Range {
    double lo = 0, hi = 1;
    void Include(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // Widened to whole ticks.
    Range Rounded(int ticks) const {
        const double step = TickStep(lo, hi, ticks);
        return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
    }
};

struct Panel {
    double x0, y0, w, h;  // plot area in pixels
    double s_max;
    Range y;
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

using Field = std::function<double(const RideSample&)>;

struct Series {
    Field field;
    std::string label;
    std::string colour;
    bool right_axis = false;
};

void DrawAxes(Svg& svg, const Panel& p, const std::string& label, const std::string& right_label, const Range* right) {
    svg.Rect(p.x0, p.y0, p.w, p.h, "fill=\"none\" stroke=\"#888\"");
    const double step = TickStep(p.y.lo, p.y.hi, 5);
    for (double v = p.y.lo; v <= p.y.hi + step / 2; v += step) {
        const double y = p.Y(v);
        svg.Line(p.x0, y, p.x0 + p.w, y, "stroke=\"#e4e4e4\"");
        svg.Text(p.x0 - 6, y + 4, Num(v, step < 1 ? 1 : 0), "text-anchor=\"end\" fill=\"#333\"");
    }
    if (p.y.lo < 0 && p.y.hi > 0) svg.Line(p.x0, p.Y(0), p.x0 + p.w, p.Y(0), "stroke=\"#999\"");
    svg.Text(p.x0 - 48, p.y0 + p.h / 2, label,
             "text-anchor=\"middle\" fill=\"#222\" transform=\"rotate(-90 " + Num(p.x0 - 48) + " " +
                 Num(p.y0 + p.h / 2) + ")\"");
    if (right) {
        Panel r = p;
        r.y = *right;
        const double rs = TickStep(right->lo, right->hi, 5);
        for (double v = right->lo; v <= right->hi + rs / 2; v += rs)
            svg.Text(p.x0 + p.w + 6, r.Y(v) + 4, Num(v, 0), "fill=\"#555\"");
        svg.Text(p.x0 + p.w + 52, p.y0 + p.h / 2, right_label,
                 "text-anchor=\"middle\" fill=\"#222\" transform=\"rotate(90 " + Num(p.x0 + p.w + 52) + " " +
                     Num(p.y0 + p.h / 2) + ")\"");
    }
}

void DrawSeries(Svg& svg, const Panel& p, const std::vector<RideSample>& samples, const Field& field,
                const std::string& style) {
    std::vector<std::pair<double, double>> pts;
    pts.reserve(samples.size());
    for (const RideSample& s : samples) {
        const double v = std::clamp(field(s), p.y.lo, p.y.hi);
        pts.emplace_back(p.X(s.s), p.Y(v));
    }
    svg.Polyline(pts, style);
}

}  // namespace

std::string RidePlotSvg(const RideReport& report, const PlotOptions& options) {
    Svg svg(options.width, options.height);
    const double left = 80, right_margin = 80, top = 70, gap = 46;
    const double plot_w = options.width - left - right_margin;
    const double plot_h = (options.height - top - 50 - 2 * gap) / 3;
    double s_max = std::max(report.summary.length, 1.0);
    if (options.compare) s_max = std::max(s_max, options.compare->summary.length);

    std::vector<const std::vector<RideSample>*> rides = {&report.samples};
    if (options.compare) rides.push_back(&options.compare->samples);

    const RideSummary& sum = report.summary;
    svg.Text(left, 24, options.title.empty() ? "Ride report" : options.title, "font-size=\"17\" font-weight=\"bold\"");
    std::string line = "Heart line " + Num(sum.length) + " m, " + Num(sum.duration) + " s; speed " +
                       Num(sum.speed_min) + "-" + Num(sum.speed_max) + " m/s; vertical " + Num(sum.vertical_min, 2) +
                       " to " + Num(sum.vertical_max, 2) + " g; lateral max " + Num(sum.lateral_max, 2) + " g, RMS " +
                       Num(sum.lateral_rms, 3) + " g; airtime " + Num(sum.airtime, 1) + " s; roll rate max " +
                       Num(sum.roll_rate_max, 0) + " deg/s";
    if (sum.valley) line += "; VALLEYS at " + Num(sum.valley->s) + " m";
    svg.Text(left, 46, line, "fill=\"#333\"");

    auto make_panel = [&](int index, Range y) {
        return Panel{left, top + index * (plot_h + gap), plot_w, plot_h, s_max, y};
    };
    // Spikes beyond `clip` are cut at the frame (the peaks are labelled), so the usual range stays readable.
    auto range_of = [&](const std::vector<Field>& fields, Range r, Range clip) {
        for (const auto* samples : rides)
            for (const RideSample& s : *samples)
                for (const Field& f : fields) r.Include(std::clamp(f(s), clip.lo, clip.hi));
        return r.Rounded(5);
    };
    const std::string dash = "stroke-dasharray=\"6 4\" stroke-opacity=\"0.6\"";

    // Speed.
    const Field speed = [](const RideSample& s) { return s.speed; };
    const Panel p1 = make_panel(0, range_of({speed}, {0, 1}, {0, 1e9}));
    DrawAxes(svg, p1, "speed (m/s)", "", nullptr);

    // Seat forces, with the comfortable lateral band and the seated vertical band shaded.
    const Field vertical = [](const RideSample& s) { return s.vertical; };
    const Field lateral = [](const RideSample& s) { return s.lateral; };
    const Panel p2 = make_panel(1, range_of({vertical, lateral}, {-1, 2}, {-3, 6}));
    svg.Rect(p2.x0, p2.Y(std::min(4.0, p2.y.hi)), p2.w, p2.Y(std::max(0.0, p2.y.lo)) - p2.Y(std::min(4.0, p2.y.hi)),
             "fill=\"#1f77b4\" fill-opacity=\"0.06\"");
    svg.Rect(p2.x0, p2.Y(0.3), p2.w, p2.Y(-0.3) - p2.Y(0.3), "fill=\"#2ca02c\" fill-opacity=\"0.15\"");
    DrawAxes(svg, p2, "force (g)", "", nullptr);

    // Roll and its rate, the rate on its own axis at the right.
    const Field roll = [](const RideSample& s) { return s.roll; };
    const Field rate = [](const RideSample& s) { return s.roll_rate; };
    const Panel p3 = make_panel(2, range_of({roll}, {-90, 90}, {-180, 180}));
    const Range rate_range = range_of({rate}, {-100, 100}, {-720, 720});
    DrawAxes(svg, p3, "roll (deg)", "roll rate (deg/s)", &rate_range);
    Panel p3r = p3;
    p3r.y = rate_range;

    // Vertex marks across all panels.
    for (double s : options.vertex_s) {
        for (const Panel* p : {&p1, &p2, &p3})
            svg.Line(p->X(s), p->y0, p->X(s), p->y0 + p->h, "stroke=\"#b0b0b0\" stroke-width=\"0.6\"");
    }

    for (std::size_t r = rides.size(); r-- > 0;) {
        const auto& samples = *rides[r];
        const std::string extra = r == 0 ? "stroke-width=\"1.4\"" : "stroke-width=\"1.2\" " + dash;
        DrawSeries(svg, p1, samples, speed, "stroke=\"#1f77b4\" " + extra);
        DrawSeries(svg, p2, samples, vertical, "stroke=\"#1f77b4\" " + extra);
        DrawSeries(svg, p2, samples, lateral, "stroke=\"#d62728\" " + extra);
        DrawSeries(svg, p3, samples, roll, "stroke=\"#9467bd\" " + extra);
        DrawSeries(svg, p3r, samples, rate, "stroke=\"#ff7f0e\" stroke-opacity=\"0.8\" " + extra);
    }
    for (const RidePeak& peak : sum.peaks) {
        const double x = p2.X(peak.s), y = p2.Y(std::clamp(peak.lateral, p2.y.lo, p2.y.hi));
        svg.Text(x, y + (peak.lateral >= 0 ? -6 : 14), Num(peak.lateral, 2), "text-anchor=\"middle\" fill=\"#d62728\" font-size=\"11\"");
    }

    // Legends and the shared distance axis.
    auto legend = [&](const Panel& p, std::vector<std::pair<std::string, std::string>> items) {
        double x = p.x0 + 8;
        for (const auto& [label, colour] : items) {
            svg.Line(x, p.y0 - 8, x + 18, p.y0 - 8, "stroke=\"" + colour + "\" stroke-width=\"2\"");
            svg.Text(x + 22, p.y0 - 4, label, "fill=\"#222\"");
            x += 30 + 7.5 * label.size();
        }
        if (options.compare) {
            svg.Line(x, p.y0 - 8, x + 18, p.y0 - 8, "stroke=\"#444\" stroke-width=\"1.5\" " + dash);
            svg.Text(x + 22, p.y0 - 4, options.compare_label, "fill=\"#222\"");
        }
    };
    legend(p1, {{"speed", "#1f77b4"}});
    legend(p2, {{"vertical", "#1f77b4"}, {"lateral", "#d62728"}, {"|lateral| <= 0.3 g", "#2ca02c"}});
    legend(p3, {{"roll", "#9467bd"}, {"roll rate", "#ff7f0e"}});
    const double step = TickStep(0, s_max, 10);
    for (double s = 0; s <= s_max + 1e-9; s += step) {
        svg.Line(p3.X(s), p3.y0 + p3.h, p3.X(s), p3.y0 + p3.h + 5, "stroke=\"#888\"");
        svg.Text(p3.X(s), p3.y0 + p3.h + 18, Num(s, 0), "text-anchor=\"middle\" fill=\"#333\"");
    }
    svg.Text(p3.x0 + p3.w / 2, p3.y0 + p3.h + 38, "distance along the heart line (m); grey lines: vertices",
             "text-anchor=\"middle\" fill=\"#222\"");
    return svg.Finish();
}

}  // namespace torvix::ride
