#pragma once

#include <string>
#include <string_view>

namespace kestrane::presentation {

// Makes any byte string safe as XML 1.0 attribute or element text in UTF-8: the five special
// characters and the blanks an attribute would normalise become references, and what cannot
// appear in XML (bytes that are not UTF-8, control characters) becomes U+FFFD. File names on
// Linux are arbitrary bytes, so this never fails.
std::string escapeXml(std::string_view text);

} // namespace kestrane::presentation
