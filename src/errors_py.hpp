#pragma once
#include "py_ref_py.hpp"

#include <new>
#include <string_view>

namespace tolvi::py {

// Sets `type` with a message that may hold any text, NUL characters included.
std::nullptr_t raise(PyObject* type, std::string_view message);

// TypeError "'<qualified type name>' object cannot be converted to '<target>'".
std::nullptr_t raise_type_mismatch(PyObject* object, const char* target);

// TypeError "Cannot construct <Class> from type '<type name>'" for an argument
// of a type the constructor does not take.
std::nullptr_t raise_cannot_construct(const char* class_name, PyObject* argument);

// A TypeError raised while converting a named argument becomes
// "argument '<name>': <message>", keeping the original cause; any other
// pending exception is left as it is.
void prefix_argument_error(const char* name);

// Runs `body`, turning any C++ exception into a Python one so that none ever
// crosses into the interpreter. `failed` is what the slot returns on error.
template <class Body, class Result> Result guarded(Body&& body, Result failed) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (...) {
        raise(PyExc_SystemError, "unexpected internal error in tolvi");
    }
    return failed;
}

} // namespace tolvi::py
