#pragma once
#include "binding/errors_py.hpp"
#include "binding/make_type_py.hpp"
#include "binding/once_cell_py.hpp"
#include "binding/panic_py.hpp"
#include "core/package/version/version.hpp"

#include <string>
#include <string_view>
#include <type_traits>

// The four version classes as the rest of the module sees them: their types,
// made once per process from what each class's file defines (version_py.cpp,
// semver_py.cpp, dot_separated_py.cpp and other_py.cpp). Their objects are laid
// out in version_object_py.hpp and kind_object_py.hpp.
namespace tolvi::py {

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

// For the import: the class type, made on the first call; a failure stays the
// pending exception.
template <class T> PyTypeObject* create_class_type() {
    return class_type_cell<T>.get_or_fill([]() -> PyTypeObject* {
        const ClassDefinition& definition = class_definition<T>();
        return make_type(definition.type_spec, definition.vectorcall);
    });
}

// The class's name, as its definition gives it: its type's name after the module.
template <class T> const char* class_name() noexcept {
    return class_definition<T>().type_spec.name + fixed::kClassModule.size() + 1;
}

// The type made now, when the import did not make it (never in practice); a
// failure is printed as unraisable and becomes the internal-failure exception.
template <class T> [[gnu::noinline]] PyTypeObject* missing_class_type() {
    if (PyTypeObject* type = create_class_type<T>()) {
        return type;
    }
    PyErr_WriteUnraisable(nullptr);
    return raise_panic(std::string(fixed::kTypeNotCreated) + "`" + class_name<T>() + "`");
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

} // namespace tolvi::py
