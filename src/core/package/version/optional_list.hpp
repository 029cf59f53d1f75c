#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolvi::version {

using Identifiers = std::vector<std::string>;

// An optional list of identifiers held in one pointer, null when absent. Most
// semantic versions have neither list, and a value pays only for the lists it
// holds. Copies are deep, like those of every value type.
class OptionalList {
public:
    OptionalList() noexcept = default;
    OptionalList(std::nullopt_t) noexcept {} // NOLINT(google-explicit-constructor)
    OptionalList(Identifiers items)          // NOLINT(google-explicit-constructor)
        : items_(std::make_unique<Identifiers>(std::move(items))) {}
    OptionalList(const OptionalList& other)
        : items_(other ? std::make_unique<Identifiers>(*other) : nullptr) {}
    OptionalList(OptionalList&&) noexcept = default;
    OptionalList& operator=(const OptionalList& other) {
        OptionalList copy(other);
        items_.swap(copy.items_);
        return *this;
    }
    OptionalList& operator=(OptionalList&&) noexcept = default;
    ~OptionalList() = default;

    bool has_value() const noexcept { return items_ != nullptr; }
    explicit operator bool() const noexcept { return has_value(); }
    const Identifiers& operator*() const noexcept { return *items_; }
    Identifiers& operator*() noexcept { return *items_; }
    const Identifiers* operator->() const noexcept { return items_.get(); }
    Identifiers* operator->() noexcept { return items_.get(); }
    void reset() noexcept { items_.reset(); }

    // Both absent, or both present with equal lists.
    friend bool operator==(const OptionalList& a, const OptionalList& b) noexcept {
        return a && b ? *a == *b : a.has_value() == b.has_value();
    }

private:
    std::unique_ptr<Identifiers> items_;
};

} // namespace tolvi::version
