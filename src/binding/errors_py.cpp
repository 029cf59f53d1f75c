#include "binding/errors_py.hpp"

namespace tolvi::py {

std::nullptr_t raise(PyObject* type, std::string_view message) {
    // The interpreter's own constructor of str, as in panic_py.cpp: the errors
    // lie beneath every other part of the module, the str maker included.
    return raise_builtin(type, Ref::steal(PyUnicode_FromStringAndSize(
                                   message.data(), static_cast<Py_ssize_t>(message.size()))));
}

std::nullptr_t raise_builtin(PyObject* type, Ref message) {
    if (!message) {
        return nullptr;
    }
    // Calling the class would build its arguments again and run __init__, which
    // for a built-in exception stores the same arguments once more.
    Ref args = Ref::steal(PyTuple_Pack(1, message.get()));
    if (!args) {
        return nullptr;
    }
    auto* const exception_type = reinterpret_cast<PyTypeObject*>(type);
    auto* const make = reinterpret_cast<newfunc>(PyType_GetSlot(exception_type, Py_tp_new));
    Ref exception = Ref::steal(make(exception_type, args.get(), nullptr));
    if (exception) {
        // Given the instance, the interpreter chains it to the exception being
        // handled as it would a message.
        PyErr_SetObject(type, exception.get());
    }
    return nullptr;
}

std::nullptr_t raise_type_mismatch(PyObject* object, const char* target) {
    Ref name = Ref::steal(PyType_GetQualName(Py_TYPE(object)));
    if (!name) {
        // Deliberately a placeholder here, while "Cannot construct" propagates the error.
        PyErr_Clear();
        name = Ref::steal(PyUnicode_FromString(fixed::kUnnamedType));
        if (!name) {
            return nullptr;
        }
    }
    PyErr_Format(PyExc_TypeError, fixed::kTypeMismatch, name.get(), target);
    return nullptr;
}

std::nullptr_t raise_cannot_construct(const char* class_name, PyObject* argument) {
    // Deliberately propagates a failure to read the name, unlike the type mismatch.
    Ref name = Ref::steal(PyType_GetName(Py_TYPE(argument)));
    if (name) {
        PyErr_Format(PyExc_TypeError, fixed::kCannotConstruct, class_name, name.get());
    }
    return nullptr;
}

void prefix_argument_error(const char* name) {
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr) {
        return;
    }
    Ref original = Ref::steal(raised);
    if (Py_TYPE(raised) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
        PyErr_SetRaisedException(original.release());
        return;
    }
    Ref text = Ref::steal(PyObject_Str(raised));
    if (!text) {
        return;
    }
    Ref message = Ref::steal(PyUnicode_FromFormat(fixed::kArgumentError, name, text.get()));
    if (!message) {
        return;
    }
    Ref replacement =
        Ref::steal(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!replacement) {
        return;
    }
    // PyException_SetCause steals the reference it is given.
    if (PyObject* cause = PyException_GetCause(raised)) {
        PyException_SetCause(replacement.get(), cause);
    }
    PyErr_SetRaisedException(replacement.release());
}

} // namespace tolvi::py
