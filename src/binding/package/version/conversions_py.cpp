#include "binding/package/version/conversions_py.hpp"

#include <algorithm>
#include <limits>

namespace tolvi::py {

namespace {

bool utf8_of(PyObject* text, std::string& out) {
    std::string_view utf8;
    if (!from_python_utf8(text, utf8)) {
        return false;
    }
    out.assign(utf8);
    return true;
}

// A list's or tuple's length is exact. Any other sequence's __len__ is only a
// hint, and one that overstates (sys.maxsize, say) must not make the conversion
// fail or reserve gigabytes: beyond a few hundred items the list simply grows.
constexpr std::size_t kMostReservedOnHint = 256;

std::size_t reservation_for(PyObject* sequence, std::size_t hint) noexcept {
    if (PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)) {
        return hint;
    }
    return std::min(hint, kMostReservedOnHint);
}

} // namespace

bool from_python_u32(PyObject* object, std::uint32_t& out) {
    Ref index;
    if (!PyLong_Check(object)) {
        index = Ref::steal(PyNumber_Index(object));
        if (!index) {
            return false;
        }
        object = index.get();
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(object);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        return false;
    }
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        raise(PyExc_OverflowError, fixed::kOutOfRange);
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool from_python_string_list(PyObject* object, std::vector<std::string>& out) {
    if (PyUnicode_Check(object)) {
        raise(PyExc_TypeError, fixed::kStrForList);
        return false;
    }
    if (!PySequence_Check(object)) {
        raise_type_mismatch(object, fixed::kSequenceTarget);
        return false;
    }
    std::vector<std::string> items;
    const Py_ssize_t hint = PySequence_Size(object);
    if (hint < 0) {
        PyErr_Clear();
    } else {
        items.reserve(reservation_for(object, static_cast<std::size_t>(hint)));
    }
    Ref iterator = Ref::steal(PyObject_GetIter(object));
    if (!iterator) {
        return false;
    }
    while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
        if (!PyUnicode_Check(item.get())) {
            raise_type_mismatch(item.get(), fixed::kStrTarget);
            return false;
        }
        if (!utf8_of(item.get(), items.emplace_back())) {
            return false;
        }
    }
    if (PyErr_Occurred()) {
        return false;
    }
    out = std::move(items);
    return true;
}

bool from_python_optional_string_list(PyObject* object, version::OptionalList& out) {
    if (object == Py_None) {
        out.reset();
        return true;
    }
    std::vector<std::string> items;
    if (!from_python_string_list(object, items)) {
        return false;
    }
    out = std::move(items);
    return true;
}

bool from_python_other_value(PyObject* object, std::string& out) {
    if (!PyUnicode_Check(object)) {
        raise_type_mismatch(object, fixed::kStrTarget);
        return false;
    }
    std::string_view utf8;
    if (!from_python_utf8(object, utf8)) {
        return false;
    }
    out = std::move(version::to_other(utf8).value);
    return true;
}

Ref to_python_u32(const std::uint32_t& n) {
    return Ref::steal(PyLong_FromUnsignedLong(n));
}

Ref to_python_string(const std::string& text) {
    return to_python_str(text);
}

Ref to_python_string_list(const std::vector<std::string>& items) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) {
        return list;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        Ref item = to_python_string(items[i]);
        if (!item) {
            return item;
        }
        list_fill(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list;
}

Ref to_python_optional_string_list(const version::OptionalList& items) {
    return items ? to_python_string_list(*items) : Ref::new_reference(Borrowed(Py_None));
}

bool text_argument(PyObject* object, const char* name) {
    if (PyUnicode_Check(object)) {
        return true;
    }
    raise_type_mismatch(object, fixed::kStrTarget);
    prefix_argument_error(name);
    return false;
}

} // namespace tolvi::py
