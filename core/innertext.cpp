#include "core/innertext.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace melorin::core {
namespace {

enum class Display : std::uint8_t {
    None,
    Inline,
    Block,
    ListItem,
    InlineBlock,  // a block of its own inside a line (buttons, marquees)
    Replaced,     // shown, but no text of its own (images, inputs, videos)
    Table,
    RowGroup,
    Row,
    Cell,
    Caption,
    Column,
};

enum class Space : std::uint8_t { Collapse, PreLine, Preserve };

struct TagDisplay {
    std::string_view tag;
    Display display;
};

// The browsers' default style sheet, as far as it decides display; any other tag is inline.
constexpr std::array kTagDisplays = {
    TagDisplay{"head", Display::None},
    TagDisplay{"title", Display::None},
    TagDisplay{"base", Display::None},
    TagDisplay{"link", Display::None},
    TagDisplay{"meta", Display::None},
    TagDisplay{"style", Display::None},
    TagDisplay{"script", Display::None},
    TagDisplay{"noscript", Display::None},
    TagDisplay{"template", Display::None},
    TagDisplay{"area", Display::None},
    TagDisplay{"param", Display::None},
    TagDisplay{"datalist", Display::None},
    TagDisplay{"noembed", Display::None},
    TagDisplay{"noframes", Display::None},
    TagDisplay{"rp", Display::None},
    TagDisplay{"source", Display::None},
    TagDisplay{"track", Display::None},
    TagDisplay{"basefont", Display::None},
    TagDisplay{"bgsound", Display::None},
    TagDisplay{"html", Display::Block},
    TagDisplay{"body", Display::Block},
    TagDisplay{"address", Display::Block},
    TagDisplay{"blockquote", Display::Block},
    TagDisplay{"center", Display::Block},
    TagDisplay{"div", Display::Block},
    TagDisplay{"figure", Display::Block},
    TagDisplay{"figcaption", Display::Block},
    TagDisplay{"footer", Display::Block},
    TagDisplay{"form", Display::Block},
    TagDisplay{"header", Display::Block},
    TagDisplay{"hr", Display::Block},
    TagDisplay{"legend", Display::Block},
    TagDisplay{"listing", Display::Block},
    TagDisplay{"main", Display::Block},
    TagDisplay{"p", Display::Block},
    TagDisplay{"plaintext", Display::Block},
    TagDisplay{"pre", Display::Block},
    TagDisplay{"xmp", Display::Block},
    TagDisplay{"details", Display::Block},
    TagDisplay{"summary", Display::Block},
    TagDisplay{"dialog", Display::Block},
    TagDisplay{"dd", Display::Block},
    TagDisplay{"dl", Display::Block},
    TagDisplay{"dt", Display::Block},
    TagDisplay{"ol", Display::Block},
    TagDisplay{"ul", Display::Block},
    TagDisplay{"menu", Display::Block},
    TagDisplay{"dir", Display::Block},
    TagDisplay{"h1", Display::Block},
    TagDisplay{"h2", Display::Block},
    TagDisplay{"h3", Display::Block},
    TagDisplay{"h4", Display::Block},
    TagDisplay{"h5", Display::Block},
    TagDisplay{"h6", Display::Block},
    TagDisplay{"hgroup", Display::Block},
    TagDisplay{"nav", Display::Block},
    TagDisplay{"section", Display::Block},
    TagDisplay{"article", Display::Block},
    TagDisplay{"aside", Display::Block},
    TagDisplay{"fieldset", Display::Block},
    TagDisplay{"search", Display::Block},
    TagDisplay{"optgroup", Display::Block},
    TagDisplay{"frameset", Display::Block},
    TagDisplay{"frame", Display::Block},
    TagDisplay{"multicol", Display::Block},
    TagDisplay{"li", Display::ListItem},
    TagDisplay{"table", Display::Table},
    TagDisplay{"caption", Display::Caption},
    TagDisplay{"thead", Display::RowGroup},
    TagDisplay{"tbody", Display::RowGroup},
    TagDisplay{"tfoot", Display::RowGroup},
    TagDisplay{"tr", Display::Row},
    TagDisplay{"td", Display::Cell},
    TagDisplay{"th", Display::Cell},
    TagDisplay{"col", Display::Column},
    TagDisplay{"colgroup", Display::Column},
    TagDisplay{"button", Display::InlineBlock},
    TagDisplay{"marquee", Display::InlineBlock},
    TagDisplay{"img", Display::Replaced},
    TagDisplay{"image", Display::Replaced},
    TagDisplay{"input", Display::Replaced},
    TagDisplay{"textarea", Display::Replaced},
    TagDisplay{"select", Display::Replaced},
    TagDisplay{"iframe", Display::Replaced},
    TagDisplay{"embed", Display::Replaced},
    TagDisplay{"video", Display::Replaced},
    TagDisplay{"audio", Display::Replaced},
    TagDisplay{"canvas", Display::Replaced},
    TagDisplay{"svg", Display::Replaced},
    TagDisplay{"math", Display::Replaced},
    TagDisplay{"meter", Display::Replaced},
    TagDisplay{"progress", Display::Replaced},
    TagDisplay{"keygen", Display::Replaced},
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string tagName(const GumboElement& e) {
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
    GumboStringPiece original = e.original_tag;
    gumbo_tag_from_original_text(&original);
    return lower(std::string_view(original.data, original.length));
}

const char* attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a == nullptr ? nullptr : a->value;
}

// What a `style` attribute says about display, visibility and blanks.
struct Declared {
    std::optional<Display> display;
    std::optional<bool> visible;
    std::optional<Space> space;
};

std::optional<Display> displayValue(std::string_view v) {
    if (v == "none") return Display::None;
    if (v == "inline" || v == "contents") return Display::Inline;
    if (v == "block" || v == "flex" || v == "grid" || v == "flow-root") return Display::Block;
    if (v == "list-item") return Display::ListItem;
    if (v == "inline-block" || v == "inline-flex" || v == "inline-grid" || v == "inline-table")
        return Display::InlineBlock;
    if (v == "table") return Display::Table;
    if (v == "table-row") return Display::Row;
    if (v == "table-cell") return Display::Cell;
    if (v == "table-caption") return Display::Caption;
    if (v == "table-row-group" || v == "table-header-group" || v == "table-footer-group")
        return Display::RowGroup;
    if (v == "table-column" || v == "table-column-group") return Display::Column;
    return std::nullopt;
}

Declared declared(std::string_view style) {
    Declared d;
    while (!style.empty()) {
        const auto semicolon = style.find(';');
        const std::string_view item = style.substr(0, semicolon);
        style = semicolon == style.npos ? std::string_view() : style.substr(semicolon + 1);
        const auto colon = item.find(':');
        if (colon == item.npos) continue;
        const std::string property = lower(trimmed(item.substr(0, colon)));
        std::string value = lower(trimmed(item.substr(colon + 1)));
        if (const auto bang = value.find('!'); bang != value.npos)
            value = std::string(trimmed(std::string_view(value).substr(0, bang)));
        if (property == "display") {
            if (const auto v = displayValue(value)) d.display = v;
        } else if (property == "visibility") {
            if (value == "visible") d.visible = true;
            if (value == "hidden" || value == "collapse") d.visible = false;
        } else if (property == "white-space") {
            if (value == "normal" || value == "nowrap") d.space = Space::Collapse;
            if (value == "pre-line") d.space = Space::PreLine;
            if (value == "pre" || value == "pre-wrap" || value == "break-spaces")
                d.space = Space::Preserve;
        }
    }
    return d;
}

bool isBlockLevel(Display d) {
    return d == Display::Block || d == Display::ListItem || d == Display::Table ||
           d == Display::Caption;
}

bool isTablePart(Display d) {
    return d == Display::Table || d == Display::RowGroup || d == Display::Row ||
           d == Display::Column;
}

bool isText(const GumboNode* n) {
    return n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
           n->type == GUMBO_NODE_CDATA;
}

}  // namespace

struct RenderedText::Box {
    const GumboNode* node = nullptr;
    Display display = Display::Block;
    Space space = Space::Collapse;
    bool visible = true;
    bool text = false;       // a text node; `content` is its text as laid out
    bool lineBreak = false;  // <br>
    bool paragraph = false;  // <p>: two line breaks around it
    bool lastCell = false;   // no tab after this cell
    bool lastRow = false;    // no line break after this row
    std::string content;
    std::vector<Box> children;
};

namespace {

using Box = RenderedText::Box;

// --- Building the boxes: which nodes are shown, and how ---

void markTableEnds(Box& table) {
    Box* lastRow = nullptr;
    const auto takeRow = [&lastRow](Box& row) {
        lastRow = &row;
        Box* lastCell = nullptr;
        for (Box& cell : row.children) {
            if (cell.display == Display::Cell) lastCell = &cell;
        }
        if (lastCell != nullptr) lastCell->lastCell = true;
    };
    for (Box& child : table.children) {
        if (child.display == Display::Row) takeRow(child);
        if (child.display != Display::RowGroup) continue;
        for (Box& row : child.children) {
            if (row.display == Display::Row) takeRow(row);
        }
    }
    if (lastRow != nullptr) lastRow->lastRow = true;
}

void build(const GumboNode* node, const Box& parent, std::vector<Box>& out, int depth);

void buildChildren(const GumboElement& e, Box& box, int depth, bool closedDetails) {
    bool summaryTaken = false;
    for (unsigned i = 0; i < e.children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
        // Whitespace between the parts of a table is not laid out.
        if (child->type == GUMBO_NODE_WHITESPACE && isTablePart(box.display)) continue;
        if (closedDetails) {
            // A closed <details> shows its first <summary> only.
            if (summaryTaken || child->type != GUMBO_NODE_ELEMENT ||
                child->v.element.tag != GUMBO_TAG_SUMMARY)
                continue;
            summaryTaken = true;
        }
        build(child, box, box.children, depth + 1);
    }
    if (box.display == Display::Table) markTableEnds(box);
}

// A drop-down list shows one option in its line, but its text is every option, one to a line.
void buildOptions(const GumboNode* select, Box& box) {
    std::vector<const GumboNode*> stack{select};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type != GUMBO_NODE_ELEMENT) continue;
        if (n != select && n->v.element.tag == GUMBO_TAG_OPTION) {
            std::string label;
            for (const char c : textContent(n)) {
                const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
                if (blank && (label.empty() || label.back() == ' ')) continue;
                label += blank ? ' ' : c;
            }
            if (!label.empty() && label.back() == ' ') label.pop_back();
            Box text;
            text.text = true;
            text.visible = box.visible;
            text.content = std::move(label);
            Box option;
            option.node = n;
            option.visible = box.visible;
            option.display = Display::Block;
            option.children.push_back(std::move(text));
            box.children.push_back(std::move(option));
            continue;
        }
        const GumboVector& children = n->v.element.children;
        for (unsigned i = children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
    }
}

// Text as laid out inside `parent`, which gives it its blanks' rule and its visibility.
Box textBox(const GumboNode* node, const Box& parent, std::string content) {
    Box text;
    text.node = node;
    text.text = true;
    text.space = parent.space;
    text.visible = parent.visible;
    text.display = Display::Inline;
    text.content = std::move(content);
    return text;
}

void build(const GumboNode* node, const Box& parent, std::vector<Box>& out, int depth) {
    if (isText(node)) {
        out.push_back(textBox(node, parent, node->v.text.text));
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT) return;  // comments, templates
    const GumboElement& e = node->v.element;
    Box box;
    box.node = node;
    box.space = parent.space;
    box.visible = parent.visible;
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML) {
        // Drawings and formulas inside HTML: shown, their text not read.
        box.display = Display::Replaced;
        out.push_back(std::move(box));
        return;
    }
    const std::string tag = tagName(e);
    const auto known = std::find_if(kTagDisplays.begin(), kTagDisplays.end(),
                                    [&tag](const TagDisplay& t) { return t.tag == tag; });
    box.display = known == kTagDisplays.end() ? Display::Inline : known->display;
    if (attribute(e, "hidden") != nullptr) box.display = Display::None;
    if (tag == "dialog" && attribute(e, "open") == nullptr) box.display = Display::None;
    if (tag == "input") {
        const char* type = attribute(e, "type");
        if (type != nullptr && lower(type) == "hidden") box.display = Display::None;
    }
    if (tag == "pre" || tag == "listing" || tag == "xmp" || tag == "plaintext" || tag == "textarea")
        box.space = Space::Preserve;
    if (tag == "nobr" || ((tag == "td" || tag == "th") && attribute(e, "nowrap") != nullptr))
        box.space = Space::Collapse;
    if (const char* style = attribute(e, "style")) {
        const Declared d = declared(style);
        // A style cannot give an image text to show.
        if (d.display && (box.display != Display::Replaced || *d.display == Display::None))
            box.display = *d.display;
        if (d.visible) box.visible = *d.visible;
        if (d.space) box.space = *d.space;
    }
    if (box.display == Display::None) return;
    box.lineBreak = e.tag == GUMBO_TAG_BR;
    box.paragraph = e.tag == GUMBO_TAG_P;
    if (e.tag == GUMBO_TAG_SELECT && box.display == Display::Replaced) buildOptions(node, box);
    if (box.display != Display::Replaced) {
        if (depth >= RenderedText::kMaxDepth) {
            box.children.push_back(textBox(nullptr, box, textContent(node)));
        } else {
            buildChildren(e, box, depth,
                          e.tag == GUMBO_TAG_DETAILS && attribute(e, "open") == nullptr);
        }
    }
    out.push_back(std::move(box));
}

// --- Laying out the lines: which blanks stay ---

// Where the current line stands: at its start, blanks are dropped; after a blank, further
// blanks are; the last blank of the line goes when the line ends.
struct Line {
    bool atStart = true;
    bool afterBlank = false;
    std::string* trailingBlank = nullptr;  // the text whose last character is that blank
};

void endLine(Line& line) {
    if (line.trailingBlank != nullptr) line.trailingBlank->pop_back();
    line = Line{};
}

void putContent(Line& line) {
    line.atStart = false;
    line.afterBlank = false;
    line.trailingBlank = nullptr;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void flowText(Box& text, Line& line) {
    const std::string raw = std::move(text.content);
    text.content.clear();
    for (const char c : raw) {
        if (text.space == Space::Preserve) {
            text.content += c;
            putContent(line);
            line.atStart = c == '\n';
        } else if (text.space == Space::PreLine && c == '\n') {
            endLine(line);
            text.content += '\n';
        } else if (isBlank(c)) {
            if (line.atStart || line.afterBlank) continue;
            text.content += ' ';
            line.afterBlank = true;
            line.trailingBlank = &text.content;
        } else {
            text.content += c;
            putContent(line);
        }
    }
}

void flow(Box& box, Line& line) {
    if (box.text) {
        flowText(box, line);
        return;
    }
    if (box.lineBreak) {
        endLine(line);
        return;
    }
    switch (box.display) {
        case Display::Replaced:
            putContent(line);
            return;
        case Display::InlineBlock: {
            Line inner;
            for (Box& child : box.children) flow(child, inner);
            endLine(inner);
            putContent(line);
            return;
        }
        case Display::Inline:
            for (Box& child : box.children) flow(child, line);
            return;
        default:
            endLine(line);
            for (Box& child : box.children) flow(child, line);
            endLine(line);
            return;
    }
}

// --- Reading the text out ---

// A piece of text, or a number of line breaks that must stand between the pieces around it.
struct Item {
    std::string_view text;
    int lineBreaks = 0;
};

void collect(const Box& box, std::vector<Item>& items) {
    if (box.text) {
        if (box.visible && !box.content.empty()) items.push_back({box.content});
        return;
    }
    int breaks = 0;
    if (box.visible) breaks = box.paragraph ? 2 : isBlockLevel(box.display) ? 1 : 0;
    if (breaks > 0) items.push_back({{}, breaks});
    for (const Box& child : box.children) collect(child, items);
    if (box.visible) {
        if (box.lineBreak) items.push_back({"\n"});
        if (box.display == Display::Cell && !box.lastCell) items.push_back({"\t"});
        if (box.display == Display::Row && !box.lastRow) items.push_back({"\n"});
    }
    if (breaks > 0) items.push_back({{}, breaks});
}

std::string joined(const std::vector<Item>& items) {
    std::string out;
    int breaks = 0;
    for (const Item& item : items) {
        if (item.lineBreaks > 0) {
            breaks = std::max(breaks, item.lineBreaks);
            continue;
        }
        if (item.text.empty()) continue;
        // Line breaks at the very start and end are dropped.
        if (!out.empty()) out.append(static_cast<std::size_t>(breaks), '\n');
        breaks = 0;
        out += item.text;
    }
    return out;
}

void indexBoxes(const Box& box, std::unordered_map<const GumboNode*, const Box*>& boxes) {
    if (box.text) return;
    boxes[box.node] = &box;
    for (const Box& child : box.children) indexBoxes(child, boxes);
}

}  // namespace

std::string textContent(const GumboNode* node) {
    std::string out;
    std::vector<const GumboNode*> stack{node};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (isText(n)) {
            out += n->v.text.text;
        } else if (n->type == GUMBO_NODE_ELEMENT) {
            const GumboVector& children = n->v.element.children;
            for (unsigned i = children.length; i > 0; --i)
                stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
        }
    }
    return out;
}

RenderedText::RenderedText(const GumboNode* root) : root_(std::make_unique<Box>()) {
    root_->display = Display::Block;
    std::vector<Box> top;
    build(root, *root_, top, 0);
    root_->children = std::move(top);
    Line line;
    flow(*root_, line);
    for (const Box& child : root_->children) indexBoxes(child, boxes_);
}

RenderedText::~RenderedText() = default;

std::string RenderedText::innerText(const GumboNode* element) const {
    const auto it = boxes_.find(element);
    if (it == boxes_.end()) return textContent(element);
    std::vector<Item> items;
    for (const Box& child : it->second->children) collect(child, items);
    return joined(items);
}

}  // namespace melorin::core
