#include "binding/functions_py.hpp"

#include "binding/add_to_module_py.hpp"
#include "binding/errors_py.hpp"
#include "binding/object_access_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "binding/panic_py.hpp"
#include "core/log/dispatch.hpp"
#include "core/stdout_writer.hpp"

#include <string>

namespace tolvi::py {

namespace {

// Binds the one parameter `version` from a fast call, by position or keyword.
PyObject* bind_version(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    if (nargs > 1) {
        PyErr_Format(PyExc_TypeError, fixed::kTestFunctionPositional, nargs);
        return nullptr;
    }
    PyObject* bound = nargs == 1 ? args[0] : nullptr;
    const Py_ssize_t keyword_count = kwnames != nullptr ? tuple_size(kwnames) : 0;
    for (Py_ssize_t i = 0; i < keyword_count; ++i) {
        PyObject* name = tuple_item(kwnames, i);
        // Compared as text, never encoded: a name that cannot be encoded is just
        // another keyword that is not `version`.
        if (PyUnicode_CompareWithASCIIString(name, "version") != 0) {
            PyErr_Format(PyExc_TypeError, fixed::kTestFunctionKeyword, name);
            return nullptr;
        }
        if (nargs == 1) {
            PyErr_SetString(PyExc_TypeError, fixed::kTestFunctionTwice);
            return nullptr;
        }
        bound = args[nargs + i];
    }
    if (bound == nullptr) {
        PyErr_SetString(PyExc_TypeError, fixed::kTestFunctionMissing);
        return nullptr;
    }
    if (!is_instance<version::Version>(bound)) {
        if (!PyErr_Occurred()) {
            raise_type_mismatch(bound, fixed::kVersionTarget);
        }
        prefix_argument_error("version");
        return nullptr;
    }
    return bound;
}

PyObject* test_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* bound = bind_version(args, nargs, kwnames);
    if (bound == nullptr) {
        return nullptr;
    }
    return guarded([&]() -> PyObject* {
        const std::string_view text = version_value(bound).text();
        std::string line(fixed::kGotVersion);
        line.reserve(line.size() + text.size() + 1);
        line.append(text);
        line.push_back('\n');
        if (auto error = write_stdout(line)) {
            return raise_panic(stdout_failure_message(*error));
        }
        Py_RETURN_NONE;
    });
}

PyObject* init_tracing(PyObject*, PyObject*) {
    return guarded([]() -> PyObject* {
        if (auto refusal = log::init_default_subscriber()) {
            return raise(PyExc_RuntimeError, *refusal);
        }
        Py_RETURN_NONE;
    });
}

PyMethodDef test_function_def = {
    "test_function",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&test_function)),
    METH_FASTCALL | METH_KEYWORDS,
    "test_function(version)\n--\n\n",
};

PyMethodDef init_tracing_def = {
    "init_tracing",
    &init_tracing,
    METH_NOARGS,
    "init_tracing()\n--\n\n",
};

// Creates the function bound to `module` and adds it under its own __name__.
bool add_function(PyObject* module, PyMethodDef& def) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) {
        return false;
    }
    Ref function = Ref::steal(PyCMethod_New(&def, module, module_name.get(), nullptr));
    if (!function) {
        return false;
    }
    Ref name = Ref::steal(PyObject_GetAttrString(function.get(), "__name__"));
    return name && add_to_module(module, name.get(), function.get());
}

} // namespace

bool add_functions(PyObject* module) {
    return add_function(module, test_function_def) && add_function(module, init_tracing_def);
}

} // namespace tolvi::py
