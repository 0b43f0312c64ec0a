// Smoothing of the down vectors: a 1-2-3-2-1 filter over several passes, the
// fast parts of the track (or segments that ask for it) getting more passes.
#include <algorithm>
#include <cmath>
#include <utility>

#include "heartline/solver_phases_internal.h"

using namespace torvix::geometry;

namespace torvix::heartline {

int DeriveFilterCounts(SampleSet& set, int n, int filter) {
    if (set.vmin + 0.001 > set.vmax) set.vmax = set.vmin + 0.001;
    const double range = set.vmax - set.vmin;
    for (int k = 0; k <= n; ++k) {
        if (set.filter_count[k] != kSpeedDerivedCount) continue;
        const double share = (set.speed[k] - set.vmin) / range * 3 / 4 + 1.0 / 4;
        // The default rounding mode rounds halves to the even neighbour.
        set.filter_count[k] = static_cast<int>(std::nearbyint(share * filter));
    }
    int raised = filter;
    for (int k = 0; k <= n; ++k) raised = std::max(raised, set.filter_count[k]);
    return raised;
}

bool PassThresholdsFit(const SampleSet& set, int n, int filter) {
    if (filter < 1) return true;
    for (int k = 0; k <= n; ++k) {
        if (filter - set.filter_count[k] > 32767) return false;
    }
    return true;
}

void SmoothingPass(SampleSet& set, int n, int pass, int filter) {
    const auto& down = set.down;
    for (int k = 0; k <= n; ++k) {
        if (pass < filter - set.filter_count[k]) {
            set.smoothed[k] = down[k];
            continue;
        }
        const int k2m = std::max(k - 2, 0);
        const int k1m = std::max(k - 1, 0);
        const int k1p = std::min(k + 1, n);
        const int k2p = std::min(k + 2, n);
        Vector3 sum = VecAdd(down[k2p], down[k2m]);
        sum = VecAdd(sum, VecScale(down[k1m], 2));
        sum = VecAdd(sum, VecScale(down[k1p], 2));
        sum = VecAdd(sum, VecScale(down[k], 3));
        const Vector3 m = VecNormalize(sum);
        set.smoothed[k] = VecNormalize(VecCross(set.tangent[k], VecCross(m, set.tangent[k])));
    }
    // Swapping hands the pass's result over without copying; index n + 1 is never read.
    std::swap(set.down, set.smoothed);
}

}  // namespace torvix::heartline
