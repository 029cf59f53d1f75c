// White_Space is a short list that has not changed in many Unicode releases,
// so it is written out here rather than generated.

#include "core/unicode/properties.hpp"

namespace tolvi::unicode {

bool is_white_space(char32_t c) noexcept {
    switch (c) {
    case 0x0009: // tab
    case 0x000A: // line feed
    case 0x000B: // line tabulation
    case 0x000C: // form feed
    case 0x000D: // carriage return
    case 0x0020: // space
    case 0x0085: // next line
    case 0x00A0: // no-break space
    case 0x1680: // ogham space mark
    case 0x2000: // en quad ... hair space
    case 0x2001:
    case 0x2002:
    case 0x2003:
    case 0x2004:
    case 0x2005:
    case 0x2006:
    case 0x2007:
    case 0x2008:
    case 0x2009:
    case 0x200A:
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
    case 0x202F: // narrow no-break space
    case 0x205F: // medium mathematical space
    case 0x3000: // ideographic space
        return true;
    default:
        return false;
    }
}

} // namespace tolvi::unicode
