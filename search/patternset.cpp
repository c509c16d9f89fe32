#include "search/patternset.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace melorin::search {

PatternSet::PatternSet(const std::vector<std::string_view>& patterns) {
    terminalOf_.assign(patterns.size(), -1);
    rootNext_.fill(-1);
    nodes_.emplace_back();

    // Insert in sorted order: each pattern shares the path of its predecessor up to their
    // common prefix, and every node's children are created in rising byte order.
    std::vector<std::uint32_t> order(patterns.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return patterns[a] < patterns[b]; });

    struct Edge {
        std::int32_t parent, child;
        unsigned char byte;
    };
    std::vector<Edge> edges;
    std::vector<std::int32_t> path{0};
    std::string_view prev;
    for (const auto id : order) {
        const std::string_view p = patterns[id];
        if (p.empty()) continue;
        std::size_t common = 0;
        const std::size_t limit = std::min(prev.size(), p.size());
        while (common < limit && prev[common] == p[common]) ++common;
        path.resize(common + 1);
        for (std::size_t d = common; d < p.size(); ++d) {
            const auto node = static_cast<std::int32_t>(nodes_.size());
            nodes_.emplace_back();
            nodes_.back().depth = static_cast<std::uint32_t>(d + 1);
            edges.push_back({path[d], node, static_cast<unsigned char>(p[d])});
            path.push_back(node);
        }
        const std::int32_t end = path[p.size()];
        if (!nodes_[end].terminal) ++terminalCount_;
        nodes_[end].terminal = true;
        terminalOf_[id] = end;
        prev = p;
    }

    // Group the edges by parent (counting sort keeps their byte order).
    std::vector<std::uint32_t> count(nodes_.size() + 1, 0);
    for (const auto& e : edges) ++count[static_cast<std::size_t>(e.parent) + 1];
    for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
    edgeByte_.resize(edges.size());
    edgeChild_.resize(edges.size());
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        nodes_[n].edgeBegin = count[n];
        nodes_[n].edgeEnd = count[n];
    }
    for (const auto& e : edges) {
        auto& slot = nodes_[static_cast<std::size_t>(e.parent)].edgeEnd;
        edgeByte_[slot] = e.byte;
        edgeChild_[slot] = e.child;
        ++slot;
        if (e.parent == 0) rootNext_[e.byte] = e.child;
    }
    edges.clear();
    edges.shrink_to_fit();

    // Failure and dictionary links, breadth first.
    bfsOrder_.reserve(nodes_.size());
    bfsOrder_.push_back(0);
    for (std::size_t qi = 0; qi < bfsOrder_.size(); ++qi) {
        const std::int32_t u = bfsOrder_[qi];
        const Node un = nodes_[static_cast<std::size_t>(u)];
        for (auto ei = un.edgeBegin; ei < un.edgeEnd; ++ei) {
            const std::int32_t v = edgeChild_[ei];
            const unsigned char b = edgeByte_[ei];
            std::int32_t f = 0;
            if (u != 0) {
                std::int32_t g = un.fail;
                for (;;) {
                    const std::int32_t c = child(g, b);
                    if (c >= 0) {
                        f = c;
                        break;
                    }
                    if (g == 0) break;
                    g = nodes_[static_cast<std::size_t>(g)].fail;
                }
            }
            Node& vn = nodes_[static_cast<std::size_t>(v)];
            vn.fail = f;
            const Node& fn = nodes_[static_cast<std::size_t>(f)];
            vn.dict = (f != 0 && fn.terminal) ? f : fn.dict;
            bfsOrder_.push_back(v);
        }
    }
}

std::int32_t PatternSet::child(std::int32_t node, unsigned char b) const {
    if (node == 0) return rootNext_[b];
    const Node& n = nodes_[static_cast<std::size_t>(node)];
    const auto begin = edgeByte_.begin() + n.edgeBegin;
    const auto end = edgeByte_.begin() + n.edgeEnd;
    if (n.edgeEnd - n.edgeBegin <= 8) {
        for (auto it = begin; it != end; ++it)
            if (*it == b) return edgeChild_[static_cast<std::size_t>(it - edgeByte_.begin())];
        return -1;
    }
    const auto it = std::lower_bound(begin, end, b);
    if (it == end || *it != b) return -1;
    return edgeChild_[static_cast<std::size_t>(it - edgeByte_.begin())];
}

std::int32_t PatternSet::step(std::int32_t node, unsigned char b) const {
    for (;;) {
        const std::int32_t c = child(node, b);
        if (c >= 0) return c;
        if (node == 0) return 0;
        node = nodes_[static_cast<std::size_t>(node)].fail;
    }
}

PatternSet::FirstOccurrences::FirstOccurrences(const PatternSet& set)
    : set_(set), firstEnd_(set.nodes_.size(), -1), remaining_(set.terminalCount_) {}

void PatternSet::FirstOccurrences::feed(std::string_view piece) {
    const auto& nodes = set_.nodes_;
    for (const char ch : piece) {
        if (remaining_ == 0) return;
        state_ = set_.step(state_, static_cast<unsigned char>(ch));
        std::int32_t t = nodes[static_cast<std::size_t>(state_)].terminal
                             ? state_
                             : nodes[static_cast<std::size_t>(state_)].dict;
        // A pattern already found had its whole suffix chain found with it.
        while (t > 0 && firstEnd_[static_cast<std::size_t>(t)] < 0) {
            firstEnd_[static_cast<std::size_t>(t)] = offset_;
            --remaining_;
            t = nodes[static_cast<std::size_t>(t)].dict;
        }
        ++offset_;
    }
}

std::int64_t PatternSet::FirstOccurrences::start(std::size_t patternId) const {
    const std::int32_t node = set_.terminalOf_.at(patternId);
    if (node < 0) return -1;
    const std::int64_t end = firstEnd_[static_cast<std::size_t>(node)];
    if (end < 0) return -1;
    return end - static_cast<std::int64_t>(set_.nodes_[static_cast<std::size_t>(node)].depth) + 1;
}

void PatternSet::setWeights(const std::vector<std::int64_t>& weights) {
    constexpr auto kNone = std::numeric_limits<std::int64_t>::max();
    least_.assign(nodes_.size(), kNone);
    for (std::size_t id = 0; id < weights.size() && id < terminalOf_.size(); ++id) {
        const std::int32_t node = terminalOf_[id];
        if (node > 0) {
            auto& w = least_[static_cast<std::size_t>(node)];
            w = std::min(w, weights[id]);
        }
    }
    // Parents in the failure tree come first in breadth-first order.
    for (const auto n : bfsOrder_) {
        if (n == 0) continue;
        auto& w = least_[static_cast<std::size_t>(n)];
        w = std::min(w, least_[static_cast<std::size_t>(nodes_[static_cast<std::size_t>(n)].fail)]);
    }
}

std::int64_t PatternSet::leastWeightIn(std::string_view text, std::int64_t none) const {
    if (least_.empty()) return none;
    constexpr auto kNone = std::numeric_limits<std::int64_t>::max();
    std::int64_t best = kNone;
    std::int32_t s = 0;
    for (const char ch : text) {
        s = step(s, static_cast<unsigned char>(ch));
        best = std::min(best, least_[static_cast<std::size_t>(s)]);
    }
    return best == kNone ? none : best;
}

}  // namespace melorin::search
