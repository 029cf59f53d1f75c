#include "binding/package/version/reconstructor_py.hpp"

#include "binding/limited_api_py.hpp"
#include "binding/package/version/class_slots_py.hpp"

#include <array>
#include <cstddef>

namespace tolvi::py {

namespace {

// Never constructed as a whole: allocated by the interpreter, then filled.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
struct ReconstructorObject {
    PyObject ob_base;
    vectorcallfunc call; // how the interpreter calls the object
    PyObject* name;      // the function's name, which is also its qualified name
    Rebuild rebuild;
};

ReconstructorObject* as_reconstructor(PyObject* object) noexcept {
    return reinterpret_cast<ReconstructorObject*>(object);
}

// Called with the arguments in place: from Python without an argument tuple,
// and by pickle and copy with the items of the tuple they hold.
PyObject* reconstructor_vectorcall(PyObject* self, PyObject* const* args, std::size_t nargsf,
                                   PyObject* kwnames) {
    auto* reconstructor = as_reconstructor(self);
    if (kwnames != nullptr && tuple_size(kwnames) != 0) {
        PyErr_Format(PyExc_TypeError, "tolvi.%U() takes no keyword arguments", reconstructor->name);
        return nullptr;
    }
    return reconstructor->rebuild(args, PyVectorcall_NARGS(nargsf));
}

// Pickled by reference, as the module attribute of that name.
PyObject* reconstructor_reduce(PyObject* self, PyObject*) {
    return Py_NewRef(as_reconstructor(self)->name);
}

void reconstructor_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Py_XDECREF(as_reconstructor(self)->name);
    type_free(type, self);
    Py_DECREF(type);
}

PyMemberDef reconstructor_members[] = {
    {"__vectorcalloffset__", Py_T_PYSSIZET, offsetof(ReconstructorObject, call), Py_READONLY,
     nullptr},
    {"__name__", Py_T_OBJECT_EX, offsetof(ReconstructorObject, name), Py_READONLY, nullptr},
    {"__qualname__", Py_T_OBJECT_EX, offsetof(ReconstructorObject, name), Py_READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyMethodDef reconstructor_methods[] = {
    {"__reduce__", &reconstructor_reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

Ref new_reconstructor(const char* name, const char* doc, Rebuild rebuild) {
    std::array slots{
        PyType_Slot{Py_tp_call, reinterpret_cast<void*>(&PyVectorcall_Call)},
        PyType_Slot{Py_tp_dealloc, reinterpret_cast<void*>(&reconstructor_dealloc)},
        PyType_Slot{Py_tp_members, static_cast<void*>(reconstructor_members)},
        PyType_Slot{Py_tp_methods, static_cast<void*>(reconstructor_methods)},
        doc_slot(doc),
        PyType_Slot{0, nullptr},
    };
    PyType_Spec type_spec = {
        "tolvi.reconstructor", static_cast<int>(sizeof(ReconstructorObject)), 0,
        Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_HAVE_VECTORCALL,
        slots.data()};
    Ref type = Ref::steal(type_from_spec(type_spec));
    if (!type) {
        return {};
    }
    Ref text = Ref::steal(PyUnicode_InternFromString(name));
    if (!text) {
        return {};
    }
    Ref object = type_alloc(reinterpret_cast<PyTypeObject*>(type.get()));
    if (object) {
        as_reconstructor(object.get())->call = &reconstructor_vectorcall;
        as_reconstructor(object.get())->name = text.release();
        as_reconstructor(object.get())->rebuild = rebuild;
    }
    return object;
}

} // namespace tolvi::py
