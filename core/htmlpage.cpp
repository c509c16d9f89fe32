#include "core/htmlpage.h"

#include <gumbo.h>

#include <memory>
#include <string>
#include <vector>

#include "core/innertext.h"
#include "core/linkaddress.h"
#include "core/markupguard.h"
#include "core/pagecharset.h"
#include "core/qtext.h"

namespace melorin::core {
namespace {

struct GumboFree {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};

const char* attribute(const GumboNode* n, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&n->v.element.attributes, name);
    return a == nullptr ? nullptr : a->value;
}

bool isHtml(const GumboNode* n, GumboTag tag) {
    return n->type == GUMBO_NODE_ELEMENT && n->v.element.tag == tag &&
           n->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

// Every element of the document in tree order; template contents are not part of it.
template <typename Visit>
void eachElement(const GumboNode* root, Visit visit) {
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type != GUMBO_NODE_ELEMENT) continue;
        visit(n);
        const GumboVector& children = n->v.element.children;
        for (unsigned i = children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
    }
}

const GumboNode* bodyOf(const GumboNode* html) {
    const GumboVector& children = html->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtml(child, GUMBO_TAG_BODY) || isHtml(child, GUMBO_TAG_FRAMESET)) return child;
    }
    return nullptr;
}

}  // namespace

PageDocument readPage(const QByteArray& bytes, const QByteArray& contentType, const QUrl& address) {
    PageDocument doc;
    doc.url = address;
    const DecodedPage page = decodePage(bytes, contentType);
    if (contentType.trimmed().toLower().startsWith("text/plain")) {
        doc.bodyText = page.text;
        return doc;
    }
    const std::string html = guardedMarkup(page.text.toStdString());
    const std::unique_ptr<GumboOutput, GumboFree> parsed(
        gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()));
    if (!parsed || parsed->root == nullptr) return doc;
    const GumboNode* root = parsed->root;

    std::string base = address.toEncoded().toStdString();
    bool baseSeen = false;
    std::vector<const GumboNode*> links;
    eachElement(root, [&](const GumboNode* n) {
        if (!baseSeen && isHtml(n, GUMBO_TAG_BASE) && attribute(n, "href") != nullptr) {
            baseSeen = true;
            const std::string named = resolveLink(attribute(n, "href"), base, page.encoding);
            // Only a web address can be a page's base; anything else leaves the page's own.
            if (named.rfind("http://", 0) == 0 || named.rfind("https://", 0) == 0) base = named;
        }
        if ((isHtml(n, GUMBO_TAG_A) || isHtml(n, GUMBO_TAG_AREA)) &&
            attribute(n, "href") != nullptr)
            links.push_back(n);
    });

    const RenderedText rendered(root);
    if (const GumboNode* body = bodyOf(root)) doc.bodyText = fromUtf8(rendered.innerText(body));
    doc.links.reserve(static_cast<qsizetype>(links.size()));
    for (const GumboNode* link : links) {
        doc.links.push_back({fromUtf8(resolveLink(attribute(link, "href"), base, page.encoding)),
                             fromUtf8(rendered.innerText(link))});
    }
    return doc;
}

}  // namespace melorin::core
