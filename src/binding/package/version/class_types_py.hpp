#pragma once
#include "binding/limited_api_py.hpp"
#include "binding/fixed_texts_py.hpp"
#include "binding/package/version/class_slots_py.hpp"
#include "binding/once_cell_py.hpp"
#include "binding/panic_py.hpp"
#include "core/package/version/version.hpp"

#include <string>
#include <string_view>

// The class type of each version value type. The import makes all four, once
// per process and under the interpreter lock; every later type test reads the
// cell the import filled.
namespace tolvi::py {

// What a class's type is made from, defined beside each class.
struct ClassDefinition {
    PyType_Spec& description;
    // The type's own call, for a class that has one: set once the type is made,
    // since a PyType_Spec cannot carry it.
    vectorcallfunc vectorcall = nullptr;
};

template <class T> const ClassDefinition& class_definition() noexcept;
template <> const ClassDefinition& class_definition<version::Version>() noexcept;
template <> const ClassDefinition& class_definition<version::SemVer>() noexcept;
template <> const ClassDefinition& class_definition<version::DotSeparated>() noexcept;
template <> const ClassDefinition& class_definition<version::Other>() noexcept;

template <class T> inline OnceCell<PyTypeObject> class_type_cell;

// For the import: the class type, made on the first call; a failure stays the
// pending exception.
template <class T> PyTypeObject* create_class_type() {
    return class_type_cell<T>.get_or_fill([]() -> PyTypeObject* {
        const ClassDefinition& definition = class_definition<T>();
        auto* type = reinterpret_cast<PyTypeObject*>(type_from_spec(definition.description));
        if (type != nullptr && definition.vectorcall != nullptr) {
            set_type_call(type, definition.vectorcall);
        }
        return type;
    });
}

// The type made now, when the import did not make it (never in practice); a
// failure is printed as unraisable and becomes the internal-failure exception.
template <class T> [[gnu::noinline]] PyTypeObject* missing_class_type() {
    if (PyTypeObject* type = create_class_type<T>()) {
        return type;
    }
    PyErr_WriteUnraisable(nullptr);
    std::string_view name = class_definition<T>().description.name;
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

} // namespace tolvi::py
