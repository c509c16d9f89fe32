// Many search texts looked up in one pass over a page (an Aho-Corasick automaton), so that a
// page with 100 000 links costs one scan of its text rather than one scan per link.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace melorin::search {

class PatternSet {
public:
    // Pattern ids are the indices into `patterns`; equal patterns share their results.
    // Empty patterns are never found.
    explicit PatternSet(const std::vector<std::string_view>& patterns);

    // The 0-based start of each pattern's first occurrence in a text fed in pieces, or -1.
    class FirstOccurrences {
    public:
        explicit FirstOccurrences(const PatternSet& set);
        void feed(std::string_view piece);
        // True once every pattern has been found; feeding more changes nothing.
        bool complete() const { return remaining_ == 0; }
        std::int64_t start(std::size_t patternId) const;

    private:
        const PatternSet& set_;
        std::vector<std::int64_t> firstEnd_;  // per node
        std::size_t remaining_ = 0;
        std::int32_t state_ = 0;
        std::int64_t offset_ = 0;
    };

    // The least weight among the patterns that occur in `text`, or `none` when none does.
    // Weights are set once with `setWeights` (one per pattern id).
    void setWeights(const std::vector<std::int64_t>& weights);
    std::int64_t leastWeightIn(std::string_view text, std::int64_t none) const;

private:
    std::int32_t child(std::int32_t node, unsigned char b) const;
    std::int32_t step(std::int32_t node, unsigned char b) const;

    struct Node {
        std::int32_t fail = 0;
        std::int32_t dict = -1;  // nearest proper suffix that ends a pattern
        std::uint32_t depth = 0;
        std::uint32_t edgeBegin = 0;
        std::uint32_t edgeEnd = 0;
        bool terminal = false;
    };
    std::vector<Node> nodes_;
    std::vector<unsigned char> edgeByte_;
    std::vector<std::int32_t> edgeChild_;
    std::array<std::int32_t, 256> rootNext_{};
    std::vector<std::int32_t> terminalOf_;  // per pattern id, -1 for empty patterns
    std::vector<std::int32_t> bfsOrder_;
    std::vector<std::int64_t> least_;  // per node, over its suffix chain
    std::size_t terminalCount_ = 0;
};

}  // namespace melorin::search
