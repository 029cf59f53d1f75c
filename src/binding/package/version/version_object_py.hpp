#pragma once
#include "binding/errors_py.hpp"
#include "binding/package/version/block_pool_py.hpp"
#include "binding/to_python_str_py.hpp"
#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

#include <cstddef>
#include <string_view>

// The objects of the Version class: one block each, made from a value, from what
// a grammar read, or as a copy of another; and what they hold, read back.
namespace tolvi::py {

// A Version never changes, so it needs no access state, and each is a single
// block: the object header, then the packed version, whose header holds the
// ordering key that decides most comparisons of a sort. Never constructed as a
// whole: the block is allocated, the object header initialised by the
// interpreter, and the packed header written by a Packer.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
struct VersionObject {
    PyObject ob_base;
    version::PackedHeader header;

    // The packed bytes follow the object.
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    version::VersionView value() const noexcept { return {header, bytes()}; }
};

inline VersionObject* as_version_object(PyObject* object) noexcept {
    return reinterpret_cast<VersionObject*>(object);
}

// The value of a Version object, read without a claim.
inline version::VersionView version_value(PyObject* object) noexcept {
    return as_version_object(object)->value();
}

// The blocks of dead Version objects, for the next ones.
inline BlockPool version_blocks;

// A new Version object of `type` holding what `write` writes into its header
// and its `size` packed bytes; empty with MemoryError set if it cannot be had.
// Not through the type's allocator, which refuses: the block is one of its own
// size.
template <class Write> Ref new_version_object(PyTypeObject* type, std::size_t size, Write&& write) {
    if (size > PY_SSIZE_T_MAX - sizeof(VersionObject)) {
        return Ref::steal(PyErr_NoMemory());
    }
    const std::size_t block = sizeof(VersionObject) + size;
    void* kept = version_blocks.take(block);
    auto* object = static_cast<PyObject*>(kept != nullptr ? kept : PyObject_Malloc(block));
    if (object == nullptr) {
        return Ref::steal(PyErr_NoMemory());
    }
    PyObject_Init(object, type);
    auto* self = as_version_object(object);
    write(self->header, self->bytes());
    return Ref::steal(object);
}

inline Ref new_version_object(PyTypeObject* type, const version::Packer& packer) {
    if (packer.text_size() > version::Packer::kMaxTextSize) {
        return Ref::steal(PyErr_NoMemory());
    }
    return new_version_object(
        type, packer.size(),
        [&packer](version::PackedHeader& header, char* bytes) { packer.write(header, bytes); });
}

// The end of the road from a str to a Version object (from_python_text): a new
// object of `type` packed straight from what a parse entry read in the text.
inline auto version_packer(PyTypeObject* type) noexcept {
    return [type](const version::VersionSyntax& syntax, std::string_view utf8) {
        return new_version_object(type, version::Packer(syntax, utf8));
    };
}

// The text form as a str.
inline Ref to_python_text(const version::VersionView& value) {
    const std::string_view text = value.text();
    return value.is_ascii() ? to_python_str_ascii(text) : to_python_str(text);
}

} // namespace tolvi::py
