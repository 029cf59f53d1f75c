// Pickling, copying and deep-copying of the four classes. The classes report
// their module as "builtins", where pickle cannot find them by name. Instead,
// copyreg's dispatch table, which pickle, copy and deepcopy all consult, maps
// each class to one reducer, and the reducer names one reconstructor that
// pickle does find by name: tolvi._reconstruct.
//
// The reconstructor's arguments. A kind code is the kind's position (see
// kind.hpp: 0 SemVer, 1 DotSeparated, 2 Other) for an object of the kind's own
// class, and 3 plus that position for a Version holding the kind.
//   (text)                                  a Version parsed from its text
//   (code, text)                            a SemVer or DotSeparated parsed by its
//                                           own grammar; an Other's value as it is
//   (code, parts)                           a DotSeparated from a list of str
//   (code, major, minor, patch, rc, meta)   a SemVer field by field
// A value travels as its text form whenever that parses back to exactly the
// value: it is the shortest form and the quickest to read. Values that only
// the setters can make travel field by field. Every text form of a Version is
// read as the constructor reads its text, packed straight from the grammar.
#include "binding/package/version/pickling_py.hpp"
#include "binding/fixed_texts_py.hpp"

#include "binding/errors_py.hpp"
#include "binding/limited_api_py.hpp"
#include "binding/package/version/reconstructor_py.hpp"
#include "binding/package/version/value_object_py.hpp"
#include "binding/package/version/version_py.hpp"
#include "core/package/version/identical.hpp"
#include "core/package/version/kind.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using version::Grammar;
using version::Kind;
using version::Other;
using version::SemVer;
using version::Version;

// A kind code and what it stands for: the kind, and whether it is held in a
// Version.
struct KindCode {
    static constexpr std::uint32_t count = 2 * version::kind_count;

    Kind kind;
    bool in_version;

    static KindCode of(std::uint32_t code) noexcept {
        return {version::kind_at(code % version::kind_count), code >= version::kind_count};
    }
    std::uint32_t code() const noexcept {
        return static_cast<std::uint32_t>(version::position(kind) +
                                          (in_version ? version::kind_count : 0));
    }
};

template <class T> constexpr Kind kind_of = Kind::semver;
template <> constexpr Kind kind_of<DotSeparated> = Kind::dot_separated;
template <> constexpr Kind kind_of<Other> = Kind::other;

// The module's reconstructor, which every reduction names; kept for the life
// of the process, like the module.
PyObject* reconstructor = nullptr;

// A new tuple taking over `items`; empty when an item is missing (its error is
// pending) or the tuple cannot be made. Filled in place: a reduction is made
// for every object pickled or copied.
template <class... Items> Ref tuple_of(Items... items) {
    if (!(static_cast<bool>(items) && ...)) {
        return {};
    }
    Ref tuple = Ref::steal(PyTuple_New(sizeof...(items)));
    if (!tuple) {
        return {};
    }
    Py_ssize_t i = 0;
    (tuple_fill(tuple.get(), i++, items.release()), ...);
    return tuple;
}

// (code, text form): the text is known to parse back to the value.
Ref code_and_text(KindCode code, const std::string& text) {
    Ref text_object = from_string(text);
    return text_object ? Ref::steal(Py_BuildValue("(IO)", code.code(), text_object.get())) : Ref();
}

Ref kind_arguments(KindCode code, const SemVer& value) {
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_semver)) {
        return code_and_text(code, text);
    }
    Ref rc = from_optional_string_list(value.rc);
    Ref meta = from_optional_string_list(value.meta);
    if (!rc || !meta) {
        return {};
    }
    return Ref::steal(Py_BuildValue("(IIIIOO)", code.code(), value.major, value.minor, value.patch,
                                    rc.get(), meta.get()));
}

Ref kind_arguments(KindCode code, const DotSeparated& value) {
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_dot_separated)) {
        return code_and_text(code, text);
    }
    Ref parts = from_string_list(value.parts);
    return parts ? Ref::steal(Py_BuildValue("(IO)", code.code(), parts.get())) : Ref();
}

Ref kind_arguments(KindCode code, const Other& value) {
    return code_and_text(code, value.value);
}

// (text) when the text carries the value, which it does for every Version
// made from text; otherwise the arguments of the kind it holds.
Ref version_arguments(PyObject* object) {
    if (version_text_carries_value(object)) {
        return tuple_of(version_text(object));
    }
    const Version unpacked = version::unpack(version_value(object));
    return std::visit(
        [&unpacked](const auto& kind) {
            return kind_arguments(KindCode{unpacked.kind(), true}, kind);
        },
        unpacked.value);
}

template <class T> Ref held_kind_arguments(PyObject* object) {
    return read_value<T>(object, [](const T& value) {
        return kind_arguments(KindCode{kind_of<T>, false}, value);
    });
}

PyObject* reduce(PyObject*, PyObject* object) {
    return guarded([&]() -> PyObject* {
        Ref arguments;
        if (is_version_object(object)) {
            arguments = version_arguments(object);
        } else if (is_instance<SemVer>(object)) {
            arguments = held_kind_arguments<SemVer>(object);
        } else if (is_instance<DotSeparated>(object)) {
            arguments = held_kind_arguments<DotSeparated>(object);
        } else if (is_instance<Other>(object)) {
            arguments = held_kind_arguments<Other>(object);
        } else {
            return raise_type_mismatch(object, fixed::version_target);
        }
        return tuple_of(Ref::new_reference(Borrowed(reconstructor)), std::move(arguments)).release();
    });
}

// The reconstructor receives whatever a pickle holds, so every argument is
// checked as strictly as the constructors check theirs, and every failure is
// an ordinary exception: TypeError, ValueError or OverflowError.

// Runs a conversion of argument `name`, naming the argument in a TypeError.
template <class Field>
bool converted(bool (*convert)(PyObject*, Field&), PyObject* object, const char* name, Field& out) {
    if (convert(object, out)) {
        return true;
    }
    prefix_argument_error(name);
    return false;
}

// Whether argument `name` is a str; a TypeError naming it when it is not.
bool text_argument(PyObject* object, const char* name) {
    if (PyUnicode_Check(object)) {
        return true;
    }
    raise_type_mismatch(object, fixed::str_target);
    prefix_argument_error(name);
    return false;
}

void raise_unparsed(std::string_view class_name, PyObject* text) {
    // The repr of str itself: a str subclass's own could run anything.
    auto str_repr = reinterpret_cast<reprfunc>(PyType_GetSlot(&PyUnicode_Type, Py_tp_repr));
    Ref quoted = Ref::steal(str_repr(text));
    if (quoted) {
        PyErr_Format(PyExc_ValueError, "_reconstruct() got %s text that does not parse: %U",
                     std::string(class_name).c_str(), quoted.get());
    }
}

// The class a failed grammar belongs to is the last part of the qualified name
// its failure gives the input.
void raise_unparsed_version(const version::ParseFailure& failure, std::string_view,
                            PyObject* text) {
    std::string_view name = failure.source_name;
    name.remove_prefix(name.rfind(':') + 1);
    raise_unparsed(name, text);
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
    raise_unparsed(class_name, text);
    return false;
}

// A Version from one of its text forms, read by `grammar`.
Ref version_from(PyObject* text, const char* name, Grammar grammar) {
    PyTypeObject* type = class_type<Version>();
    if (type == nullptr || !text_argument(text, name)) {
        return {};
    }
    return version_from_text(type, text, grammar, &raise_unparsed_version);
}

template <class T> Ref restored(bool in_version, T&& value) {
    if (in_version) {
        return version_from_model(Version{std::forward<T>(value)});
    }
    return new_value_object(class_type<T>(), std::forward<T>(value));
}

bool semver_fields(PyObject* const* fields, SemVer& out) {
    return converted(&to_u32, fields[0], "major", out.major) &&
           converted(&to_u32, fields[1], "minor", out.minor) &&
           converted(&to_u32, fields[2], "patch", out.patch) &&
           converted(&to_optional_string_list, fields[3], "rc", out.rc) &&
           converted(&to_optional_string_list, fields[4], "meta", out.meta);
}

std::nullptr_t wrong_argument_count(Py_ssize_t given) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 1, 2 or 6 arguments (%zd given)", given);
    return nullptr;
}

Ref wrong_field_count(KindCode code, Py_ssize_t count) {
    PyErr_Format(PyExc_TypeError, "_reconstruct() takes 2 arguments for kind code %u (%zd given)",
                 static_cast<unsigned>(code.code()), count + 1);
    return {};
}

Ref restore_semver(KindCode code, PyObject* const* fields, Py_ssize_t count) {
    if (count == 1 && code.in_version) {
        return version_from(fields[0], "text", Grammar::semver);
    }
    SemVer value;
    const bool made = count == 1 ? parsed_text(fields[0], &version::parse_semver, "SemVer", value)
                                 : semver_fields(fields, value);
    return made ? restored(code.in_version, std::move(value)) : Ref();
}

Ref restore_dot_separated(KindCode code, PyObject* field) {
    const bool is_text = PyUnicode_Check(field);
    if (is_text && code.in_version) {
        return version_from(field, "text", Grammar::dot_separated);
    }
    DotSeparated value;
    const bool made = is_text
                          ? parsed_text(field, &version::parse_dot_separated, "DotSeparated", value)
                          : converted(&to_string_list, field, "parts", value.parts);
    return made ? restored(code.in_version, std::move(value)) : Ref();
}

Ref restore_other(KindCode code, PyObject* field) {
    if (code.in_version) {
        return version_from(field, "value", Grammar::other_as_is);
    }
    Other value;
    return converted(&to_string, field, "value", value.value)
               ? restored(code.in_version, std::move(value))
               : Ref();
}

Ref restore_kind(KindCode code, PyObject* const* fields, Py_ssize_t count) {
    if (code.kind == Kind::semver) {
        return restore_semver(code, fields, count);
    }
    if (count != 1) {
        return wrong_field_count(code, count);
    }
    return code.kind == Kind::dot_separated ? restore_dot_separated(code, fields[0])
                                            : restore_other(code, fields[0]);
}

PyObject* reconstruct(PyObject* const* args, Py_ssize_t nargs) {
    return guarded([&]() -> Ref {
               if (nargs == 1) {
                   return version_from(args[0], "text", Grammar::version);
               }
               if (nargs != 2 && nargs != 6) {
                   return Ref::steal(wrong_argument_count(nargs));
               }
               std::uint32_t code = 0;
               if (!converted(&to_u32, args[0], "code", code)) {
                   return {};
               }
               if (code >= KindCode::count) {
                   PyErr_Format(PyExc_ValueError, "_reconstruct() got an unknown kind code: %u",
                                static_cast<unsigned>(code));
                   return {};
               }
               return restore_kind(KindCode::of(code), args + 1, nargs - 1);
           })
        .release();
}

PyMethodDef reduce_def = {
    "_reduce",
    &reduce,
    METH_O,
    nullptr,
};

} // namespace

bool register_pickling(PyObject* module) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) {
        return false;
    }
    constexpr const char* name = "_reconstruct";
    Ref restore = new_reconstructor(
        name, "Rebuilds a version object from what its reduction for pickle and copy holds.",
        &reconstruct);
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
