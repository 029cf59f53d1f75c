#include "binding/add_to_module_py.hpp"

#include "binding/errors_py.hpp"
#include "binding/panic_py.hpp"
#include "binding/to_python_str_py.hpp"

namespace tolvi::py {

namespace {

// The module's __all__ list, created empty when the module has none.
Ref all_list(PyObject* module) {
    Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
            return {};
        }
        PyErr_Clear();
        all = Ref::steal(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) != 0) {
            return {};
        }
        return all;
    }
    if (!PyList_Check(all.get())) {
        raise_type_mismatch(all.get(), fixed::kListTarget);
        return {};
    }
    return all;
}

} // namespace

bool add_to_module(PyObject* module, PyObject* name, PyObject* value) {
    Ref all = all_list(module);
    if (!all) {
        return false;
    }
    if (PyList_Append(all.get(), name) != 0) {
        // Deliberately the internal-failure exception, not the append's own error.
        PyErr_Clear();
        raise_panic(fixed::kAllAppendFailed);
        return false;
    }
    return PyObject_SetAttr(module, name, value) == 0;
}

bool add_to_module(PyObject* module, const char* name, PyObject* value) {
    Ref key = to_python_str(name);
    return key && add_to_module(module, key.get(), value);
}

} // namespace tolvi::py
