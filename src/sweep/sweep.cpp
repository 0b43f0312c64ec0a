#include "sweep/sweep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <thread>

#include "heartline/solver.h"
#include "ride/ride_report.h"
#include "track/track_io.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::sweep {

namespace {

struct RankInfo {
    RankBy rank;
    const char* name;
};

constexpr RankInfo kRanks[] = {
    {RankBy::kLateralRms, "lateral_rms"},
    {RankBy::kLateralMax, "lateral_max"},
    {RankBy::kRollRateMax, "roll_rate_max"},
    {RankBy::kHeartDeviationMax, "heart_deviation_max"},
    {RankBy::kBankErrorMax, "bank_error_max"},
    {RankBy::kVertexCount, "vertex_count"},
    {RankBy::kFileSize, "file_size"},
    {RankBy::kVerdict, "verdict"},
};

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

SweepEntry RunOne(const Track& source, double track_length, const SweepSettings& s, int segments, int precision,
                  int filter) {
    SweepEntry e;
    e.segments = segments;
    e.precision = precision;
    e.filter = filter;
    Track track = source;
    HeartlineParams params;
    params.segments = segments;
    params.precision = precision;
    params.filter = filter;
    params.heartline = s.heartline;
    params.start_speed = s.start_speed;
    params.end_speed = s.end_speed;
    const SolveResult run = SolveHeartlineWith(s.mode, track, track_length, params);
    e.filter_used = run.filter;
    if (!run.status.ok()) {
        e.status = run.status;
        return e;
    }
    const ride::RideReport ride =
        ride::MeasureRide(track, {s.heartline, s.start_speed, s.end_speed, s.step, s.reading}, &source);
    if (!ride.status.ok()) {
        e.status = base::Status::Fail("Ride report: " + ride.status.message());
        return e;
    }
    e.status = base::Status::Ok();
    e.lateral_rms = ride.summary.lateral_rms;
    e.lateral_max = ride.summary.lateral_max;
    e.vertical_min = ride.summary.vertical_min;
    e.vertical_max = ride.summary.vertical_max;
    e.roll_rate_max = ride.summary.roll_rate_max;
    e.bank_error_max = std::abs(ride.summary.bank_error_max);
    e.heart_deviation_max = ride::HeartDeviationMax(ride, source);
    e.vertex_count = track.bezr.vertex_count;
    e.file_size = EncodeTrack(track).size();
    e.unasked_roll = ride.summary.unasked_roll;
    const ride::RideVerdict verdict = ride::JudgeRide(ride);
    e.verdict = verdict.level;
    e.verdict_text = verdict.text;
    return e;
}

}  // namespace

base::Result<std::vector<int>> ParseGrid(std::string_view text) {
    std::vector<int> values;
    auto fail = [text](const std::string& why) {
        std::string error(1, '\'');
        error.append(text).append("': ").append(why);
        return base::Status::Fail(std::move(error));
    };
    if (text.empty()) return fail("no values");
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t c1 = item.find(':');
        if (c1 == std::string_view::npos) {
            const std::optional<int> v = ParseInt(item);
            if (!v) {
                std::string why(1, '\'');
                why.append(item).append("' is not a whole number");
                return fail(why);
            }
            values.push_back(*v);
        } else {
            const std::size_t c2 = item.find(':', c1 + 1);
            if (c2 == std::string_view::npos) return fail("a range is A:B:STEP");
            const std::optional<int> a = ParseInt(item.substr(0, c1));
            const std::optional<int> b = ParseInt(item.substr(c1 + 1, c2 - c1 - 1));
            const std::optional<int> step = ParseInt(item.substr(c2 + 1));
            if (!a || !b || !step) return fail("a range is A:B:STEP with whole numbers");
            if (*step <= 0) return fail("the step must be positive");
            if (*b < *a) return fail("a range must not run backwards");
            if ((static_cast<long long>(*b) - *a) / *step + values.size() >= kMaxGridValues)
                return fail("more than " + std::to_string(kMaxGridValues) + " values");
            for (long long v = *a; v <= *b; v += *step) values.push_back(static_cast<int>(v));
        }
        if (values.size() > kMaxGridValues) return fail("more than " + std::to_string(kMaxGridValues) + " values");
        start = comma + 1;
    }
    return values;
}

std::optional<RankBy> ParseRank(std::string_view name) {
    for (const RankInfo& r : kRanks)
        if (name == r.name) return r.rank;
    return std::nullopt;
}

const char* RankName(RankBy rank) {
    for (const RankInfo& r : kRanks)
        if (r.rank == rank) return r.name;
    return "";
}

std::string RankNames() {
    std::string out;
    for (const RankInfo& r : kRanks) {
        if (!out.empty()) out += '|';
        out += r.name;
    }
    return out;
}

double RankValue(const SweepEntry& e, RankBy rank) {
    switch (rank) {
        case RankBy::kLateralRms: return e.lateral_rms;
        case RankBy::kLateralMax: return e.lateral_max;
        case RankBy::kRollRateMax: return e.roll_rate_max;
        case RankBy::kHeartDeviationMax: return e.heart_deviation_max;
        case RankBy::kBankErrorMax: return e.bank_error_max;
        case RankBy::kVertexCount: return e.vertex_count;
        case RankBy::kFileSize: return static_cast<double>(e.file_size);
        case RankBy::kVerdict: return ride::VerdictRank(e.verdict);
    }
    return 0;
}

void RankEntries(std::vector<SweepEntry>& entries, RankBy rank) {
    std::stable_sort(entries.begin(), entries.end(), [rank](const SweepEntry& a, const SweepEntry& b) {
        if (a.status.ok() != b.status.ok()) return a.status.ok();
        if (!a.status.ok()) return false;
        const bool turned_a = a.unasked_roll > 0, turned_b = b.unasked_roll > 0;
        if (turned_a != turned_b) return turned_b;
        const double va = RankValue(a, rank), vb = RankValue(b, rank);
        if (va != vb) return va < vb;
        if (rank == RankBy::kVerdict && a.lateral_rms != b.lateral_rms) return a.lateral_rms < b.lateral_rms;
        return a.vertex_count < b.vertex_count;
    });
}

SweepSettings SuggestionGrid(double length) {
    SweepSettings s;
    s.segments.clear();
    for (double curve_length : {8.0, 6.0, 4.5, 3.0}) {
        const int n = static_cast<int>(std::clamp(std::round(length / curve_length), 2.0, 2000.0));
        if (std::find(s.segments.begin(), s.segments.end(), n) == s.segments.end()) s.segments.push_back(n);
    }
    s.precision = {6, 10};
    s.filter = {5, 15, 30};
    s.rank = RankBy::kLateralRms;
    return s;
}

std::optional<SweepEntry> PickSuggestion(const std::vector<SweepEntry>& ranked) {
    for (const SweepEntry& e : ranked)
        if (e.status.ok() && e.heart_deviation_max <= kSuggestDeviation) return e;
    if (!ranked.empty() && ranked.front().status.ok()) return ranked.front();
    return std::nullopt;
}

SweepResult RunSweep(const Track& track, double track_length, const SweepSettings& settings,
                     const std::atomic<bool>* cancel,
                     const std::function<void(std::size_t done, std::size_t total)>& progress) {
    struct Combination {
        int segments, precision, filter;
    };
    std::vector<Combination> combos;
    for (int seg : settings.segments)
        for (int pre : settings.precision)
            for (int fil : settings.filter) combos.push_back({seg, pre, fil});

    std::vector<std::optional<SweepEntry>> slots(combos.size());
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex report_mutex;
    auto work = [&] {
        for (;;) {
            if (cancel && cancel->load()) return;
            const std::size_t i = next.fetch_add(1);
            if (i >= combos.size()) return;
            const Combination& c = combos[i];
            slots[i] = RunOne(track, track_length, settings, c.segments, c.precision, c.filter);
            const std::lock_guard<std::mutex> lock(report_mutex);
            ++done;
            if (progress) progress(done, combos.size());
        }
    };
    unsigned jobs = settings.jobs > 0 ? static_cast<unsigned>(settings.jobs) : std::thread::hardware_concurrency();
    jobs = std::clamp<unsigned>(jobs, 1, static_cast<unsigned>(std::max<std::size_t>(combos.size(), 1)));
    std::vector<std::thread> workers;
    for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (std::thread& t : workers) t.join();

    SweepResult result;
    for (auto& slot : slots)
        if (slot) result.entries.push_back(std::move(*slot));
    result.cancelled = result.entries.size() < combos.size();
    RankEntries(result.entries, settings.rank);
    return result;
}

}  // namespace torvix::sweep
