#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/package/version/kind.hpp"
#include "core/package/version/version.hpp"

// A Version held in one block of memory: a fixed header, then the bytes of
// its text form, then, only for values whose text cannot tell their parts
// apart, the lengths of those parts. A live Version object is such a block, so
// it costs one allocation the size of its text; comparing, rendering and the
// ordering key read the block in place.
//
// The text of a semantic version starts with its three numbers in plain
// decimal, so the numbers are read back from it. The parts of a list are the
// pieces of its section of the text between the dots, unless the value has a
// part that is empty or holds a "." (or a "+" in a pre-release list), which
// only values built through the setters do; then the part lengths are listed
// after the text.
namespace tolvi::version {

struct PackedHeader {
    std::uint64_t ordering_key; // 0 until first needed (see cached_ordering_key)
    std::uint32_t text_size;
    Kind kind;
    std::uint8_t flags; // packed_flag bits
};

namespace packed_flag {
inline constexpr std::uint8_t kRc = 1;     // a semantic version's pre-release list is present
inline constexpr std::uint8_t kMeta = 2;   // its build list is present
inline constexpr std::uint8_t kListed = 4; // the part lengths follow the text
inline constexpr std::uint8_t kAscii = 8;  // the text is all ASCII
// The Version grammar reads the text back into exactly this value. Set when the
// value was packed from what an entry read that the Version grammar reads the
// same (VersionSyntax::reads_as_version); any other leaves it to
// text_parses_back to decide.
inline constexpr std::uint8_t kParsesBack = 16;
} // namespace packed_flag

// The parts of one list of a packed version, as a range of string views.
class PartsView {
public:
    class Iterator {
    public:
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        std::string_view operator*() const noexcept { return {at_, size_}; }
        Iterator& operator++() noexcept {
            at_ += size_ + 1;
            --left_;
            measure();
            return *this;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) noexcept {
            return a.left_ == b.left_;
        }

    private:
        friend class PartsView;
        Iterator(const PartsView& parts, std::uint32_t left) noexcept
            : at_(parts.begin_), end_(parts.end_), lengths_(parts.lengths_), left_(left) {
            measure();
        }
        void measure() noexcept;

        const char* at_ = nullptr;
        const char* end_ = nullptr;
        const char* lengths_ = nullptr; // the next listed length; null when split at dots
        std::size_t size_ = 0;
        std::uint32_t left_ = 0;
    };

    // The parts of `section`, split at its dots (none when it is empty), or,
    // when `lengths` is not null, the `count` parts of the lengths listed there.
    PartsView(std::string_view section, const char* lengths, std::uint32_t count) noexcept;

    Iterator begin() const noexcept { return {*this, count_}; }
    static Iterator end() noexcept { return {}; }
    std::size_t size() const noexcept { return count_; }
    bool empty() const noexcept { return count_ == 0; }

private:
    const char* begin_;
    const char* end_;
    const char* lengths_;
    std::uint32_t count_;
};

// The kinds as read from a packed version: the fields of SemVer, DotSeparated
// and Other, with views in place of owned strings.
struct SemVerView {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::optional<PartsView> rc;
    std::optional<PartsView> meta;
};
struct DotSeparatedView {
    PartsView parts;
};
struct OtherView {
    std::string_view value;
};

// A packed version read where it lies, a header and the bytes that follow it,
// which whoever holds them (a Version object, a test's buffer) keeps alive.
class VersionView {
public:
    VersionView(const PackedHeader& header, const char* bytes) noexcept
        : header_(&header), bytes_(bytes) {}

    Kind kind() const noexcept { return header_->kind; }
    std::string_view text() const noexcept { return {bytes_, header_->text_size}; }
    bool is_ascii() const noexcept { return (header_->flags & packed_flag::kAscii) != 0; }
    bool is_listed() const noexcept { return (header_->flags & packed_flag::kListed) != 0; }
    bool known_to_parse_back() const noexcept {
        return (header_->flags & packed_flag::kParsesBack) != 0;
    }
    // The number of bytes after the header.
    std::size_t size() const noexcept;

    // Calls `f` with the SemVerView, DotSeparatedView or OtherView of the value.
    template <class F> decltype(auto) visit(F&& f) const {
        switch (kind()) {
        case Kind::semver:
            return f(semver());
        case Kind::dot_separated:
            return f(dot_separated());
        case Kind::other:
            break;
        }
        return f(other());
    }

    // The ordering and equality of the Versions held.
    friend std::strong_ordering operator<=>(const VersionView& a, const VersionView& b) noexcept;
    friend bool operator==(const VersionView& a, const VersionView& b) noexcept {
        return std::is_eq(a <=> b);
    }

private:
    SemVerView semver() const noexcept;
    DotSeparatedView dot_separated() const noexcept;
    OtherView other() const noexcept { return {text()}; }
    // The listed lengths, `at` bytes into the table after the text.
    const char* listed(std::size_t at) const noexcept { return bytes_ + header_->text_size + at; }

    const PackedHeader* header_;
    const char* bytes_;
};

// Writes packed versions: first the number of bytes after the header, so that
// the block can be allocated, then the header and those bytes.
class Packer {
public:
    // The largest text a header can record.
    static constexpr std::size_t kMaxTextSize = UINT32_MAX;

    explicit Packer(const Version& value) noexcept;
    // A value as an entry read it from `text`.
    Packer(const VersionSyntax& syntax, std::string_view text) noexcept;

    std::size_t text_size() const noexcept { return text_size_; }
    std::size_t size() const noexcept { return text_size_ + listed_size_; }
    void write(PackedHeader& header, char* bytes) const noexcept;

private:
    const Version* value_ = nullptr;
    const VersionSyntax* syntax_ = nullptr;
    std::string_view input_;
    std::size_t text_size_ = 0;
    std::size_t listed_size_ = 0;
    Kind kind_ = Kind::semver;
    std::uint8_t flags_ = 0;
};

Version unpack(const VersionView& v);
void append_debug(std::string& out, const VersionView& v);

} // namespace tolvi::version
