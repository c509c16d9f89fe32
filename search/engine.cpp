#include "search/engine.h"

namespace melorin::search {

ItemReading Engine::readItem(const ItemRef&, const Answer&, const ListContext&) const {
    return {{}, false};
}

Request DefaultEngine::search(const SearchState& state, std::string_view text,
                              int kindIndex) const {
    return searchRequest(hosts_, state, text, kindIndex);
}

Request DefaultEngine::nextPage(const SearchState& state, std::string_view text,
                                int kindIndex) const {
    return nextPageRequest(hosts_, state, text, kindIndex);
}

PageReading DefaultEngine::readPage(const SearchState& state, const Answer& answer,
                                    const ListContext& list) const {
    return {readResultPage(hosts_, state, {answer.links, answer.body}, list), {}, std::nullopt};
}

}  // namespace melorin::search
