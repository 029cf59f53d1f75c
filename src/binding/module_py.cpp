// The entry point: PyInit_tolvi builds the module once per process.
#include "binding/add_to_module_py.hpp"
#include "binding/errors_py.hpp"
#include "binding/functions_py.hpp"
#include "binding/once_cell_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/pickling_py.hpp"

#include <atomic>
#include <cstdint>
#include <string_view>

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

// Adds a class under the name its definition gives it.
template <class T> bool add_class(PyObject* module) {
    PyTypeObject* type = create_class_type<T>();
    return type != nullptr &&
           add_to_module(module, class_name<T>(), reinterpret_cast<PyObject*>(type));
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
    return add_class<version::Version>(version.get()) &&
           add_class<version::SemVer>(version.get()) &&
           add_class<version::DotSeparated>(version.get()) &&
           add_class<version::Other>(version.get()) &&
           add_submodule(package.get(), version.get()) && add_submodule(module, package.get()) &&
           add_functions(module) && register_pickling(module);
}

// The C API version the interpreter checks a new module against (1013). The
// abi3 build passes it too, where PyModule_Create would pass the stable ABI's
// (3), so that both builds make the module by the same call.
constexpr int kApiVersion = PYTHON_API_VERSION;

Ref build_module() {
    Ref module = Ref::steal(PyModule_Create2(&module_def, kApiVersion));
    if (!module) {
        return module;
    }
#ifdef Py_GIL_DISABLED
    // Every object's state is guarded by its own lock and claims, and every
    // process-wide cell is atomic: the interpreter keeps its lock off.
    if (PyUnstable_Module_SetGIL(module.get(), Py_MOD_GIL_NOT_USED) < 0) {
        return {};
    }
#endif
    if (!initialise(module.get())) {
        return {};
    }
    return module;
}

#ifdef Py_LIMITED_API
// A free-threaded interpreter lays out its objects, and this module's
// definition, otherwise than the stable ABI does: it would crash making the
// module. Its sys.abiflags holds a "t". Only the interpreter's functions read
// the object: the stable ABI's macros, PyUnicode_Check among them, would read
// its header at the wrong place.
bool interpreter_fits_build() {
    PyObject* flags = PySys_GetObject("abiflags"); // borrowed; the sys module keeps it
    if (flags == nullptr) {
        return true;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(flags, &size);
    if (text == nullptr) {
        return false;
    }
    if (std::string_view(text, static_cast<std::size_t>(size)).find('t') ==
        std::string_view::npos) {
        return true;
    }
    // Py_Version is 0xMMmmPPRS: major, minor, patch, release level and serial.
    constexpr unsigned kByte = 0xFF;
    constexpr unsigned kMajorShift = 24;
    constexpr unsigned kMinorShift = 16;
    const auto major = static_cast<int>((Py_Version >> kMajorShift) & kByte);
    const auto minor = static_cast<int>((Py_Version >> kMinorShift) & kByte);
    PyErr_Format(PyExc_ImportError, fixed::kFreeThreadedRefused, major, minor);
    return false;
}
#else
bool interpreter_fits_build() {
    return true;
}
#endif

// Objects of this module may not cross into another interpreter, so only the
// first interpreter that imports it ever gets it.
bool claim_interpreter() {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        if (!PyErr_Occurred()) {
            PyErr_SetString(PyExc_SystemError, fixed::kNoExceptionSet);
        }
        return false;
    }
    std::int64_t expected = -1;
    if (!initialising_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        PyErr_SetString(PyExc_ImportError, fixed::kSubinterpretersRefused);
        return false;
    }
    return true;
}

PyObject* init_module() {
    if (!interpreter_fits_build() || !claim_interpreter()) {
        return nullptr;
    }
    // The cell keeps the module for the life of the process.
    PyObject* module = cached_module.get_or_fill([] { return build_module().release(); });
    return module != nullptr ? Py_NewRef(module) : nullptr;
}

} // namespace

} // namespace tolvi::py

PyMODINIT_FUNC PyInit_tolvi() {
    return tolvi::py::guarded(tolvi::py::init_module);
}
