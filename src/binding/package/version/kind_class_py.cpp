#include "binding/package/version/kind_class_py.hpp"

namespace tolvi::py {

bool reject_unknown_keywords(PyObject* kwargs, std::initializer_list<std::string_view> known,
                             const char* class_name) {
    Ref keys = Ref::steal(PyDict_Keys(kwargs));
    if (!keys) {
        return false;
    }
    const Py_ssize_t count = list_size(keys.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* key = list_item(keys.get(), i);
        std::string text;
        if (!to_string(key, text)) {
            return false;
        }
        bool is_known = false;
        for (std::string_view name : known) {
            is_known = is_known || text == name;
        }
        if (!is_known) {
            raise(PyExc_ValueError,
                  "'" + text + "' is an invalid keyword argument for " + class_name + "()");
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
    return Ref::borrow(PyDict_GetItemWithError(kwargs, key.get()));
}

} // namespace tolvi::py
