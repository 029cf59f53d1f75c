// The Version class: immutable objects of one packed block each, built from
// text by the grammar, from the kind classes' objects or from another Version.
#include "binding/package/version/block_pool_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/slots_py.hpp"
#include "core/package/version/ordering_key.hpp"
#include "core/package/version/parses_back.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::Grammar;
using version::Version;

// ---------------------------------------------------------------- layout

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

VersionObject* as_version_object(PyObject* object) noexcept {
    return reinterpret_cast<VersionObject*>(object);
}

// The blocks of dead Version objects, for the next ones.
BlockPool version_blocks;

// The block holds nothing that needs releasing, and goes back to the pool when
// there is room. Instances of heap types own a reference to their type.
void version_dealloc(PyObject* object) noexcept {
    PyTypeObject* type = Py_TYPE(object);
    const std::size_t size = sizeof(VersionObject) + as_version_object(object)->value().size();
    if (!version_blocks.keep(object, size)) {
        type_free(type, object);
    }
    Py_DECREF(type);
}

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

Ref new_version_object(PyTypeObject* type, const version::Packer& packer) {
    if (packer.text_size() > version::Packer::kMaxTextSize) {
        return Ref::steal(PyErr_NoMemory());
    }
    return new_version_object(
        type, packer.size(),
        [&packer](version::PackedHeader& header, char* bytes) { packer.write(header, bytes); });
}

// A new object of `type` packed straight from what `grammar` reads in the str
// `text`, with the error set by `raise_unparsed` when that fails. Always inline,
// so that the constructor, which names the Version grammar and its policy,
// decides nothing at run time.
[[gnu::always_inline]] inline Ref parsed_version(PyTypeObject* type, PyObject* text,
                                                 Grammar grammar, RaiseUnparsed raise_unparsed) {
    return from_python_text(
        text, [grammar](std::string_view utf8) { return version::parse_syntax(grammar, utf8); },
        raise_unparsed,
        [type, grammar](const version::VersionSyntax& syntax, std::string_view utf8) {
            return new_version_object(type, version::Packer(grammar, syntax, utf8));
        });
}

// ---------------------------------------------------------------- constructor

// Wraps a copy of the value of `x`, an object of the kind class K.
template <class K> bool version_from_kind(PyObject* x, Version& out) {
    K kind;
    if (!copy_value<K>(x, kind)) {
        return false;
    }
    out.value = std::move(kind);
    return true;
}

// A new object of `type` holding exactly the value of the Version object x.
Ref clone_version(PyTypeObject* type, PyObject* x) {
    const auto* source = as_version_object(x);
    const std::size_t size = source->value().size();
    return new_version_object(type, size, [&](version::PackedHeader& header, char* bytes) {
        header = source->header;
        std::copy_n(source->bytes(), size, bytes);
    });
}

// A new object of `type` for the single constructor argument x.
Ref construct(PyTypeObject* type, PyObject* x) {
    return guarded([&]() -> Ref {
        if (PyUnicode_Check(x)) {
            return parsed_version(type, x, Grammar::version, &raise_report);
        }
        if (is_instance<Version>(x)) {
            return clone_version(type, x);
        }
        Version value;
        bool made = false;
        if (is_instance<version::SemVer>(x)) {
            made = version_from_kind<version::SemVer>(x, value);
        } else if (is_instance<version::DotSeparated>(x)) {
            made = version_from_kind<version::DotSeparated>(x, value);
        } else if (is_instance<version::Other>(x)) {
            made = version_from_kind<version::Other>(x, value);
        } else {
            raise_cannot_construct("Version", x);
            return {};
        }
        return made ? new_version_object(type, version::Packer(value)) : Ref();
    });
}

// The key is named by its own text: keyword names are always str objects, and
// str() of a str subclass could run code of the caller's, or fail.
PyObject* unexpected_keyword(PyObject* key) {
    PyErr_Format(PyExc_TypeError, fixed::version_keyword, key);
    return nullptr;
}

PyObject* raise_requires_arguments() {
    PyErr_Format(PyExc_ValueError, fixed::requires_arguments, "Version");
    return nullptr;
}

PyObject* version_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    if (kwargs != nullptr && dict_size(kwargs) != 0) {
        Py_ssize_t pos = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        PyDict_Next(kwargs, &pos, &key, &value);
        return unexpected_keyword(key);
    }
    if (tuple_size(args) != 1) {
        return raise_requires_arguments();
    }
    return construct(type, tuple_item(args, 0)).release();
}

// The same rules as version_new, called without the argument tuple and keyword
// dictionary that the interpreter would otherwise build for every call; a
// replaced __new__ (a mock's, say) is called as the interpreter would call it.
PyObject* version_vectorcall(PyObject* callable, PyObject* const* args, std::size_t nargsf,
                             PyObject* kwnames) {
    if (type_new_slot(reinterpret_cast<PyTypeObject*>(callable)) != &version_new) {
        return call_type_generically(callable, args, nargsf, kwnames);
    }
    if (kwnames != nullptr && tuple_size(kwnames) != 0) {
        return unexpected_keyword(tuple_item(kwnames, 0));
    }
    if (PyVectorcall_NARGS(nargsf) != 1) {
        return raise_requires_arguments();
    }
    return construct(reinterpret_cast<PyTypeObject*>(callable), args[0]).release();
}

// ---------------------------------------------------------------- text forms

// The text form as a str.
Ref version_text(const version::VersionView& value) {
    const std::string_view text = value.text();
    if (!value.is_ascii()) {
        return Ref::steal(
            PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr));
    }
    return to_python_ascii(text);
}

PyObject* version_str(PyObject* object) {
    return version_text(as_version_object(object)->value()).release();
}

PyObject* version_repr(PyObject* object) {
    return guarded([&]() -> Ref {
               return to_python_string(version::to_debug(as_version_object(object)->value()));
           })
        .release();
}

// ---------------------------------------------------------------- comparison

// The answer of the values themselves. Out of line, so that a comparison that
// the keys decide sets up no frame for it.
[[gnu::noinline]] PyObject* compare_packed(const VersionObject* self, const VersionObject* that,
                                           int op) {
    return compare_values(self->value(), that->value(), op);
}

// The answer two ordering keys give, or null when only the values can tell.
PyObject* compare_keys(std::uint64_t a, std::uint64_t b, int op) noexcept {
    const auto hint = version::compare_ordering_keys(a, b);
    if (hint == std::partial_ordering::unordered) {
        return nullptr;
    }
    return Py_NewRef(comparison_holds(hint, op) ? Py_True : Py_False);
}

// Two Versions of which one has no key yet: the keys are computed, then they
// or the values answer.
[[gnu::noinline]] PyObject* compare_unkeyed(VersionObject* self, VersionObject* that, int op) {
    PyObject* decided = compare_keys(version::cached_ordering_key(self->header, self->bytes()),
                                     version::cached_ordering_key(that->header, that->bytes()), op);
    return decided != nullptr ? decided : compare_packed(self, that, op);
}

// Both operands must be Versions; anything else is left to the interpreter's
// fallback. A sort asks this for every comparison.
PyObject* version_richcompare(PyObject* object, PyObject* other, int op) {
    if (!compares_with(object, other, op)) {
        Py_RETURN_NOTIMPLEMENTED;
    }
    auto* self = as_version_object(object);
    auto* that = as_version_object(other);
    // Most comparisons of a sort end here, with keys computed earlier.
    const std::uint64_t a = self->header.ordering_key;
    const std::uint64_t b = that->header.ordering_key;
    if (a == 0 || b == 0) {
        return compare_unkeyed(self, that, op);
    }
    if (PyObject* decided = compare_keys(a, b, op)) {
        return decided;
    }
    return compare_packed(self, that, op);
}

// ---------------------------------------------------------------- type

PyType_Slot version_slots[] = {
    doc_slot("Version(*args)\n--\n\nPython wrapper around a [`Version`]"),
    {Py_tp_new, reinterpret_cast<void*>(&version_new)},
    refusing_allocation_slot(),
    {Py_tp_dealloc, reinterpret_cast<void*>(&version_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&version_repr)},
    {Py_tp_str, reinterpret_cast<void*>(&version_str)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&version_richcompare)},
    {0, nullptr},
};

constexpr SpecName version_name("Version");

PyType_Spec version_spec = class_spec(version_name.c_str(), sizeof(VersionObject), version_slots);

} // namespace

const ClassDefinition version_definition{version_spec, &version_vectorcall};

version::VersionView version_value(PyObject* object) {
    return as_version_object(object)->value();
}

Ref version_from_model(const Version& value) {
    PyTypeObject* type = class_type<Version>();
    return type != nullptr ? new_version_object(type, version::Packer(value)) : Ref();
}

// ---------------------------------------------------------------- pickling

// (text) when the text carries the value, which it does for every Version made
// from text (the Version grammar reads it back to exactly that value);
// otherwise the arguments of the kind it holds.
template <> Ref reduction_arguments<Version>(PyObject* object) {
    const version::VersionView value = version_value(object);
    if (version::text_parses_back(value)) {
        return tuple_of(version_text(value));
    }
    const Version unpacked = version::unpack(value);
    return std::visit([](const auto& kind) { return kind_arguments(kind, true); }, unpacked.value);
}

Ref version_from_text_form(PyObject* text, const char* name, Grammar grammar) {
    PyTypeObject* type = class_type<Version>();
    if (type == nullptr || !text_argument(text, name)) {
        return {};
    }
    return parsed_version(type, text, grammar, &raise_unreconstructable);
}

} // namespace tolvi::py
