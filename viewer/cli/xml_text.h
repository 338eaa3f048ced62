#pragma once
// Text for an XML attribute or element: markup characters escaped, in an attribute line
// breaks and tabs as character references (a parser folds them to spaces), characters XML
// 1.0 cannot hold replaced by '?', and bytes that are not UTF-8 by U+FFFD. Paths and
// device messages may hold any bytes; the file must still parse.
#include <string>
#include <string_view>

namespace pelorin {

std::string XmlEscape(std::string_view text, bool attribute = true);

}  // namespace pelorin
