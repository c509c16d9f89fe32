#include "core/columnfit.h"

#include <algorithm>
#include <numeric>

namespace melorin::core {

namespace {

int leastOf(const std::vector<int>& least, std::size_t i) {
    return i < least.size() ? std::max(0, least[i]) : 0;
}

// The widths with every column capped at `cap`, none below its least.
std::vector<int> capped(const std::vector<int>& wanted, const std::vector<int>& least, int cap) {
    std::vector<int> out(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i)
        out[i] = std::max(leastOf(least, i), std::min(wanted[i], cap));
    return out;
}

long long sum(const std::vector<int>& widths) {
    return std::accumulate(widths.begin(), widths.end(), 0LL);
}

}  // namespace

std::vector<int> fitColumnWidths(const std::vector<int>& wanted, const std::vector<int>& least,
                                 int available) {
    if (wanted.empty()) return {};
    const int widest = *std::max_element(wanted.begin(), wanted.end());
    std::vector<int> full = capped(wanted, least, widest);
    if (sum(full) <= available) return full;
    // The widest cap that fits; the total grows with the cap, so halving finds it.
    int low = 0;
    int high = widest;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (sum(capped(wanted, least, mid)) <= available) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return capped(wanted, least, low);
}

}  // namespace melorin::core
