#include "core/package/version/identical.hpp"
#include "core/package/version/ordering_key.hpp"
#include "packed_buffer.hpp"

#include <gtest/gtest.h>

#include <compare>
#include <random>
#include <string>
#include <vector>

namespace {

using tolvi::version::compare_ordering_keys;
using tolvi::version::DotSeparated;
using tolvi::version::OptionalList;
using tolvi::version::ordering_key;
using tolvi::version::Other;
using tolvi::version::Packer;
using tolvi::version::SemVer;
using tolvi::version::Version;
using tolvi::version::VersionView;

void expect_packs_exactly(const Version& value, const VersionView& packed) {
    EXPECT_TRUE(tolvi::version::identical(unpack(packed), value));
    EXPECT_EQ(packed.text(), tolvi::version::to_text(value));
    EXPECT_EQ(tolvi::version::to_debug(packed), tolvi::version::to_debug(value));
    EXPECT_EQ(ordering_key(packed), ordering_key(value));
    EXPECT_NE(ordering_key(value), 0U); // 0 marks a key not computed yet
}

// What the keys and the packed values say must never contradict the values.
void expect_consistent(const Version& a, const Version& b) {
    const PackedBuffer packed_a{Packer(a)};
    const PackedBuffer packed_b{Packer(b)};
    expect_packs_exactly(a, packed_a.view());
    EXPECT_EQ(packed_a.view().size(), packed_a.bytes.size());
    EXPECT_EQ(packed_a.view() <=> packed_b.view(), a <=> b);

    const auto hint = compare_ordering_keys(ordering_key(a), ordering_key(b));
    const auto order = a <=> b;
    if (hint == std::partial_ordering::unordered) {
        return;
    }
    EXPECT_EQ(hint == std::partial_ordering::less, std::is_lt(order));
    EXPECT_EQ(hint == std::partial_ordering::greater, std::is_gt(order));
    EXPECT_EQ(hint == std::partial_ordering::equivalent, std::is_eq(order));
}

Version dotted(std::vector<std::string> parts) {
    return Version{DotSeparated{std::move(parts)}};
}

TEST(OrderingKey, ShortValuesAreDecidedByTheKeyAlone) {
    const Version cases[][2] = {
        {Version{SemVer{1, 0, 0, {}, {}}}, Version{SemVer{1, 0, 0, {}, {{"x"}}}}},
        {dotted({"1", "0"}), dotted({"1", "0"})},
        {Version{Other{"abc"}}, Version{Other{"abc"}}},
    };
    for (const auto& pair : cases) {
        EXPECT_EQ(compare_ordering_keys(ordering_key(pair[0]), ordering_key(pair[1])),
                  std::partial_ordering::equivalent);
    }
}

TEST(OrderingKey, PaddingIsNeverMistakenForContent) {
    // Trailing empty parts, zero bytes and zero numbers must not look like
    // the zero bits that pad a short key.
    const Version values[] = {
        dotted({}),
        dotted({""}),
        dotted({"", ""}),
        dotted({"a"}),
        dotted({"a", ""}),
        dotted({std::string("a\0", 2)}),
        dotted({std::string("a\1", 2)}),
        dotted({std::string("a\2", 2)}),
        dotted({"a\3"}),
        Version{Other{""}},
        Version{Other{std::string("\0", 1)}},
        Version{Other{std::string("\0\0", 2)}},
        Version{SemVer{0, 0, 0, std::vector<std::string>{}, {}}},
        Version{SemVer{0, 0, 0, std::vector<std::string>{""}, {}}},
        Version{SemVer{0, 0, 0, std::vector<std::string>{std::string("\0", 1)}, {}}},
        Version{SemVer{0, 0, 0, {}, {}}},
        Version{SemVer{0, 0, 256, {}, {}}},
        Version{SemVer{4294967295u, 4294967295u, 4294967295u, {}, {}}},
        Version{SemVer{4294967295u, 4294967295u, 4294967294u, {}, {}}},
    };
    for (const auto& a : values) {
        for (const auto& b : values) {
            expect_consistent(a, b);
        }
    }
}

TEST(OrderingKey, RandomValuesAgreeWithTheOrdering) {
    std::mt19937 random(12345); // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible failures
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char alphabet[] = {'\0', '\1', '\2', '\3', 'a', 'b', '.', '+', '-', '\xc3', '\xa9'};
    const auto text = [&] {
        std::string s;
        for (int i = pick(5); i > 0; --i) {
            s.push_back(alphabet[pick(sizeof alphabet)]);
        }
        return s;
    };
    const auto list = [&] {
        std::vector<std::string> items;
        for (int i = pick(4); i > 0; --i) {
            items.push_back(text());
        }
        return items;
    };
    const std::uint32_t numbers[] = {0, 1, 2, 255, 256, 65535, 65536, 4294967295u};
    const auto value = [&]() -> Version {
        switch (pick(3)) {
        case 0: {
            SemVer v{numbers[pick(8)], numbers[pick(8)], numbers[pick(8)], {}, {}};
            for (OptionalList* items : {&v.rc, &v.meta}) {
                if (pick(2) == 0) {
                    *items = list();
                }
            }
            return Version{std::move(v)};
        }
        case 1:
            return dotted(list());
        default:
            return Version{Other{text()}};
        }
    };
    for (int i = 0; i < 20000; ++i) {
        expect_consistent(value(), value());
    }
}

} // namespace
