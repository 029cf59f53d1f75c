// Pickling, copying and deep-copying of the four classes, and the form their
// objects take in a pickle. The classes report their module as "builtins",
// where pickle cannot find them by name. Instead, copyreg's dispatch table,
// which pickle, copy and deepcopy all consult, maps each class to one reducer,
// and the reducer names one reconstructor that pickle does find by name:
// tolvi._reconstruct, the one object of a class of its own.
//
// The reconstructor is no built-in function because pickle asks the callable of
// every reduction for its __name__, and a built-in function makes a new str for
// each such question, where this object hands out the one it holds.
//
// The arguments of _reconstruct. A kind code is the kind's position (kind.hpp:
// 0 SemVer, 1 DotSeparated, 2 Other) for an object of the kind's own class, and
// 3 plus that position for a Version holding the kind.
//   (text)                                  a Version parsed from its text
//   (code, text)                            a SemVer or DotSeparated parsed by its
//                                           own grammar; an Other's value as it is
//   (code, parts)                           a DotSeparated from a list of str
//   (code, major, minor, patch, rc, meta)   a SemVer field by field
// A value travels as its text form whenever that parses back to exactly the
// value: it is the shortest form and the quickest to read. Values that only
// the setters can make travel field by field. Pickles live on in files and
// caches, so this form never changes.
#include "binding/package/version/pickling_py.hpp"

#include "binding/make_type_py.hpp"
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/slots_py.hpp"
#include "binding/package/version/version_object_py.hpp"
#include "core/package/version/parses_back.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using version::Kind;
using version::Other;
using version::SemVer;
using version::Version;

// The errors of a bad pickle, which the tests pin. The reconstructor receives
// whatever a pickle holds, so every argument is checked as strictly as the
// constructors check theirs, and every failure is an ordinary exception:
// TypeError, ValueError or OverflowError.
namespace text {
constexpr const char* wrong_argument_count = "_reconstruct() takes 1, 2 or 6 arguments (%zd given)";
// The code, then the count of arguments given.
constexpr const char* wrong_field_count =
    "_reconstruct() takes 2 arguments for kind code %u (%zd given)";
constexpr const char* unknown_kind_code = "_reconstruct() got an unknown kind code: %u";
// The class whose grammar failed, then the repr of the text.
constexpr const char* unparsed_text = "_reconstruct() got %s text that does not parse: %U";
// The reconstructor's name.
constexpr const char* keywords_refused = "tolvi.%U() takes no keyword arguments";
} // namespace text

// Kind codes: a kind's position for an object of its class, then the same
// after kind_count for a Version holding it.
constexpr std::uint32_t kind_code(Kind kind) noexcept {
    return static_cast<std::uint32_t>(version::position(kind));
}
constexpr std::uint32_t version_code(Kind kind) noexcept {
    return static_cast<std::uint32_t>(version::kind_count + version::position(kind));
}
constexpr std::uint32_t code_count = 2 * version::kind_count;

// ---------------------------------------------------------------- reduction

// A new tuple taking over `items`; empty when an item is missing (its error is
// pending) or the tuple cannot be made. Filled in place: a reduction makes one
// for every object pickled or copied.
Ref tuple_from(std::span<Ref> items) {
    if (!std::ranges::all_of(items, [](const Ref& item) { return static_cast<bool>(item); })) {
        return {};
    }
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
    if (tuple) {
        Py_ssize_t i = 0;
        for (Ref& item : items) {
            tuple_fill(tuple.get(), i++, item.release());
        }
    }
    return tuple;
}

// The same for a few items at hand.
template <class... Items> Ref tuple_of(Items... items) {
    std::array<Ref, sizeof...(Items)> held{std::move(items)...};
    return tuple_from(held);
}

// The arguments for a kind's value: its code, then the items that carry the
// value, five at most (a SemVer's fields).
struct CodedArguments {
    std::array<Ref, 6> items;
    std::size_t count = 1;

    void add(Ref item) { items.at(count++) = std::move(item); }
    Ref with_code(std::uint32_t code) {
        items[0] = to_python_u32(code);
        return tuple_from(std::span(items).first(count));
    }
};

// (text) when the text form parses back to exactly the value, otherwise the
// five fields.
CodedArguments arguments_of(const SemVer& value) {
    CodedArguments out;
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_semver)) {
        out.add(to_python_string(text));
        return out;
    }
    for (const std::uint32_t number : {value.major, value.minor, value.patch}) {
        out.add(to_python_u32(number));
    }
    out.add(to_python_optional_string_list(value.rc));
    out.add(to_python_optional_string_list(value.meta));
    return out;
}

// (text) when the text form parses back to exactly the value, otherwise (parts).
CodedArguments arguments_of(const DotSeparated& value) {
    CodedArguments out;
    const std::string text = version::to_text(value);
    out.add(version::text_parses_back(value, text, &version::parse_dot_separated)
                ? to_python_string(text)
                : to_python_string_list(value.parts));
    return out;
}

// (value): the value is its own text form, taken as it is.
CodedArguments arguments_of(const Other& value) {
    CodedArguments out;
    out.add(to_python_string(value.value));
    return out;
}

// (text) when the text carries the value, which it does for every Version made
// from text (the Version grammar reads it back to exactly that value);
// otherwise the code and items of the kind it holds.
Ref version_arguments(PyObject* object) {
    const version::VersionView value = version_value(object);
    if (version::text_parses_back(value)) {
        return tuple_of(to_python_text(value));
    }
    const Version unpacked = version::unpack(value);
    return std::visit(
        [&unpacked](const auto& kind) {
            return arguments_of(kind).with_code(
                version_code(version::kind_at(unpacked.value.index())));
        },
        unpacked.value);
}

// The code and items of the value of an object of T's class, read under a
// shared claim.
template <class T> Ref kind_object_arguments(PyObject* object, Kind kind) {
    return read_value<T>(
        object, [kind](const T& value) { return arguments_of(value).with_code(kind_code(kind)); });
}

// The module's reconstructor, which every reduction names; kept for the life
// of the process, like the module.
KeptRef reconstructor;

PyObject* reduce(PyObject*, PyObject* object) {
    return guarded([&]() -> PyObject* {
        Ref arguments;
        if (is_instance<Version>(object)) {
            arguments = version_arguments(object);
        } else if (is_instance<SemVer>(object)) {
            arguments = kind_object_arguments<SemVer>(object, Kind::semver);
        } else if (is_instance<DotSeparated>(object)) {
            arguments = kind_object_arguments<DotSeparated>(object, Kind::dot_separated);
        } else if (is_instance<Other>(object)) {
            arguments = kind_object_arguments<Other>(object, Kind::other);
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

// The class a failed grammar belongs to is the last part of the qualified name
// its failure gives the input.
void raise_unparsed(const version::ParseFailure& failure, std::string_view, PyObject* text) {
    std::string_view name = failure.source_name;
    name.remove_prefix(name.rfind(':') + 1);
    // The repr of str itself: a str subclass's own could run anything.
    auto str_repr = reinterpret_cast<reprfunc>(PyType_GetSlot(&PyUnicode_Type, Py_tp_repr));
    Ref quoted = Ref::steal(str_repr(text));
    if (quoted) {
        PyErr_Format(PyExc_ValueError, text::unparsed_text, std::string(name).c_str(),
                     quoted.get());
    }
}

// A new object of T's class holding `value`.
template <class T> Ref kind_object_of(T value) {
    PyTypeObject* type = class_type<T>();
    return type != nullptr ? kind_object_holding(type, std::move(value)) : Ref();
}

// A new Version holding `value`.
Ref version_of(const Version& value) {
    PyTypeObject* type = class_type<Version>();
    return type != nullptr ? new_version_object(type, version::Packer(value)) : Ref();
}

// An object of T's class from the text argument `text`, read by the class's
// parse entry `parse`.
template <class T> Ref kind_object_from_text(PyObject* text, version::ParseEntry parse) {
    if (!text_argument(text, "text")) {
        return {};
    }
    return from_python_text(text, parse, &raise_unparsed,
                            [](const version::VersionSyntax& syntax, std::string_view utf8) {
                                return kind_object_of(version::to_value<T>(syntax, utf8));
                            });
}

// A Version from the text argument `text`, read by `parse` as the constructor
// reads its text.
Ref version_from_text(PyObject* text, version::ParseEntry parse) {
    PyTypeObject* type = class_type<Version>();
    if (type == nullptr || !text_argument(text, "text")) {
        return {};
    }
    return from_python_text(text, parse, &raise_unparsed, version_packer(type));
}

bool semver_from_fields(PyObject* const* fields, SemVer& out) {
    return converted(&from_python_u32, fields[0], "major", out.major) &&
           converted(&from_python_u32, fields[1], "minor", out.minor) &&
           converted(&from_python_u32, fields[2], "patch", out.patch) &&
           converted(&from_python_optional_string_list, fields[3], "rc", out.rc) &&
           converted(&from_python_optional_string_list, fields[4], "meta", out.meta);
}

bool parts_from_field(PyObject* field, DotSeparated& out) {
    return converted(&from_python_string_list, field, "parts", out.parts);
}

// What the items after an object's kind code rebuild: its text, or its fields.
// The counts are checked already.
Ref kind_object_from_items(Kind kind, PyObject* const* items, Py_ssize_t count) {
    switch (kind) {
    case Kind::semver: {
        if (count == 1) {
            return kind_object_from_text<SemVer>(items[0], &version::parse_semver);
        }
        SemVer value;
        return semver_from_fields(items, value) ? kind_object_of(std::move(value)) : Ref();
    }
    case Kind::dot_separated: {
        if (PyUnicode_Check(items[0])) {
            return kind_object_from_text<DotSeparated>(items[0], &version::parse_dot_separated);
        }
        DotSeparated value;
        return parts_from_field(items[0], value) ? kind_object_of(std::move(value)) : Ref();
    }
    case Kind::other:
        break;
    }
    Other value;
    return converted(&from_python_other, items[0], "value", value)
               ? kind_object_of(std::move(value))
               : Ref();
}

// The same for a Version holding the kind: a text is read by the kind's own
// parse entry into the Version, keeping the text as it is; an Other's value is
// taken as it is, as the Other class takes it.
Ref version_from_items(Kind kind, PyObject* const* items, Py_ssize_t count) {
    switch (kind) {
    case Kind::semver: {
        if (count == 1) {
            return version_from_text(items[0], &version::parse_semver);
        }
        SemVer value;
        return semver_from_fields(items, value) ? version_of(Version{std::move(value)}) : Ref();
    }
    case Kind::dot_separated: {
        if (PyUnicode_Check(items[0])) {
            return version_from_text(items[0], &version::parse_dot_separated);
        }
        DotSeparated value;
        return parts_from_field(items[0], value) ? version_of(Version{std::move(value)}) : Ref();
    }
    case Kind::other:
        break;
    }
    Other value;
    return converted(&from_python_other, items[0], "value", value)
               ? version_of(Version{std::move(value)})
               : Ref();
}

// What the arguments of _reconstruct rebuild.
Ref reconstruct(PyObject* const* args, Py_ssize_t nargs) {
    if (nargs == 1) {
        return version_from_text(args[0], &version::parse_version);
    }
    if (nargs != 2 && nargs != 6) {
        PyErr_Format(PyExc_TypeError, text::wrong_argument_count, nargs);
        return {};
    }
    std::uint32_t code = 0;
    if (!converted(&from_python_u32, args[0], "code", code)) {
        return {};
    }
    if (code >= code_count) {
        PyErr_Format(PyExc_ValueError, text::unknown_kind_code, static_cast<unsigned>(code));
        return {};
    }
    const Kind kind = version::kind_at(code % version::kind_count);
    const Py_ssize_t count = nargs - 1;
    // Only a SemVer travels field by field in five items.
    if (count != 1 && kind != Kind::semver) {
        PyErr_Format(PyExc_TypeError, text::wrong_field_count, static_cast<unsigned>(code), nargs);
        return {};
    }
    return code >= version::kind_count ? version_from_items(kind, args + 1, count)
                                       : kind_object_from_items(kind, args + 1, count);
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
        PyErr_Format(PyExc_TypeError, text::keywords_refused, as_reconstructor(self)->name);
        return nullptr;
    }
    return guarded([&] { return reconstruct(args, PyVectorcall_NARGS(nargsf)); }).release();
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
    Ref type = Ref::steal(reinterpret_cast<PyObject*>(make_type(type_spec)));
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
