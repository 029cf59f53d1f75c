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
// The arguments of _reconstruct. A kind code (KindCode below) says whether they
// rebuild an object of a kind's class or a Version holding that kind.
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
#include "binding/package/version/kind_tables_py.hpp"
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
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using version::Other;
using version::SemVer;
using version::Version;

// Kind codes, the first argument of _reconstruct but for a Version's text: an
// object of a kind's class, or a Version holding that kind. Stored pickles hold
// these numbers: never renumber them.
enum class KindCode : std::uint32_t {
    semver,
    dot_separated,
    other,
    version_semver,
    version_dot_separated,
    version_other,
};

// Whether the items rebuild an object of the kind's class or a Version.
enum class Target : std::uint8_t { kind_object, version };

template <class T> constexpr KindCode code_of(Target target) noexcept {
    const bool in_version = target == Target::version;
    if constexpr (std::is_same_v<T, SemVer>) {
        return in_version ? KindCode::version_semver : KindCode::semver;
    } else if constexpr (std::is_same_v<T, DotSeparated>) {
        return in_version ? KindCode::version_dot_separated : KindCode::dot_separated;
    } else {
        static_assert(std::is_same_v<T, Other>);
        return in_version ? KindCode::version_other : KindCode::other;
    }
}

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

// The arguments for a value of kind T: its code, then its text when the text
// parses back to exactly the value, otherwise its fields in the table's order.
template <class T> Ref arguments_of(const T& value, Target target) {
    std::array<Ref, 1 + kFieldCount<T>> items;
    items[0] = to_python_u32(static_cast<std::uint32_t>(code_of<T>(target)));
    if constexpr (KindTable<T>::kTextForm) {
        const std::string text = version::to_text(value);
        if (version::text_parses_back(value, text, KindTable<T>::kParse)) {
            items[1] = to_python_string(text);
            return tuple_from(std::span(items).first(2));
        }
    }
    std::size_t place = 1;
    std::apply(
        [&](const auto&... field) {
            ((items.at(place++) = std::remove_cvref_t<decltype(field)>::Convert::kToPython(
                  value.*std::remove_cvref_t<decltype(field)>::kMember)),
             ...);
        },
        KindTable<T>::kFields);
    return tuple_from(items);
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
    return std::visit([](const auto& kind) { return arguments_of(kind, Target::version); },
                      unpacked.value);
}

// The code and items of the value of an object of T's class, read under a
// shared claim.
template <class T> Ref kind_object_arguments(PyObject* object) {
    return read_value<T>(object,
                         [](const T& value) { return arguments_of(value, Target::kind_object); });
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
            arguments = kind_object_arguments<SemVer>(object);
        } else if (is_instance<DotSeparated>(object)) {
            arguments = kind_object_arguments<DotSeparated>(object);
        } else if (is_instance<Other>(object)) {
            arguments = kind_object_arguments<Other>(object);
        } else {
            return raise_type_mismatch(object, fixed::kVersionTarget);
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

// The error of a text that T's grammar, or Version's, does not read.
template <class T>
void raise_unparsed(const version::ParseFailure&, std::string_view, PyObject* text) {
    // The repr of str itself: a str subclass's own could run anything.
    auto str_repr = reinterpret_cast<reprfunc>(PyType_GetSlot(&PyUnicode_Type, Py_tp_repr));
    Ref quoted = Ref::steal(str_repr(text));
    if (quoted) {
        PyErr_Format(PyExc_ValueError, fixed::kUnparsedText, class_name<T>(), quoted.get());
    }
}

// A new object of T's class holding `value`, or a new Version holding it.
template <class T> Ref holding(Target target, T value) {
    if (target == Target::version) {
        PyTypeObject* type = class_type<Version>();
        return type != nullptr
                   ? new_version_object(type, version::Packer(Version{std::move(value)}))
                   : Ref();
    }
    PyTypeObject* type = class_type<T>();
    return type != nullptr ? kind_object_holding(type, std::move(value)) : Ref();
}

// A Version from the text argument `text`, read by `parse` as the constructor
// reads its text: the text is kept as it is. `Grammar` names the class of the
// grammar in the error of a text it does not read.
template <class Grammar> Ref version_from_text(PyObject* text, version::ParseEntry parse) {
    PyTypeObject* type = class_type<Version>();
    if (type == nullptr || !text_argument(text, "text")) {
        return {};
    }
    return from_python_text(text, parse, &raise_unparsed<Grammar>, version_packer(type));
}

// An object of T's class, or a Version, from the text argument `text`, read by
// T's grammar.
template <class T> Ref from_text(Target target, PyObject* text) {
    if (target == Target::version) {
        return version_from_text<T>(text, KindTable<T>::kParse);
    }
    if (!text_argument(text, "text")) {
        return {};
    }
    return from_python_text(text, KindTable<T>::kParse, &raise_unparsed<T>,
                            [](const version::VersionSyntax& syntax, std::string_view utf8) {
                                return holding(Target::kind_object,
                                               version::to_value<T>(syntax, utf8));
                            });
}

// What the `count` items after kind code `code` rebuild, for kind T: its text,
// or its fields in the table's order, each converted as its argument.
template <class T>
Ref from_items(Target target, std::uint32_t code, PyObject* const* items, Py_ssize_t count) {
    constexpr auto kFields = static_cast<Py_ssize_t>(kFieldCount<T>);
    // One item (a text, or the field of a one-field kind) or every field.
    bool counted = count == 1;
    if constexpr (kFields != 1) {
        counted = counted || count == kFields;
    }
    if (!counted) {
        PyErr_Format(PyExc_TypeError, fixed::kWrongFieldCount, static_cast<unsigned>(code),
                     count + 1);
        return {};
    }
    if constexpr (KindTable<T>::kTextForm) {
        if (count == 1 && (kFields != 1 || PyUnicode_Check(items[0]))) {
            return from_text<T>(target, items[0]);
        }
    }
    T value;
    Py_ssize_t place = 0;
    const bool whole = std::apply(
        [&](const auto&... field) {
            return (converted(std::remove_cvref_t<decltype(field)>::Convert::kFromPython,
                              items[place++], field.name,
                              value.*std::remove_cvref_t<decltype(field)>::kMember) &&
                    ...);
        },
        KindTable<T>::kFields);
    return whole ? holding(target, std::move(value)) : Ref();
}

// What the arguments of _reconstruct rebuild.
Ref reconstruct(PyObject* const* args, Py_ssize_t nargs) {
    if (nargs == 1) {
        return version_from_text<Version>(args[0], &version::parse_version);
    }
    if (nargs != 2 && nargs != 6) {
        PyErr_Format(PyExc_TypeError, fixed::kWrongArgumentCount, nargs);
        return {};
    }
    std::uint32_t code = 0;
    if (!converted(&from_python_u32, args[0], "code", code)) {
        return {};
    }
    PyObject* const* items = args + 1;
    const Py_ssize_t count = nargs - 1;
    switch (static_cast<KindCode>(code)) {
    case KindCode::semver:
        return from_items<SemVer>(Target::kind_object, code, items, count);
    case KindCode::dot_separated:
        return from_items<DotSeparated>(Target::kind_object, code, items, count);
    case KindCode::other:
        return from_items<Other>(Target::kind_object, code, items, count);
    case KindCode::version_semver:
        return from_items<SemVer>(Target::version, code, items, count);
    case KindCode::version_dot_separated:
        return from_items<DotSeparated>(Target::version, code, items, count);
    case KindCode::version_other:
        return from_items<Other>(Target::version, code, items, count);
    }
    PyErr_Format(PyExc_ValueError, fixed::kUnknownKindCode, static_cast<unsigned>(code));
    return {};
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
        PyErr_Format(PyExc_TypeError, fixed::kKeywordsRefused, as_reconstructor(self)->name);
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
    constexpr const char* kName = "_reconstruct";
    Ref restore = new_reconstructor(
        kName, "Rebuilds a version object from what its reduction for pickle and copy holds.");
    if (!restore) {
        return false;
    }
    Ref reducer = Ref::steal(PyCMethod_New(&reduce_def, module, module_name.get(), nullptr));
    if (!reducer) {
        return false;
    }
    Ref copyreg = Ref::steal(PyImport_ImportModule("copyreg"));
    if (!copyreg || PyModule_AddObjectRef(module, kName, restore.get()) != 0) {
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
