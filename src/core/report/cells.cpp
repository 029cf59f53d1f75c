#include "core/report/cells.hpp"

#include "core/unicode/properties.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::report {

std::size_t cell_width(char32_t c, std::size_t column) noexcept {
    if (c == U'\t') {
        return kTabStop - column % kTabStop;
    }
    return unicode::is_wide(c) ? 2 : 1;
}

Cell CellWalker::next_decoded() noexcept {
    if (offset_ >= line_.size()) {
        return Cell{std::string_view(), 0, 1};
    }
    const unicode::Decoded decoded = unicode::decode_utf8(line_, offset_);
    const Cell cell{line_.substr(offset_, decoded.length), decoded.code_point,
                    cell_width(decoded.code_point, column_)};
    offset_ += decoded.length;
    column_ += cell.width;
    return cell;
}

} // namespace tolvi::report
