// Pickling, copying and deep-copying of the four classes. The classes report
// their module as "builtins", where pickle cannot find them by name. Instead,
// copyreg's dispatch table, which pickle, copy and deepcopy all consult, maps
// each class to one reducer, and the reducer names one reconstructor that
// pickle does find by name: tolvi._reconstruct.
//
// The reconstructor's arguments. A kind code is the kind's position in a
// Version (0 SemVer, 1 DotSeparated, 2 Other) for an object of the kind's own
// class, and 3 plus that position for a Version holding the kind.
//   (text)                                  a Version parsed from its text
//   (code, text)                            a SemVer or DotSeparated parsed by its
//                                           own grammar; an Other's value as it is
//   (code, parts)                           a DotSeparated from a list of str
//   (code, major, minor, patch, rc, meta)   a SemVer field by field
// A value travels as its text form whenever that parses back to exactly the
// value: it is the shortest form and the quickest to read. Values that only
// the setters can make travel field by field.
#include "binding/package/version/pickling_py.hpp"

#include "binding/errors_py.hpp"
#include "core/package/version/identical.hpp"
#include "binding/package/version/version_py.hpp"
#include "binding/package/version/value_object_py.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using version::Other;
using version::SemVer;
using version::Version;

constexpr std::uint32_t kind_count = 3;
constexpr std::uint32_t wrapped = kind_count; // added to a kind code for a Version

// The module's reconstructor, which every reduction names; kept for the life
// of the process, like the module.
PyObject* reconstructor = nullptr;

// (code, text form): the text is known to parse back to the value.
PyObject* code_and_text(std::uint32_t code, const std::string& text) {
    Ref text_object = Ref::steal(from_string(text));
    return text_object ? Py_BuildValue("(IO)", code, text_object.get()) : nullptr;
}

PyObject* kind_arguments(std::uint32_t code, const SemVer& value) {
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_semver)) {
        return code_and_text(code, text);
    }
    Ref rc = Ref::steal(from_optional_string_list(value.rc));
    Ref meta = Ref::steal(from_optional_string_list(value.meta));
    if (!rc || !meta) {
        return nullptr;
    }
    return Py_BuildValue("(IIIIOO)", code, value.major, value.minor, value.patch, rc.get(),
                         meta.get());
}

PyObject* kind_arguments(std::uint32_t code, const DotSeparated& value) {
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_dot_separated)) {
        return code_and_text(code, text);
    }
    Ref parts = Ref::steal(from_string_list(value.parts));
    return parts ? Py_BuildValue("(IO)", code, parts.get()) : nullptr;
}

PyObject* kind_arguments(std::uint32_t code, const Other& value) {
    return code_and_text(code, value.value);
}

PyObject* version_arguments(const version::PackedVersion& value) {
    if (version::text_parses_back(value)) {
        Ref text = Ref::steal(text_object(value));
        return text ? PyTuple_Pack(1, text.get()) : nullptr;
    }
    const Version unpacked = version::unpack(value);
    return std::visit(
        [&unpacked](const auto& kind) {
            return kind_arguments(wrapped + static_cast<std::uint32_t>(unpacked.value.index()),
                                  kind);
        },
        unpacked.value);
}

// The kind's position in a Version.
template <class T> constexpr std::uint32_t kind_code = 0;
template <> constexpr std::uint32_t kind_code<DotSeparated> = 1;
template <> constexpr std::uint32_t kind_code<Other> = 2;
static_assert(
    std::is_same_v<std::variant_alternative_t<kind_code<DotSeparated>, decltype(Version::value)>,
                   DotSeparated> &&
    std::is_same_v<std::variant_alternative_t<kind_code<Other>, decltype(Version::value)>, Other>);

template <class T> PyObject* held_kind_arguments(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return kind_arguments(kind_code<T>, value); });
}

PyObject* reduce(PyObject*, PyObject* object) {
    return guarded([&]() -> PyObject* {
        Ref arguments;
        if (is_instance<Version>(object)) {
            arguments = Ref::steal(version_arguments(version_value(object)));
        } else if (is_instance<SemVer>(object)) {
            arguments = Ref::steal(held_kind_arguments<SemVer>(object));
        } else if (is_instance<DotSeparated>(object)) {
            arguments = Ref::steal(held_kind_arguments<DotSeparated>(object));
        } else if (is_instance<Other>(object)) {
            arguments = Ref::steal(held_kind_arguments<Other>(object));
        } else {
            return raise_type_mismatch(object, "Version");
        }
        return arguments ? PyTuple_Pack(2, reconstructor, arguments.get()) : nullptr;
    });
}

// The reconstructor receives whatever a pickle holds, so every argument is
// checked as strictly as the constructors check theirs, and every failure is
// an ordinary exception: TypeError, ValueError or OverflowError.

template <class T> PyObject* restored(bool wrap, T&& value) {
    if (wrap) {
        return new_value_object(class_type<Version>(), Version{std::forward<T>(value)});
    }
    return new_value_object(class_type<T>(), std::forward<T>(value));
}

// Runs a conversion of argument `name`, naming the argument in a TypeError.
template <class Field>
bool converted(bool (*convert)(PyObject*, Field&), PyObject* object, const char* name, Field& out) {
    if (convert(object, out)) {
        return true;
    }
    prefix_argument_error(name);
    return false;
}

template <class T>
bool parsed_text(PyObject* text, version::ParseResult<T> (*parse)(std::string_view),
                 const char* class_name, T& out) {
    std::string utf8;
    if (!converted(&to_string, text, "text", utf8)) {
        return false;
    }
    auto parsed = parse(utf8);
    if (T* value = std::get_if<T>(&parsed)) {
        out = std::move(*value);
        return true;
    }
    // The repr of str itself: a str subclass's own could run anything.
    auto str_repr = reinterpret_cast<reprfunc>(PyType_GetSlot(&PyUnicode_Type, Py_tp_repr));
    Ref quoted = Ref::steal(str_repr(text));
    if (quoted) {
        PyErr_Format(PyExc_ValueError, "_reconstruct() got %s text that does not parse: %U",
                     class_name, quoted.get());
    }
    return false;
}

bool semver_fields(PyObject* const* fields, SemVer& out) {
    return converted(&to_u32, fields[0], "major", out.major) &&
           converted(&to_u32, fields[1], "minor", out.minor) &&
           converted(&to_u32, fields[2], "patch", out.patch) &&
           converted(&to_optional_string_list, fields[3], "rc", out.rc) &&
           converted(&to_optional_string_list, fields[4], "meta", out.meta);
}

PyObject* wrong_argument_count(Py_ssize_t given) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 1, 2 or 6 arguments (%zd given)", given);
    return nullptr;
}

PyObject* wrong_field_count(std::uint32_t code, Py_ssize_t count) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 2 arguments for kind code %u (%zd given)",
                 static_cast<unsigned>(code), count + 1);
    return nullptr;
}

PyObject* restore_kind(std::uint32_t code, PyObject* const* fields, Py_ssize_t count) {
    const bool wrap = code >= wrapped;
    switch (code % kind_count) {
    case 0: {
        SemVer value;
        const bool made = count == 1
                              ? parsed_text(fields[0], &version::parse_semver, "SemVer", value)
                              : semver_fields(fields, value);
        return made ? restored(wrap, std::move(value)) : nullptr;
    }
    case 1: {
        if (count != 1) {
            return wrong_field_count(code, count);
        }
        DotSeparated value;
        const bool made =
            PyUnicode_Check(fields[0])
                ? parsed_text(fields[0], &version::parse_dot_separated, "DotSeparated", value)
                : converted(&to_string_list, fields[0], "parts", value.parts);
        return made ? restored(wrap, std::move(value)) : nullptr;
    }
    default: {
        if (count != 1) {
            return wrong_field_count(code, count);
        }
        Other value;
        return converted(&to_string, fields[0], "value", value.value)
                   ? restored(wrap, std::move(value))
                   : nullptr;
    }
    }
}

PyObject* reconstruct(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return guarded([&]() -> PyObject* {
        if (nargs == 1) {
            Version value;
            return parsed_text(args[0], &version::parse_version, "Version", value)
                       ? new_value_object(class_type<Version>(), value)
                       : nullptr;
        }
        if (nargs != 2 && nargs != 6) {
            return wrong_argument_count(nargs);
        }
        std::uint32_t code = 0;
        if (!converted(&to_u32, args[0], "code", code)) {
            return nullptr;
        }
        if (code >= 2 * kind_count) {
            PyErr_Format(PyExc_ValueError, "_reconstruct() got an unknown kind code: %u",
                         static_cast<unsigned>(code));
            return nullptr;
        }
        return restore_kind(code, args + 1, nargs - 1);
    });
}

PyMethodDef reduce_def = {
    "_reduce",
    &reduce,
    METH_O,
    nullptr,
};

PyMethodDef reconstruct_def = {
    "_reconstruct",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&reconstruct)),
    METH_FASTCALL,
    "Rebuilds a version object from what its reduction for pickle and copy holds.",
};

} // namespace

bool register_pickling(PyObject* module) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) {
        return false;
    }
    Ref restore = Ref::steal(PyCMethod_New(&reconstruct_def, module, module_name.get(), nullptr));
    Ref reducer = Ref::steal(PyCMethod_New(&reduce_def, module, module_name.get(), nullptr));
    Ref copyreg = Ref::steal(PyImport_ImportModule("copyreg"));
    if (!restore || !reducer || !copyreg ||
        PyModule_AddObjectRef(module, reconstruct_def.ml_name, restore.get()) != 0) {
        return false;
    }
    PyObject* replaced = reconstructor;
    reconstructor = Py_NewRef(restore.get());
    Py_XDECREF(replaced);
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
