// HTML read by a real HTML5 parser (gumbo): the links a message's HTML
// holds, and the page handed to a browser, made safe to open. Both guard
// the parser against hostile input: a linear pre-pass bounds the nesting,
// the attributes of a tag and the bytes one parse sees.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/parts.h"

namespace tarvo {

struct THtmlLink {
  std::string Href;  // entities decoded
  std::string Text;  // visible text, entities decoded, blanks collapsed
  bool Image = false;  // a picture (<img src>, a style's url()), loaded when the message is shown
};

// Every <a href>, <img src> and style url() of the HTML, in order, however large it is and whatever
// bytes (NUL too) it holds: a text beyond one parse's bounds is read in
// pieces cut before a tag.
[[nodiscard]] std::vector<THtmlLink> HtmlLinks(std::string_view html);

// A cid: reference ("<id>" or "id", without "cid:") to a data: URL, or nullopt.
using TCidImages = std::function<std::optional<std::string>(std::string_view contentId)>;

struct THtmlPageOptions {
  bool DisarmLinks = false;  // link targets rewritten so that a click goes nowhere
  TCidImages CidImages;      // the message's own images
};

// The page for the browser, UTF-8: no script, event handler, frame, form,
// object, <base>, meta refresh, javascript:/vbscript:/data: link; a
// Content-Security-Policy that forbids scripts and remote loads; remote
// images and style sheets replaced by a visible placeholder. Text is never
// changed. HTML beyond the parser's bounds is shown as plain text.
[[nodiscard]] std::string SafeHtmlPage(std::string_view html, const THtmlPageOptions& options = {});

// The same with the cid: images taken from the message's image parts.
[[nodiscard]] std::string SafeHtmlPage(std::string_view html, const TMailParts& parts, bool disarmLinks);

}  // namespace tarvo
