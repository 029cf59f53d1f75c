#pragma once
#include "binding/fixed_texts_py.hpp"
#include "binding/refs_py.hpp"

#include <new>
#include <string_view>
#include <type_traits>

namespace tolvi::py {

// Sets `type`, a built-in exception class, with a message that may hold any
// text, NUL characters included.
std::nullptr_t raise(PyObject* type, std::string_view message);
// The same with the message made already. The exception is made without a call
// of the class. A null message stands for a failure to make it, whose error is
// left set.
std::nullptr_t raise_builtin(PyObject* type, Ref message);

// TypeError "'<qualified type name>' object cannot be converted to '<target>'".
std::nullptr_t raise_type_mismatch(PyObject* object, const char* target);

// TypeError "Cannot construct <Class> from type '<type name>'" for an argument
// of a type the constructor does not take.
std::nullptr_t raise_cannot_construct(const char* class_name, PyObject* argument);

// A TypeError raised while converting a named argument becomes
// "argument '<name>': <message>", keeping the original cause; any other
// pending exception is left as it is.
void prefix_argument_error(const char* name);

// What a function returns on error: null for an object, an empty Ref for a new
// reference, -1 for a status, false for a test.
template <class Result> constexpr Result failure_value() noexcept {
    if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
    } else if constexpr (std::is_same_v<Result, Ref>) {
        return Ref();
    } else if constexpr (std::is_same_v<Result, bool>) {
        return false;
    } else {
        static_assert(std::is_same_v<Result, int>, "an object, an int status or a test");
        return -1;
    }
}

// Runs `body`, turning any C++ exception into a Python one so that none ever
// crosses into the interpreter; the slot then returns its failure value.
template <class Body> auto guarded(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (...) {
        raise(PyExc_SystemError, fixed::kInternalError);
    }
    return failure_value<decltype(body())>();
}

} // namespace tolvi::py
