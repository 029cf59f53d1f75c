#pragma once
#include "once_cell_py.hpp"

namespace tolvi::py {

// One class type, created from its PyType_Spec on first need and kept for
// the life of the process.
class TypeCell {
public:
    TypeCell(PyType_Spec& definition, const char* class_name) noexcept
        : definition_(definition), class_name_(class_name) {}

    // For the module initialiser: a failure stays the pending exception.
    PyTypeObject* get_or_create();
    // Anywhere else: a failure is printed as unraisable and becomes the
    // internal-failure exception.
    PyTypeObject* get() {
        PyTypeObject* type = peek();
        return type != nullptr ? type : create_or_panic();
    }
    // The type, or null before it has been created; never fails.
    PyTypeObject* peek() const noexcept { return cell_.get(); }

private:
    PyTypeObject* create_or_panic();

    OnceCell<PyTypeObject> cell_;
    PyType_Spec& definition_;
    const char* class_name_;
};

} // namespace tolvi::py
