// The internal-failure exception, a class of its own derived directly from
// BaseException.
#include "binding/panic_py.hpp"

#include "binding/fixed_texts_py.hpp"
#include "binding/once_cell_py.hpp"

namespace tolvi::py {

namespace {

constexpr const char* kPanicDoc =
    "Signals an internal failure of the tolvi extension.\n\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so that it "
    "normally propagates to the top instead of being caught by generic handlers.";

// Made on first use and kept for the life of the process.
OnceCell<PyObject> panic_type;

Borrowed panic_exception_type() {
    return Borrowed(panic_type.get_or_fill([] {
        return PyErr_NewExceptionWithDoc(fixed::kPanicTypeName, kPanicDoc, PyExc_BaseException,
                                         nullptr);
    }));
}

} // namespace

std::nullptr_t raise_panic(std::string_view message) {
    const Borrowed type = panic_exception_type();
    if (!type) {
        return nullptr;
    }
    Ref text = Ref::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (text) {
        PyErr_SetObject(type.get(), text.get());
    }
    return nullptr;
}

} // namespace tolvi::py
