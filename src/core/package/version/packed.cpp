#include "core/package/version/packed.hpp"

#include <algorithm>
#include <cstring>

#include "core/package/version/text_writer.hpp"
#include "core/unicode/utf8.hpp"

namespace tolvi::version {

namespace {

constexpr std::size_t kLengthSize = sizeof(std::uint32_t);

std::uint32_t read_length(const char* at) noexcept {
    std::uint32_t length = 0;
    std::memcpy(&length, at, kLengthSize);
    return length;
}

char* write_length(char* at, std::size_t length) noexcept {
    const auto narrow = static_cast<std::uint32_t>(length);
    std::memcpy(at, &narrow, kLengthSize);
    return at + kLengthSize;
}

// Whether the text alone cannot give back the parts of `items`; `stop` is a
// character that ends the section of the list in the text.
bool needs_listing(const Identifiers& items, char stop) noexcept {
    return std::any_of(items.begin(), items.end(), [stop](const std::string& item) {
        return item.empty() || item.find('.') != std::string::npos ||
               item.find(stop) != std::string::npos;
    });
}

std::size_t listed_size(const Identifiers& items) noexcept {
    return kLengthSize * (1 + items.size());
}

char* write_listed(char* at, const Identifiers& items) noexcept {
    at = write_length(at, items.size());
    for (const std::string& item : items) {
        at = write_length(at, item.size());
    }
    return at;
}

Identifiers to_identifiers(const PartsView& parts) {
    Identifiers items;
    items.reserve(parts.size());
    for (const std::string_view part : parts) {
        items.emplace_back(part);
    }
    return items;
}

OptionalList to_optional_identifiers(const std::optional<PartsView>& parts) {
    OptionalList items;
    if (parts) {
        items = to_identifiers(*parts);
    }
    return items;
}

} // namespace

void PartsView::Iterator::measure() noexcept {
    if (left_ == 0) {
        size_ = 0;
    } else if (lengths_ != nullptr) {
        size_ = read_length(lengths_);
        lengths_ += kLengthSize;
    } else {
        size_ = static_cast<std::size_t>(std::find(at_, end_, '.') - at_);
    }
}

PartsView::PartsView(std::string_view section, const char* lengths, std::uint32_t count) noexcept
    : begin_(section.data()), end_(section.data() + section.size()), lengths_(lengths),
      count_(count) {
    if (lengths_ == nullptr) {
        count_ =
            section.empty() ? 0 : 1 + static_cast<std::uint32_t>(std::count(begin_, end_, '.'));
    }
}

std::size_t VersionView::size() const noexcept {
    std::size_t table = 0;
    if ((header_->flags & packed_flag::kListed) != 0) {
        const int lists = kind() == Kind::dot_separated
                              ? 1
                              : ((header_->flags & packed_flag::kRc) != 0 ? 1 : 0) +
                                    ((header_->flags & packed_flag::kMeta) != 0 ? 1 : 0);
        for (int i = 0; i < lists; ++i) {
            table += kLengthSize * (1 + read_length(listed(table)));
        }
    }
    return header_->text_size + table;
}

SemVerView VersionView::semver() const noexcept {
    const std::string_view t = text();
    std::size_t at = 0;
    const auto number = [&] {
        std::uint32_t n = 0;
        for (; at < t.size() && t[at] >= '0' && t[at] <= '9'; ++at) {
            n = n * 10 + static_cast<std::uint32_t>(t[at] - '0');
        }
        ++at; // the "." after it, or the "-" or "+" after the last one
        return n;
    };
    SemVerView v;
    v.major = number();
    v.minor = number();
    v.patch = number();
    const bool listed = (header_->flags & packed_flag::kListed) != 0;
    std::size_t table = 0;
    // The list whose section starts at `at`, ending at `stop` when split at dots.
    const auto list = [&](std::size_t stop) {
        if (!listed) {
            const std::size_t end = std::min(stop, t.size());
            const PartsView parts(t.substr(at, end - at), nullptr, 0);
            at = end + 1;
            return parts;
        }
        const std::uint32_t count = read_length(this->listed(table));
        const char* lengths = this->listed(table + kLengthSize);
        std::size_t size = count == 0 ? 0 : count - 1;
        for (std::uint32_t i = 0; i < count; ++i) {
            size += read_length(lengths + i * kLengthSize);
        }
        table += kLengthSize * (1 + count);
        const PartsView parts(t.substr(at, size), lengths, count);
        at += size + 1;
        return parts;
    };
    if ((header_->flags & packed_flag::kRc) != 0) {
        v.rc = list((header_->flags & packed_flag::kMeta) != 0 ? t.find('+', at) : t.size());
    }
    if ((header_->flags & packed_flag::kMeta) != 0) {
        v.meta = list(t.size());
    }
    return v;
}

DotSeparatedView VersionView::dot_separated() const noexcept {
    if ((header_->flags & packed_flag::kListed) == 0) {
        return {PartsView(text(), nullptr, 0)};
    }
    return {PartsView(text(), listed(kLengthSize), read_length(listed(0)))};
}

std::strong_ordering operator<=>(const VersionView& a, const VersionView& b) noexcept {
    if (a.kind() != b.kind()) {
        return a.kind() <=> b.kind();
    }
    switch (a.kind()) {
    case Kind::semver:
        return compare_semver(a.semver(), b.semver());
    case Kind::dot_separated:
        return compare_lists(a.dot_separated().parts, b.dot_separated().parts);
    case Kind::other:
        break;
    }
    return a.text() <=> b.text();
}

Packer::Packer(const Version& value) noexcept
    : value_(&value), text_size_(text_length(value)), kind_(value.kind()) {
    if (const auto* semver = std::get_if<SemVer>(&value.value)) {
        const bool listed = (semver->rc && needs_listing(*semver->rc, '+')) ||
                            (semver->meta && needs_listing(*semver->meta, '.'));
        for (const auto& [list, flag] : {std::pair(&semver->rc, packed_flag::kRc),
                                         std::pair(&semver->meta, packed_flag::kMeta)}) {
            if (*list) {
                flags_ |= flag;
                listed_size_ += listed ? listed_size(**list) : 0;
            }
        }
        flags_ |= listed ? packed_flag::kListed : 0;
    } else if (const auto* dotted = std::get_if<DotSeparated>(&value.value)) {
        if (needs_listing(dotted->parts, '.')) {
            flags_ |= packed_flag::kListed;
            listed_size_ = listed_size(dotted->parts);
        }
    }
}

Packer::Packer(const VersionSyntax& syntax, std::string_view text) noexcept
    : syntax_(&syntax), input_(text), text_size_(text.size()), kind_(syntax.kind),
      flags_(syntax.reads_as_version ? packed_flag::kParsesBack : 0) {
    if (syntax.kind == Kind::semver) {
        const SemVerSyntax& v = syntax.semver;
        text_size_ = numbers_length(v.major, v.minor, v.patch) + (text.size() - v.rest);
        flags_ |= (v.rc ? packed_flag::kRc : 0) | (v.meta ? packed_flag::kMeta : 0);
    }
}

void Packer::write(PackedHeader& header, char* bytes) const noexcept {
    if (value_ != nullptr) {
        char* at = write_text(bytes, *value_);
        if ((flags_ & packed_flag::kListed) != 0) {
            if (const auto* semver = std::get_if<SemVer>(&value_->value)) {
                for (const OptionalList* list : {&semver->rc, &semver->meta}) {
                    at = *list ? write_listed(at, **list) : at;
                }
            } else {
                write_listed(at, std::get<DotSeparated>(value_->value).parts);
            }
        }
    } else if (syntax_->kind == Kind::semver && text_size_ != input_.size()) {
        // The input has a "v" or leading zeros; otherwise it is the text.
        const SemVerSyntax& v = syntax_->semver;
        detail::write_bytes(write_numbers(bytes, v.major, v.minor, v.patch), input_.substr(v.rest));
    } else {
        detail::write_bytes(bytes, input_);
    }
    header.text_size = static_cast<std::uint32_t>(text_size_);
    header.kind = kind_;
    header.flags = flags_;
    // Every character the grammar takes in a semantic version or a list is
    // ASCII; only an identifier, or a part set through a setter, may not be.
    const bool parsed_as_ascii = syntax_ != nullptr && kind_ != Kind::other;
    if (parsed_as_ascii || unicode::is_ascii(std::string_view(bytes, text_size_))) {
        header.flags |= packed_flag::kAscii;
    }
    header.ordering_key = 0;
}

Version unpack(const VersionView& v) {
    struct ToModel {
        Version operator()(const SemVerView& s) const {
            SemVer v{s.major, s.minor, s.patch, {}, {}};
            v.rc = to_optional_identifiers(s.rc);
            v.meta = to_optional_identifiers(s.meta);
            return Version{std::move(v)};
        }
        Version operator()(const DotSeparatedView& d) const {
            return Version{DotSeparated{to_identifiers(d.parts)}};
        }
        Version operator()(const OtherView& o) const { return Version{to_other(o.value)}; }
    };
    return v.visit(ToModel{});
}

void append_debug(std::string& out, const VersionView& v) {
    struct Debug {
        std::string& out;
        void operator()(const SemVerView& s) const { append_semver_debug(out, s); }
        void operator()(const DotSeparatedView& d) const { append_dot_separated_debug(out, d); }
        void operator()(const OtherView& o) const { append_other_debug(out, o.value); }
    };
    out.append(std::string_view("Version::"));
    v.visit(Debug{out});
}

} // namespace tolvi::version
