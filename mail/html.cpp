// HTML through gumbo. Gumbo follows the HTML5 parsing rules, so what we
// read is what a browser would build; but it duplicates-checks each
// attribute against the tag's others and frees its tree recursively, so a
// linear pre-pass tames tags with hundreds of attributes and bounds the
// nesting one parse may build. Our own walks over the tree use a stack.
#include "mail/html.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/ascii.h"
#include "jcode/jconvert.h"

namespace tarvo {

namespace {

// More attributes than this in one tag make it text: gumbo's duplicate
// check is quadratic in them.
constexpr std::size_t kMaxAttributes = 32;
// A page deeper or larger than this is shown as text.
constexpr std::size_t kPageMaxDepth = 1024;
constexpr std::size_t kPageMaxBytes = std::size_t{16} << 20;
// The link check parses pieces of at most about this size and nesting.
constexpr std::size_t kChunkBytes = std::size_t{2} << 20;
constexpr std::size_t kChunkDepth = 256;
// Our own serialiser unwraps elements nested deeper than this.
constexpr std::size_t kMaxOutDepth = 512;
// A link's visible text is read up to this many bytes.
constexpr std::size_t kMaxLinkText = 1024;
// A cid: image larger than this is not inlined.
constexpr std::size_t kMaxInlineImage = std::size_t{10} << 20;

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that never nest in the tree built: void ones, ones a sibling of
// their kind closes, ones the parser merges, and raw text ones, which the
// pre-pass steps over.
bool NestsNot(std::string_view name) {
  return OneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track",
                      "wbr", "param", "keygen", "frame", "basefont", "bgsound", "image", "p", "li", "dt", "dd", "tr",
                      "td", "th", "option", "optgroup", "a", "tbody", "thead", "tfoot", "colgroup", "caption", "rb",
                      "rt", "rp", "html", "head", "body", "script", "style", "textarea", "title", "xmp", "iframe",
                      "noembed", "noframes", "noscript", "plaintext"});
}

bool IsRawText(std::string_view name) {
  return OneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes", "noscript"});
}

struct TShape {
  std::string Text;                  // the input with tamed tags' "<" made blanks
  std::size_t MaxDepth = 0;          // the deepest nesting a piece reaches, estimated
  std::vector<std::size_t> Cuts;     // where pieces start after the first
};

// Reads a tag's attributes from just after its name up to its ">" (or the
// text's end), where `k` is left: how many, and whether "/" ends the tag.
std::pair<std::size_t, bool> ReadAttributes(std::string_view s, std::size_t& k) {
  const std::size_t n = s.size();
  std::size_t attributes = 0;
  bool selfClosing = false;
  while (k < n && s[k] != '>') {
    if (IsHtmlSpace(s[k]) || s[k] == '/') {
      selfClosing = s[k] == '/';
      ++k;
      continue;
    }
    selfClosing = false;
    ++attributes;
    ++k;  // a first "=" belongs to the name
    while (k < n && !IsHtmlSpace(s[k]) && s[k] != '/' && s[k] != '>' && s[k] != '=') ++k;
    while (k < n && IsHtmlSpace(s[k])) ++k;
    if (k < n && s[k] == '=') {
      ++k;
      while (k < n && IsHtmlSpace(s[k])) ++k;
      if (k < n && (s[k] == '"' || s[k] == '\'')) {
        const std::size_t end = s.find(s[k], k + 1);
        k = end == std::string::npos ? n : end + 1;
      } else {
        while (k < n && !IsHtmlSpace(s[k]) && s[k] != '>') ++k;
      }
    }
  }
  return {attributes, selfClosing};
}

// One pass over the text, reading tags roughly as the tokenizer does.
// `chunkBytes`/`chunkDepth` say where to cut pieces (before a tag).
TShape ShapeOf(std::string_view html, std::size_t chunkBytes, std::size_t chunkDepth) {
  TShape shape;
  shape.Text.assign(html);
  std::string& s = shape.Text;
  const std::size_t n = s.size();
  std::size_t depth = 0, chunkStart = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t lt = s.find('<', i);
    if (lt == std::string::npos || lt + 1 >= n) break;
    i = lt;
    if (s.compare(i, 4, "<!--") == 0) {
      const std::size_t end = s.find("-->", i + 4);
      i = end == std::string::npos ? n : end + 3;
      continue;
    }
    if (s[i + 1] == '!' || s[i + 1] == '?') {
      const std::size_t end = s.find('>', i + 2);
      i = end == std::string::npos ? n : end + 1;
      continue;
    }
    const bool close = s[i + 1] == '/';
    std::size_t k = i + 1 + (close ? 1 : 0);
    if (k >= n || !IsAlpha(s[k])) {
      ++i;
      continue;
    }
    const std::size_t nameStart = k;
    while (k < n && !IsHtmlSpace(s[k]) && s[k] != '/' && s[k] != '>') ++k;
    const std::string name = LowerAscii(std::string_view(s).substr(nameStart, std::min<std::size_t>(k - nameStart, 16)));
    const auto [attributes, selfClosing] = ReadAttributes(s, k);
    if (attributes > kMaxAttributes) {
      // Text, as far as the tag reached: every "<" in it, or the next tag
      // would start inside and be read again.
      for (std::size_t p = i; p < k; ++p)
        if (s[p] == '<') s[p] = ' ';
      i = k;
      continue;
    }
    if (!close && i > chunkStart && (i - chunkStart >= chunkBytes || depth >= chunkDepth)) {
      shape.Cuts.push_back(i);
      chunkStart = i;
      depth = 0;
    }
    if (!NestsNot(name) && !selfClosing) {
      if (close) depth -= depth > 0 ? 1 : 0;
      else shape.MaxDepth = std::max(shape.MaxDepth, ++depth);
    }
    i = k < n ? k + 1 : n;
    if (!close && name == "plaintext") break;
    if (!close && IsRawText(name)) {
      const std::size_t end = FindNoCase(s, "</" + name, i);
      i = end == std::string::npos ? n : end;
    }
  }
  return shape;
}

// A parse tree, freed when it goes.
class TGumboTree {
 public:
  TGumboTree(const char* data, std::size_t size) {
    options_ = kGumboDefaultOptions;
    options_.max_errors = 0;  // nobody reads them
    output_ = gumbo_parse_with_options(&options_, data, size);
  }
  ~TGumboTree() {
    if (output_) gumbo_destroy_output(&options_, output_);
  }
  TGumboTree(const TGumboTree&) = delete;
  TGumboTree& operator=(const TGumboTree&) = delete;
  [[nodiscard]] const GumboNode* Document() const { return output_ ? output_->document : nullptr; }

 private:
  GumboOptions options_;
  GumboOutput* output_ = nullptr;
};

const GumboVector* ChildrenOf(const GumboNode* node) {
  if (node->type == GUMBO_NODE_DOCUMENT) return &node->v.document.children;
  if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) return &node->v.element.children;
  return nullptr;
}

const GumboNode* Child(const GumboVector* v, unsigned i) { return static_cast<const GumboNode*>(v->data[i]); }

std::string_view TagName(const GumboNode* node) {
  if (node->type != GUMBO_NODE_ELEMENT) return {};
  return gumbo_normalized_tagname(node->v.element.tag);
}

const char* AttributeOf(const GumboNode* node, const char* name) {
  if (node->type != GUMBO_NODE_ELEMENT) return nullptr;
  const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
  return a ? a->value : nullptr;
}

// Visits every node below `root` in document order without recursion:
// `enter` returns false to skip a node's children; `leave` follows the
// children of a node entered.
template <typename Enter, typename Leave>
void Walk(const GumboNode* root, Enter enter, Leave leave) {
  struct TFrame {
    const GumboNode* node;
    unsigned next;
  };
  std::vector<TFrame> stack;
  if (enter(root, std::size_t{0})) stack.push_back({root, 0});
  while (!stack.empty()) {
    TFrame& top = stack.back();
    const GumboVector* children = ChildrenOf(top.node);
    if (!children || top.next >= children->length) {
      const GumboNode* done = top.node;
      stack.pop_back();
      leave(done, stack.size());
      continue;
    }
    const GumboNode* child = Child(children, top.next++);
    if (enter(child, stack.size())) stack.push_back({child, 0});
  }
}

// Pictures a style attribute loads ("background: url('https://...')"),
// a few per element.
void StylePictures(const char* style, std::vector<THtmlLink>& links) {
  const std::string_view text = style;
  std::size_t at = FindNoCase(text, "url(");
  for (int n = 0; n < 4 && at != std::string_view::npos; ++n, at = FindNoCase(text, "url(", at)) {
    at += 4;
    const std::size_t end = text.find(')', at);
    std::string_view url = TrimFws(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    if (url.size() >= 2 && (url.front() == '\'' || url.front() == '"') && url.back() == url.front())
      url = url.substr(1, url.size() - 2);
    if (!url.empty()) links.push_back({std::string(TrimFws(url)), {}, true});
  }
}

void LinksOfPiece(const char* data, std::size_t size, std::vector<THtmlLink>& links) {
  const TGumboTree tree(data, size);
  if (!tree.Document()) return;
  std::vector<std::pair<const GumboNode*, std::size_t>> open;  // <a> elements and their link
  Walk(
      tree.Document(),
      [&](const GumboNode* node, std::size_t) {
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
          if (!open.empty()) {
            std::string& text = links[open.back().second].Text;
            if (text.size() < kMaxLinkText) text.append(node->v.text.text).append(" ");
          }
          return false;
        }
        const std::string_view tag = TagName(node);
        if (tag == "script" || tag == "style" || node->type == GUMBO_NODE_TEMPLATE) return false;
        if (tag == "a") {
          if (const char* href = AttributeOf(node, "href")) {
            links.push_back({std::string(TrimFws(href)), {}});
            open.emplace_back(node, links.size() - 1);
          }
        } else if (tag == "img") {
          if (const char* src = AttributeOf(node, "src")) links.push_back({std::string(TrimFws(src)), {}, true});
        }
        if (const char* style = AttributeOf(node, "style")) StylePictures(style, links);
        return true;
      },
      [&](const GumboNode* node, std::size_t) {
        if (!open.empty() && open.back().first == node) {
          std::string& text = links[open.back().second].Text;
          text = CollapseFws(text);
          open.pop_back();
        }
      });
}

// ---- the page ----

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      default: out += c;
    }
  }
}

// A URL as a browser reads it: blanks and controls around it dropped, tabs
// and line breaks inside removed.
std::string CleanUrl(std::string_view url) {
  while (!url.empty() && static_cast<unsigned char>(url.front()) <= 0x20) url.remove_prefix(1);
  while (!url.empty() && static_cast<unsigned char>(url.back()) <= 0x20) url.remove_suffix(1);
  std::string out;
  out.reserve(url.size());
  for (const char c : url)
    if (c != '\t' && c != '\n' && c != '\r') out += c;
  return out;
}

// The lower-case scheme of a URL, or empty for a relative one.
std::string SchemeOf(std::string_view url) {
  if (url.empty() || !IsAlpha(url[0])) return {};
  for (std::size_t i = 1; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') return LowerAscii(url.substr(0, i));
    if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

// A style sheet's text with every way to load something made inert; the
// Content-Security-Policy forbids the loads anyway. Escapes are escaped in
// turn, so "\75rl(" cannot spell url(.
std::string InertCss(std::string_view css) {
  std::string out;
  out.reserve(css.size() + 16);
  for (std::size_t i = 0; i < css.size(); ++i) {
    const char c = css[i];
    if (c == '\\') {
      out += "\\\\";
      continue;
    }
    if (c == '<' && i + 1 < css.size() && css[i + 1] == '/') {  // no "</style" inside
      out += "<\\";
      continue;
    }
    for (const std::string_view word : {"url(", "@import", "expression(", "behavior", "-moz-binding", "image-set("}) {
      if (StartsWithNoCase(css.substr(i), word)) {
        out += "blocked-";
        break;
      }
    }
    out += c;
  }
  return out;
}

// Attributes that only shape how the page looks.
bool IsPlainAttribute(std::string_view name) {
  if (name.substr(0, 5) == "aria-") return true;
  return OneOf(name, {"abbr", "align", "alink", "alt", "axis", "bgcolor", "border", "cellpadding", "cellspacing", "char",
                      "charoff", "checked", "class", "clear", "color", "cols", "colspan", "compact", "datetime", "dir",
                      "disabled", "face", "frame", "headers", "height", "hidden", "hspace", "id", "label", "lang",
                      "link", "maxlength", "multiple", "name", "noshade", "nowrap", "placeholder", "readonly",
                      "reversed", "role", "rows", "rowspan", "rules", "scope", "selected", "size", "span", "start",
                      "summary", "text", "title", "type", "valign", "value", "vlink", "vspace", "width"});
}

// Elements dropped with everything inside them.
bool IsDropped(std::string_view tag) {
  return OneOf(tag, {"script", "noscript", "iframe", "frame", "frameset", "object", "embed", "applet", "param", "base",
                     "meta", "template", "noembed", "noframes", "audio", "video", "source", "track", "canvas", "portal",
                     "head"});
}

// Elements whose tag goes and whose content stays.
bool IsUnwrapped(std::string_view tag) {
  return tag.empty() || OneOf(tag, {"form", "html", "body", "font-face", "slot", "dialog", "math", "svg"});
}

void AppendPlaceholder(std::string& out, std::string_view what, std::string_view url) {
  out += "<span style=\"border:1px dashed #888;color:#555;background:#f4f4f4;font-size:small;padding:0 2px\">[";
  AppendEscaped(out, what, false);
  if (!url.empty()) {
    out += ": ";
    AppendEscaped(out, url.substr(0, 120), false);
  }
  out += "]</span>";
}

constexpr std::string_view kPageHead =
    "\xEF\xBB\xBF<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; style-src "
    "'unsafe-inline'\">\n<meta name=\"referrer\" content=\"no-referrer\">\n";

class TPageWriter {
 public:
  TPageWriter(const THtmlPageOptions& options, std::string& out) : options_(options), out_(out) {}

  // The head's title and style sheets, then the body's content.
  void Write(const GumboNode* document) {
    const GumboNode* root = nullptr;
    const GumboVector* top = ChildrenOf(document);
    for (unsigned i = 0; top && i < top->length && !root; ++i)
      if (TagName(Child(top, i)) == "html") root = Child(top, i);
    const GumboNode *head = nullptr, *body = nullptr;
    if (const GumboVector* parts = root ? ChildrenOf(root) : nullptr) {
      for (unsigned i = 0; i < parts->length; ++i) {
        const GumboNode* n = Child(parts, i);
        if (TagName(n) == "head") head = n;
        else if (TagName(n) == "body") body = n;
      }
    }
    if (head) {
      const GumboVector* kids = ChildrenOf(head);
      for (unsigned i = 0; i < kids->length; ++i) {
        const GumboNode* n = Child(kids, i);
        if (TagName(n) == "title" || TagName(n) == "style" || TagName(n) == "link") Content(n);
      }
    }
    out_ += "</head>\n<body";
    if (body) Attributes(body);
    out_ += ">";
    if (body) {
      const GumboVector* kids = ChildrenOf(body);
      for (unsigned i = 0; i < kids->length; ++i) Content(Child(kids, i));
    }
    out_ += "</body></html>\n";
  }

 private:
  // The node and all below it.
  void Content(const GumboNode* node) {
    std::vector<const char*> closing;  // per open element: its end tag, or null when unwrapped
    Walk(
        node,
        [&](const GumboNode* n, std::size_t) { return Enter(n, closing); },
        [&](const GumboNode* n, std::size_t) {
          if (n->type != GUMBO_NODE_ELEMENT || closing.empty()) return;
          if (const char* tag = closing.back()) out_.append("</").append(tag).append(">");
          closing.pop_back();
        });
  }

  bool Enter(const GumboNode* n, std::vector<const char*>& closing) {
    switch (n->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        AppendEscaped(out_, n->v.text.text, false);
        return false;
      case GUMBO_NODE_ELEMENT: break;
      default: return false;  // comments (conditional ones too), templates
    }
    const GumboElement& e = n->v.element;
    const std::string_view tag = TagName(n);
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML || IsDropped(tag)) return false;
    if (tag == "link") {
      const char* rel = AttributeOf(n, "rel");
      if (rel && FindNoCase(rel, "stylesheet") != std::string_view::npos) {
        const char* href = AttributeOf(n, "href");
        AppendPlaceholder(out_, "外部のスタイルシート（読み込みません）", href ? href : "");
      }
      return false;
    }
    if (tag == "img") {
      Image(n);
      return false;
    }
    if (IsUnwrapped(tag) || e.tag == GUMBO_TAG_UNKNOWN || closing.size() >= kMaxOutDepth) {
      closing.push_back(nullptr);
      return true;
    }
    // Text shown as written: <pre> keeps it so without raw text parsing.
    const bool literal = tag == "xmp" || tag == "plaintext" || tag == "listing";
    const char* name = literal ? "pre" : gumbo_normalized_tagname(e.tag);
    out_.append("<").append(name);
    Attributes(n);
    out_ += ">";
    if (tag == "pre" || tag == "textarea" || literal) out_ += "\n";  // the parser drops a first line break
    if (tag == "style") {
      const GumboVector* kids = ChildrenOf(n);
      for (unsigned i = 0; i < kids->length; ++i)
        if (Child(kids, i)->type == GUMBO_NODE_TEXT || Child(kids, i)->type == GUMBO_NODE_WHITESPACE)
          out_ += InertCss(Child(kids, i)->v.text.text);
      out_ += "</style>";
      return false;
    }
    if (IsVoid(tag)) return false;
    closing.push_back(name);
    return true;
  }

  static bool IsVoid(std::string_view tag) {
    return OneOf(tag, {"area", "br", "col", "hr", "input", "wbr", "keygen", "basefont", "bgsound", "image"});
  }

  void Attributes(const GumboNode* n) {
    const GumboVector& attrs = n->v.element.attributes;
    const std::string_view tag = TagName(n);
    for (unsigned i = 0; i < attrs.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(attrs.data[i]);
      const std::string_view name = a->name;
      if (name == "style") {
        out_ += " style=\"";
        AppendEscaped(out_, InertCss(a->value), true);
        out_ += "\"";
      } else if (name == "href" && (tag == "a" || tag == "area")) {
        Href(a->value);
      } else if (IsPlainAttribute(name)) {
        out_.append(" ").append(name).append("=\"");
        AppendEscaped(out_, a->value, true);
        out_ += "\"";
      }
    }
  }

  void Href(std::string_view value) {
    std::string url = CleanUrl(value);
    const std::string scheme = SchemeOf(url);
    if (scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "tel") {
      if (options_.DisarmLinks) url = scheme.starts_with("http") ? "dummy" + url.substr(4) : "dummy-" + url;
    } else if (!(scheme.empty() && url.starts_with('#'))) {
      return;  // javascript:, vbscript:, data:, file:, "//host", relative paths
    }
    out_ += " href=\"";
    AppendEscaped(out_, url, true);
    out_ += "\" rel=\"noopener noreferrer\"";
  }

  void Image(const GumboNode* n) {
    const char* src = AttributeOf(n, "src");
    const std::string url = CleanUrl(src ? src : "");
    const std::string scheme = SchemeOf(url);
    std::optional<std::string> data;
    if (scheme == "cid" && options_.CidImages) data = options_.CidImages(std::string_view(url).substr(4));
    else if (scheme == "data" && IsRasterDataUrl(url)) data = url;
    if (!data) {
      AppendPlaceholder(out_, scheme == "cid" ? "添付の画像が見つかりません" : "外部の画像（読み込みません）", url);
      return;
    }
    out_ += "<img";
    Attributes(n);
    out_ += " src=\"";
    AppendEscaped(out_, *data, true);
    out_ += "\">";
  }

  static bool IsRasterDataUrl(std::string_view url) {
    for (const std::string_view type : {"png", "gif", "jpeg", "jpg", "webp", "bmp"}) {
      const std::string prefix = "data:image/" + std::string(type);
      if (StartsWithNoCase(url, prefix) && url.size() > prefix.size() &&
          (url[prefix.size()] == ';' || url[prefix.size()] == ','))
        return true;
    }
    return false;
  }

  const THtmlPageOptions& options_;
  std::string& out_;
};

// Valid UTF-8 with NUL and broken sequences made U+FFFD, for the text page.
std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8ShapeLength(s, i);
    if (n == 0 || s[i] == '\0') out += "\xEF\xBF\xBD";
    else out.append(s.substr(i, n));
    i += std::max<std::size_t>(n, 1);
  }
  return out;
}

// Percent escapes of a cid: URL decoded (RFC 2392), angle brackets and blanks dropped.
std::string ContentIdKey(std::string_view id) {
  std::string out;
  for (std::size_t i = 0; i < id.size(); ++i) {
    const char c = id[i];
    const auto hex = [](char h) { return h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1; };
    if (c == '%' && i + 2 < id.size() && hex(id[i + 1]) >= 0 && hex(id[i + 2]) >= 0) {
      out += static_cast<char>(hex(id[i + 1]) * 16 + hex(id[i + 2]));
      i += 2;
    } else if (c != '<' && c != '>' && !IsHtmlSpace(c)) {
      out += c;
    }
  }
  return LowerAscii(out);
}

}  // namespace

std::vector<THtmlLink> HtmlLinks(std::string_view html) {
  std::vector<THtmlLink> links;
  const TShape shape = ShapeOf(html, kChunkBytes, kChunkDepth);
  std::size_t from = 0;
  for (std::size_t i = 0; i <= shape.Cuts.size(); ++i) {
    const std::size_t to = i < shape.Cuts.size() ? shape.Cuts[i] : shape.Text.size();
    LinksOfPiece(shape.Text.data() + from, to - from, links);
    from = to;
  }
  return links;
}

std::string SafeHtmlPage(std::string_view html, const THtmlPageOptions& options) {
  std::string out(kPageHead);
  const TShape shape = html.size() > kPageMaxBytes ? TShape{} : ShapeOf(html, html.size() + 1, kPageMaxDepth + 1);
  if (html.size() > kPageMaxBytes || shape.MaxDepth > kPageMaxDepth) {
    out += "</head>\n<body><p>このHTMLは大きすぎるか入れ子が深すぎるため、安全のため文字のまま表示します。</p>\n<pre>";
    AppendEscaped(out, ValidUtf8(html), false);
    out += "</pre></body></html>\n";
    return out;
  }
  const TGumboTree tree(shape.Text.data(), shape.Text.size());
  if (tree.Document()) TPageWriter(options, out).Write(tree.Document());
  else out += "</head><body></body></html>\n";
  return out;
}

std::string SafeHtmlPage(std::string_view html, const TMailParts& parts, bool disarmLinks) {
  THtmlPageOptions options;
  options.DisarmLinks = disarmLinks;
  options.CidImages = [&parts](std::string_view cid) -> std::optional<std::string> {
    const std::string key = ContentIdKey(cid);
    if (key.empty()) return std::nullopt;
    for (const TMailPart& p : parts) {
      if (p.ContentId.empty() || ContentIdKey(p.ContentId) != key) continue;
      const std::string_view bytes = p.Bytes();
      if (!p.ContentType.starts_with("image/") || bytes.size() > kMaxInlineImage ||
          p.ContentType.find_first_of("\"'<> ;,") != std::string::npos)
        return std::nullopt;
      return "data:" + p.ContentType + ";base64," + Base64Encode(bytes);
    }
    return std::nullopt;
  };
  return SafeHtmlPage(html, options);
}

}  // namespace tarvo
