#include "type_cell_py.hpp"

#include "panic_py.hpp"

#include <string>

namespace tolvi::py {

PyTypeObject* TypeCell::get_or_create() {
    return cell_.get_or_fill(
        [this] { return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&definition_)); });
}

PyTypeObject* TypeCell::create_or_panic() {
    if (PyTypeObject* type = get_or_create()) {
        return type;
    }
    PyErr_WriteUnraisable(nullptr);
    return raise_panic(std::string("failed to create type object for `") + class_name_ + "`");
}

} // namespace tolvi::py
