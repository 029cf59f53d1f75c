#pragma once
#include "binding/refs_py.hpp"

#include <optional>
#include <string_view>

namespace tolvi::py {

// A new str holding the UTF-8 text `utf8`, made at its final kind in one step
// rather than widened on the way. Text that is not well-formed UTF-8 goes to the
// interpreter's own decoder, which raises its UnicodeDecodeError.
Ref to_python_utf8(std::string_view utf8);

// The same for text that the decoder here takes: well-formed, within the basic
// plane and at most kMostDecodedToUcs2 bytes long; nullopt for other text, which
// lets a caller check UTF-8 and make the str in one pass. An empty Ref is a
// failure to make it, with the error set.
std::optional<Ref> to_python_decodable(std::string_view utf8);

} // namespace tolvi::py
