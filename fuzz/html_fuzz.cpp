// The HTML page for the browser and the link check over arbitrary bytes:
// whatever goes in, the page read again holds nothing that runs or loads.
#include <gumbo.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/html.h"

using namespace tarvo;

namespace {

void CheckTree(const GumboNode* root) {
  std::vector<const GumboNode*> stack{root};
  while (!stack.empty()) {
    const GumboNode* n = stack.back();
    stack.pop_back();
    if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_DOCUMENT) continue;
    const GumboVector& kids = n->type == GUMBO_NODE_DOCUMENT ? n->v.document.children : n->v.element.children;
    for (unsigned i = 0; i < kids.length; ++i) stack.push_back(static_cast<const GumboNode*>(kids.data[i]));
    if (n->type != GUMBO_NODE_ELEMENT) continue;
    const GumboTag tag = n->v.element.tag;
    if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_IFRAME || tag == GUMBO_TAG_FRAME || tag == GUMBO_TAG_OBJECT ||
        tag == GUMBO_TAG_EMBED || tag == GUMBO_TAG_FORM || tag == GUMBO_TAG_BASE || tag == GUMBO_TAG_LINK ||
        n->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
      std::abort();
    const GumboVector& attrs = n->v.element.attributes;
    for (unsigned i = 0; i < attrs.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(attrs.data[i]);
      const std::string_view name = a->name;
      std::string value = std::string(a->value).substr(0, 12);
      for (char& c : value) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      if (name.starts_with("on") || name == "srcdoc" || name == "action" || name == "formaction") std::abort();
      if (name == "src" && !value.starts_with("data:image/")) std::abort();
      if (name == "href" && !(value.starts_with("http") || value.starts_with("dummy") || value.starts_with("mailto:") ||
                              value.starts_with("tel:") || value.starts_with("#")))
        std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  (void)HtmlLinks(html);
  THtmlPageOptions options;
  options.DisarmLinks = size % 2 == 0;
  options.CidImages = [](std::string_view) -> std::optional<std::string> { return "data:image/png;base64,AAAA"; };
  const std::string page = SafeHtmlPage(html, options);
  GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
  CheckTree(out->root);
  gumbo_destroy_output(&kGumboDefaultOptions, out);
  return 0;
}
