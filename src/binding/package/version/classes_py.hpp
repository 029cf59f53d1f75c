#pragma once
#include "binding/errors_py.hpp"
#include "binding/limited_api_py.hpp"
#include "binding/once_cell_py.hpp"
#include "core/package/version/kind.hpp"
#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// The four version classes as the rest of the module sees them: their types,
// made once per process, and what each class's file offers the others. Each
// class's own file defines its part: version_py.cpp, semver_py.cpp,
// dot_separated_py.cpp and other_py.cpp, and for the objects the three kind
// classes share, kind_object_py.hpp.
namespace tolvi::py {

// ---------------------------------------------------------------- types

// What a class's type is made from, defined beside each class.
struct ClassDefinition {
    PyType_Spec& type_spec;
    // The type's own call, for a class that has one (make_type).
    vectorcallfunc vectorcall = nullptr;
};

extern const ClassDefinition version_definition;
extern const ClassDefinition semver_definition;
extern const ClassDefinition dot_separated_definition;
extern const ClassDefinition other_definition;

template <class T> const ClassDefinition& class_definition() noexcept {
    if constexpr (std::is_same_v<T, version::Version>) {
        return version_definition;
    } else if constexpr (std::is_same_v<T, version::SemVer>) {
        return semver_definition;
    } else if constexpr (std::is_same_v<T, version::DotSeparated>) {
        return dot_separated_definition;
    } else {
        static_assert(std::is_same_v<T, version::Other>);
        return other_definition;
    }
}

// The import makes the four types, once per process and under the interpreter
// lock; every later type test reads the cell the import filled.
template <class T> inline OnceCell<PyTypeObject> class_type_cell;

// `type`, just made from a PyType_Spec, or null with the error set. CPython 3.12's
// PyType_FromSpec returns null without an error when it cannot copy the type's
// name, which the import would report as a failure without an exception.
inline PyObject* checked_type(PyObject* type) noexcept {
    if (type == nullptr && PyErr_Occurred() == nullptr) {
        PyErr_NoMemory();
    }
    return type;
}

// For the import: the class type, made on the first call; a failure stays the
// pending exception.
template <class T> PyTypeObject* create_class_type() {
    return class_type_cell<T>.get_or_fill([]() -> PyTypeObject* {
        const ClassDefinition& definition = class_definition<T>();
        return reinterpret_cast<PyTypeObject*>(
            checked_type(make_type(definition.type_spec, definition.vectorcall)));
    });
}

// The type made now, when the import did not make it (never in practice); a
// failure is printed as unraisable and becomes the internal-failure exception.
template <class T> [[gnu::noinline]] PyTypeObject* missing_class_type() {
    if (PyTypeObject* type = create_class_type<T>()) {
        return type;
    }
    PyErr_WriteUnraisable(nullptr);
    std::string_view name = class_definition<T>().type_spec.name;
    name.remove_prefix(fixed::class_module.size() + 1);
    return raise_panic(std::string(fixed::type_not_created) + "`" + std::string(name) + "`");
}

// Anywhere else: the type the import made. Every type test reads it, so the
// read is inline and the rare remedy out of line.
template <class T> PyTypeObject* class_type() {
    if (PyTypeObject* type = class_type_cell<T>.get()) {
        return type;
    }
    return missing_class_type<T>();
}

// Whether `object` is an instance of T's class (subclasses included).
template <class T> bool is_instance(PyObject* object) noexcept {
    PyTypeObject* type = class_type<T>();
    return type != nullptr && (Py_IS_TYPE(object, type) || PyObject_TypeCheck(object, type));
}

// ---------------------------------------------------------------- values

// The value of a Version object. Version objects never change, so it is read
// without a claim (version_py.cpp).
version::VersionView version_value(PyObject* object);

// A new Version object holding `value`, built field by field.
Ref version_from_model(const version::Version& value);

// An object of one of the kind classes: a new one of `type` taking over
// `value`, and a copy of the value of `object` under a shared claim (false with
// the error set while it is being changed). Defined in kind_object_py.hpp.
template <class T> Ref kind_object_holding(PyTypeObject* type, T value);
template <class T> bool copy_value(PyObject* object, T& out);

// ---------------------------------------------------------------- pickling

// The arguments of tolvi._reconstruct (reconstructor_py.cpp) that rebuild each
// class's objects. A kind code is the kind's position (kind.hpp: 0 SemVer,
// 1 DotSeparated, 2 Other) for an object of the kind's own class, and 3 plus
// that position for a Version holding the kind.
//   (text)                                  a Version parsed from its text
//   (code, text)                            a SemVer or DotSeparated parsed by its
//                                           own grammar; an Other's value as it is
//   (code, parts)                           a DotSeparated from a list of str
//   (code, major, minor, patch, rc, meta)   a SemVer field by field
// A value travels as its text form whenever that parses back to exactly the
// value: it is the shortest form and the quickest to read. Values that only
// the setters can make travel field by field.
struct KindCode {
    static constexpr std::uint32_t count = 2 * version::kind_count;

    version::Kind kind;
    bool in_version;

    static KindCode of(std::uint32_t code) noexcept {
        return {version::kind_at(code % version::kind_count), code >= version::kind_count};
    }
    std::uint32_t code() const noexcept {
        return static_cast<std::uint32_t>(version::position(kind) +
                                          (in_version ? version::kind_count : 0));
    }
    // (code, item); empty when `item` is missing (its error is pending).
    Ref with(const Ref& item) const noexcept {
        return item ? Ref::steal(Py_BuildValue("(IO)", code(), item.get())) : Ref();
    }
};

// The reduction's arguments for an object of T's class: the kind classes
// share one (kind_object_py.hpp), made in each kind's file, and Version has
// its own.
template <class T> Ref reduction_arguments(PyObject* object);
template <> Ref reduction_arguments<version::Version>(PyObject* object);
extern template Ref reduction_arguments<version::SemVer>(PyObject* object);
extern template Ref reduction_arguments<version::DotSeparated>(PyObject* object);
extern template Ref reduction_arguments<version::Other>(PyObject* object);

// The arguments for a kind's value, held by an object of its class or by a
// Version.
template <class T> Ref kind_arguments(const T& value, bool in_version);
template <> Ref kind_arguments(const version::SemVer& value, bool in_version);
template <> Ref kind_arguments(const version::DotSeparated& value, bool in_version);
template <> Ref kind_arguments(const version::Other& value, bool in_version);

// What the arguments after a code of kind T rebuild: an object of T's class,
// or a Version holding a T.
template <class T> Ref reconstruct(bool in_version, PyObject* const* fields, Py_ssize_t count);
template <>
Ref reconstruct<version::SemVer>(bool in_version, PyObject* const* fields, Py_ssize_t count);
template <>
Ref reconstruct<version::DotSeparated>(bool in_version, PyObject* const* fields, Py_ssize_t count);
template <>
Ref reconstruct<version::Other>(bool in_version, PyObject* const* fields, Py_ssize_t count);

// A Version from one of its text forms, the argument `name`, read by `grammar`
// as the constructor reads its text.
Ref version_from_text_form(PyObject* text, const char* name, version::Grammar grammar);

} // namespace tolvi::py
