#include "binding/package/version/constructor_protocol_py.hpp"

#include <algorithm>

namespace tolvi::py {

bool reject_unknown_keywords(PyObject* kwargs, std::initializer_list<const char*> known,
                             const char* class_name) {
    Ref keys = Ref::steal(PyDict_Keys(kwargs));
    if (!keys) {
        return false;
    }
    const Py_ssize_t count = list_size(keys.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* key = list_item(keys.get(), i);
        if (!PyUnicode_Check(key)) {
            raise_type_mismatch(key, fixed::str_target);
            return false;
        }
        // Compared as text, never encoded: a key that UTF-8 cannot hold is just
        // another unknown key.
        const bool is_known = std::ranges::any_of(known, [key](const char* name) {
            return PyUnicode_CompareWithASCIIString(key, name) == 0;
        });
        if (!is_known) {
            PyErr_Format(PyExc_ValueError, fixed::invalid_keyword, key, class_name);
            return false;
        }
    }
    return true;
}

Ref keyword_value(PyObject* kwargs, const char* name) {
    Ref key = Ref::steal(PyUnicode_FromString(name));
    if (!key) {
        return {};
    }
    return Ref::new_reference(Borrowed(PyDict_GetItemWithError(kwargs, key.get())));
}

} // namespace tolvi::py
