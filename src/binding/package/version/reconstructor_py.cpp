// Pickling, copying and deep-copying of the four classes. The classes report
// their module as "builtins", where pickle cannot find them by name. Instead,
// copyreg's dispatch table, which pickle, copy and deepcopy all consult, maps
// each class to one reducer, and the reducer names one reconstructor that
// pickle does find by name: tolvi._reconstruct, the one object of a class of its
// own. The arguments it takes are described in classes_py.hpp; each class's
// file makes and reads its own.
//
// The reconstructor is no built-in function because pickle asks the callable of
// every reduction for its __name__, and a built-in function makes a new str for
// each such question, where this object hands out the one it holds.
#include "binding/package/version/reconstructor_py.hpp"

#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/slots_py.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using version::Kind;
using version::Other;
using version::SemVer;
using version::Version;

// ---------------------------------------------------------------- reduction

// The module's reconstructor, which every reduction names; kept for the life
// of the process, like the module.
KeptRef reconstructor;

PyObject* reduce(PyObject*, PyObject* object) {
    return guarded([&]() -> PyObject* {
        Ref arguments;
        if (is_instance<Version>(object)) {
            arguments = reduction_arguments<Version>(object);
        } else if (is_instance<SemVer>(object)) {
            arguments = reduction_arguments<SemVer>(object);
        } else if (is_instance<DotSeparated>(object)) {
            arguments = reduction_arguments<DotSeparated>(object);
        } else if (is_instance<Other>(object)) {
            arguments = reduction_arguments<Other>(object);
        } else {
            return raise_type_mismatch(object, fixed::version_target);
        }
        return tuple_of(Ref::new_reference(reconstructor.get()), std::move(arguments)).release();
    });
}

PyMethodDef reduce_def = {
    "_reduce",
    &reduce,
    METH_O,
    nullptr,
};

// ---------------------------------------------------------------- reconstruction

// The reconstructor receives whatever a pickle holds, so every argument is
// checked as strictly as the constructors check theirs, and every failure is
// an ordinary exception: TypeError, ValueError or OverflowError.

std::nullptr_t wrong_argument_count(Py_ssize_t given) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 1, 2 or 6 arguments (%zd given)", given);
    return nullptr;
}

Ref wrong_field_count(KindCode code, Py_ssize_t count) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 2 arguments for kind code %u (%zd given)",
                 static_cast<unsigned>(code.code()), count + 1);
    return {};
}

Ref reconstruct_coded(KindCode code, PyObject* const* fields, Py_ssize_t count) {
    switch (code.kind) {
    case Kind::semver:
        return reconstruct<SemVer>(code.in_version, fields, count);
    case Kind::dot_separated:
        return count == 1 ? reconstruct<DotSeparated>(code.in_version, fields, count)
                          : wrong_field_count(code, count);
    case Kind::other:
        break;
    }
    return count == 1 ? reconstruct<Other>(code.in_version, fields, count)
                      : wrong_field_count(code, count);
}

PyObject* reconstruct_any(PyObject* const* args, Py_ssize_t nargs) {
    return guarded([&]() -> Ref {
               if (nargs == 1) {
                   return version_from_text_form(args[0], "text", version::Grammar::version);
               }
               if (nargs != 2 && nargs != 6) {
                   return Ref::steal(wrong_argument_count(nargs));
               }
               std::uint32_t code = 0;
               if (!converted(&from_python_u32, args[0], "code", code)) {
                   return {};
               }
               if (code >= KindCode::count) {
                   PyErr_Format(PyExc_ValueError, "_reconstruct() got an unknown kind code: %u",
                                static_cast<unsigned>(code));
                   return {};
               }
               return reconstruct_coded(KindCode::of(code), args + 1, nargs - 1);
           })
        .release();
}

// ---------------------------------------------------------------- the class

// Never constructed as a whole: allocated by the interpreter, then filled.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
struct ReconstructorObject {
    PyObject ob_base;
    vectorcallfunc call; // how the interpreter calls the object
    PyObject* name;      // owned: the function's name, which is also its qualified name

    void destroy() noexcept { Py_CLEAR(name); }
};

ReconstructorObject* as_reconstructor(PyObject* object) noexcept {
    return reinterpret_cast<ReconstructorObject*>(object);
}

// Called with the arguments in place: from Python without an argument tuple,
// and by pickle and copy with the items of the tuple they hold.
PyObject* reconstructor_vectorcall(PyObject* self, PyObject* const* args, std::size_t nargsf,
                                   PyObject* kwnames) {
    if (kwnames != nullptr && tuple_size(kwnames) != 0) {
        PyErr_Format(PyExc_TypeError, "tolvi.%U() takes no keyword arguments",
                     as_reconstructor(self)->name);
        return nullptr;
    }
    return reconstruct_any(args, PyVectorcall_NARGS(nargsf));
}

// Pickled by reference, as the module attribute of that name.
PyObject* reconstructor_reduce(PyObject* self, PyObject*) {
    return Py_NewRef(as_reconstructor(self)->name);
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

// The reconstructor named `name`. Its type reports the module "tolvi", where
// pickle finds it by that name.
Ref new_reconstructor(const char* name, const char* doc) {
    std::array slots{
        PyType_Slot{Py_tp_call, reinterpret_cast<void*>(&PyVectorcall_Call)},
        PyType_Slot{Py_tp_dealloc,
                    reinterpret_cast<void*>(&dealloc<&ReconstructorObject::destroy>)},
        PyType_Slot{Py_tp_members, static_cast<void*>(reconstructor_members)},
        PyType_Slot{Py_tp_methods, static_cast<void*>(reconstructor_methods)},
        doc_slot(doc),
        PyType_Slot{0, nullptr},
    };
    PyType_Spec type_spec = {
        "tolvi.reconstructor", static_cast<int>(sizeof(ReconstructorObject)), 0,
        Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_HAVE_VECTORCALL,
        slots.data()};
    Ref type = Ref::steal(checked_type(PyType_FromSpec(&type_spec)));
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
    }
    return object;
}

} // namespace

// The class a failed grammar belongs to is the last part of the qualified name
// its failure gives the input.
void raise_unreconstructable(const version::ParseFailure& failure, std::string_view,
                             PyObject* text) {
    std::string_view name = failure.source_name;
    name.remove_prefix(name.rfind(':') + 1);
    // The repr of str itself: a str subclass's own could run anything.
    auto str_repr = reinterpret_cast<reprfunc>(PyType_GetSlot(&PyUnicode_Type, Py_tp_repr));
    Ref quoted = Ref::steal(str_repr(text));
    if (quoted) {
        PyErr_Format(PyExc_ValueError, "_reconstruct() got %s text that does not parse: %U",
                     std::string(name).c_str(), quoted.get());
    }
}

bool register_pickling(PyObject* module) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) {
        return false;
    }
    constexpr const char* name = "_reconstruct";
    Ref restore = new_reconstructor(
        name, "Rebuilds a version object from what its reduction for pickle and copy holds.");
    if (!restore) {
        return false;
    }
    Ref reducer = Ref::steal(PyCMethod_New(&reduce_def, module, module_name.get(), nullptr));
    if (!reducer) {
        return false;
    }
    Ref copyreg = Ref::steal(PyImport_ImportModule("copyreg"));
    if (!copyreg || PyModule_AddObjectRef(module, name, restore.get()) != 0) {
        return false;
    }
    reconstructor.keep(std::move(restore));
    const auto registered = [&copyreg, &reducer](PyTypeObject* type) {
        return type != nullptr && static_cast<bool>(Ref::steal(PyObject_CallMethod(
                                      copyreg.get(), "pickle", "OO",
                                      reinterpret_cast<PyObject*>(type), reducer.get())));
    };
    return std::ranges::all_of(std::array{class_type<Version>(), class_type<SemVer>(),
                                          class_type<DotSeparated>(), class_type<Other>()},
                               registered);
}

} // namespace tolvi::py
