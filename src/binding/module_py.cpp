// The entry point: PyInit_tolvi builds the module once per process.
#include "binding/add_to_module_py.hpp"
#include "binding/errors_py.hpp"
#include "binding/functions_py.hpp"
#include "binding/once_cell_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/reconstructor_py.hpp"

#include <atomic>
#include <cstdint>

namespace tolvi::py {

namespace {

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "tolvi",
    "Fast, exact package-version values: parse, print, compare and sort version strings.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

std::atomic<std::int64_t> initialising_interpreter{-1};
OnceCell<PyObject> cached_module;

bool add_class(PyObject* module, const char* name, PyTypeObject* type) {
    return type != nullptr && add_to_module(module, name, reinterpret_cast<PyObject*>(type));
}

// Adds a submodule to its parent under the submodule's own __name__.
bool add_submodule(PyObject* parent, PyObject* child) {
    Ref name = Ref::steal(PyModule_GetNameObject(child));
    return name && add_to_module(parent, name.get(), child);
}

bool initialise(PyObject* module) {
    Ref package = Ref::steal(PyModule_New("package"));
    if (!package) {
        return false;
    }
    Ref version = Ref::steal(PyModule_New("version"));
    if (!version) {
        return false;
    }
    return add_class(version.get(), "Version", create_class_type<version::Version>()) &&
           add_class(version.get(), "SemVer", create_class_type<version::SemVer>()) &&
           add_class(version.get(), "DotSeparated", create_class_type<version::DotSeparated>()) &&
           add_class(version.get(), "Other", create_class_type<version::Other>()) &&
           add_submodule(package.get(), version.get()) && add_submodule(module, package.get()) &&
           add_functions(module) && register_pickling(module);
}

// The C API version the interpreter checks a new module against (1013). The
// abi3 build passes it too, where PyModule_Create would pass the stable ABI's
// (3), so that both builds make the module by the same call.
constexpr int kApiVersion = PYTHON_API_VERSION;

Ref build_module() {
    Ref module = Ref::steal(PyModule_Create2(&module_def, kApiVersion));
    if (module && !initialise(module.get())) {
        return {};
    }
    return module;
}

// Objects of this module may not cross into another interpreter, so only the
// first interpreter that imports it ever gets it.
bool claim_interpreter() {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        if (!PyErr_Occurred()) {
            PyErr_SetString(PyExc_SystemError, fixed::no_exception_set);
        }
        return false;
    }
    std::int64_t expected = -1;
    if (!initialising_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        PyErr_SetString(PyExc_ImportError, fixed::subinterpreters_refused);
        return false;
    }
    return true;
}

PyObject* init_module() {
    if (!claim_interpreter()) {
        return nullptr;
    }
    // The cell keeps the module for the life of the process.
    PyObject* module = cached_module.get_or_fill([] { return build_module().release(); });
    return module != nullptr ? Py_NewRef(module) : nullptr;
}

} // namespace

} // namespace tolvi::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit_tolvi() {
    return tolvi::py::guarded(tolvi::py::init_module);
}
