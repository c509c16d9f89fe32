#pragma once
// The text a browser gives as an element's innerText, for a page that gumbo parsed: what is
// shown, with blanks collapsed as the page lays them out, a line break for each <br> and around
// each block, two around a paragraph, tabs between table cells and line breaks between rows.
//
// What it knows of styles: every HTML element's default display (hidden ones such as <head>,
// <script> and <template> give nothing), the `hidden` attribute, and display, visibility and
// white-space given in `style` attributes. Style sheets are not read: text that a class hides
// is text here.
#include <memory>
#include <string>
#include <unordered_map>

struct GumboInternalNode;

namespace melorin::core {

class RenderedText {
public:
    // Lays out the page under `root`, its <html> element.
    explicit RenderedText(const GumboInternalNode* root);
    ~RenderedText();
    RenderedText(const RenderedText&) = delete;
    RenderedText& operator=(const RenderedText&) = delete;

    // The innerText of an element of the page, in UTF-8. An element that is not shown gives
    // its text content, as browsers do.
    [[nodiscard]] std::string innerText(const GumboInternalNode* element) const;

    // Elements nested deeper than this are read as their text content, without layout.
    static constexpr int kMaxDepth = 1024;

    struct Box;  // one shown node; defined where it is laid out

private:
    std::unique_ptr<Box> root_;
    std::unordered_map<const GumboInternalNode*, const Box*> boxes_;
};

// The concatenated text of every text node under `node`, as the DOM's textContent.
std::string textContent(const GumboInternalNode* node);

}  // namespace melorin::core
