// The SemVer class: a semantic version whose five fields the setters change.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

#include <cstdint>
#include <string>
#include <utility>

namespace tolvi::py {

namespace {

using version::OptionalList;
using version::SemVer;

// ---------------------------------------------------------------- constructor

bool required_number(PyObject* kwargs, const char* name, std::uint32_t& out) {
    Ref value = keyword_value(kwargs, name);
    if (!value) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_TypeError, fixed::missing_keyword, name);
        }
        return false;
    }
    return from_python_u32(value.get(), out);
}

bool optional_identifiers(PyObject* kwargs, const char* name, OptionalList& out) {
    Ref value = keyword_value(kwargs, name);
    if (!value) {
        return PyErr_Occurred() == nullptr;
    }
    return from_python_optional_string_list(value.get(), out);
}

struct SemVerTraits {
    static constexpr const char* name = "SemVer";
    static constexpr auto parse = &version::parse_semver;
    static bool from_keywords(PyObject* kwargs, SemVer& out) {
        return required_number(kwargs, "major", out.major) &&
               required_number(kwargs, "minor", out.minor) &&
               required_number(kwargs, "patch", out.patch) &&
               optional_identifiers(kwargs, "rc", out.rc) &&
               optional_identifiers(kwargs, "meta", out.meta) &&
               reject_unknown_keywords(kwargs, {"major", "minor", "patch", "rc", "meta"}, name);
    }
};

// ---------------------------------------------------------------- properties

template <std::uint32_t SemVer::*Member>
constexpr PyGetSetDef number_property(const char* name, const char* parameter) noexcept {
    return property<SemVer, std::uint32_t, Member, &to_python_u32, &from_python_u32>(name,
                                                                                     parameter);
}

template <OptionalList SemVer::*Member>
constexpr PyGetSetDef list_property(const char* name, const char* parameter) noexcept {
    return property<SemVer, OptionalList, Member, &to_python_optional_string_list,
                    &from_python_optional_string_list>(name, parameter);
}

PyGetSetDef semver_properties[] = {
    number_property<&SemVer::major>("major", "new_major"),
    number_property<&SemVer::minor>("minor", "new_minor"),
    number_property<&SemVer::patch>("patch", "new_patch"),
    list_property<&SemVer::rc>("rc", "new_rc"),
    list_property<&SemVer::meta>("meta", "new_meta"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// ---------------------------------------------------------------- type

auto semver_slots = kind_type_slots<SemVer>({
    doc_slot("SemVer(*args, **kwargs)\n--\n\nPython wrapper type for [`SemVer`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<SemVer, SemVerTraits>)},
    {Py_tp_getset, semver_properties},
});

constexpr SpecName semver_name("SemVer");

PyType_Spec semver_spec = kind_type_spec<SemVer>(semver_name.c_str(), semver_slots.data());

} // namespace

const ClassDefinition semver_definition{semver_spec};

} // namespace tolvi::py
