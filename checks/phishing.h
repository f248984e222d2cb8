// Signs that a message wears a name that is not its own: a brand it does not
// send from, a domain in the display name, invisible characters, links to
// bare addresses or to look-alike international names.
#pragma once

#include <string>
#include <vector>

#include "checks/auth.h"

namespace tarvo {

// Adds the signs found to `out`. `fromAddress` and `fromDomain` are what the
// From field holds; `links` and `images` are the HTML's links and pictures.
void AddPhishingSigns(const THeaderFields& fields, const std::string& fromAddress, const std::string& fromDomain,
                      const std::vector<TLink>& links, const std::vector<TLink>& images, std::vector<TFinding>& out);

}  // namespace tarvo
