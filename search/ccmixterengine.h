#pragma once
// ccMixter (Creative Commons music) as a search engine. Its query API answers a JSON array of
// uploads (empty past the end); every audio file of the kind searched becomes a row, its
// address made from the raw download_url. Its JSON is read tolerantly (search/cataloguejson.h).
#include <string>
#include <string_view>

#include "search/catalogueengine.h"

namespace melorin::search {

class CcMixterEngine final : public CatalogueEngine {
public:
    static constexpr std::string_view kPublicBase = "https://ccmixter.org";
    static constexpr int kUploadsPerPage = 30;

    explicit CcMixterEngine(std::string_view base = kPublicBase);

    // Rows numbered on from list.rowsBefore; the next page while this one added rows. No
    // count label: the answer gives no total.
    [[nodiscard]] PageReading readPage(const SearchState& state, const Answer& answer,
                                       const ListContext& list) const override;

protected:
    [[nodiscard]] std::string pageAddress(std::string_view text, int page) const override;
};

}  // namespace melorin::search
