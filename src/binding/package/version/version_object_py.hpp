#pragma once
#include "binding/refs_py.hpp"
#include "core/package/version/packed.hpp"

#include <cstddef>

// The layout of a Version object and its allocation. A Version never changes,
// so it needs no access state, and each is a single block: the object header,
// then the packed version, whose header holds the ordering key that decides
// most comparisons of a sort.
namespace tolvi::py {

// Never constructed as a whole: the block is allocated, the object header
// initialised by the interpreter, and the packed header written by a Packer.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
struct VersionObject {
    PyObject ob_base;
    version::PackedHeader header;

    // The packed bytes follow the object.
    const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    char* bytes() noexcept { return reinterpret_cast<char*>(this + 1); }
    version::PackedVersion value() const noexcept { return {header, bytes()}; }
};

inline VersionObject* as_version_object(PyObject* object) noexcept {
    return reinterpret_cast<VersionObject*>(object);
}

// A new Version object of `type` holding what `write` writes into its header
// and its `size` packed bytes; empty with MemoryError set if it cannot be had.
template <class Write> Ref new_version_object(PyTypeObject* type, std::size_t size, Write&& write) {
    if (size > PY_SSIZE_T_MAX - sizeof(VersionObject)) {
        return Ref::steal(PyErr_NoMemory());
    }
    auto* object = static_cast<PyObject*>(PyObject_Malloc(sizeof(VersionObject) + size));
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

} // namespace tolvi::py
