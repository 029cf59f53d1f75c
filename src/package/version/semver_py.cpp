#include "package/version/kind_class_py.hpp"
#include "type_cell_py.hpp"

namespace tolvi::py {

namespace {

using version::SemVer;
using Identifiers = std::optional<std::vector<std::string>>;

PyObject* from_u32(const std::uint32_t& n) {
    return PyLong_FromUnsignedLong(n);
}

bool required_number(PyObject* kwargs, const char* name, std::uint32_t& out) {
    Ref value = keyword_value(kwargs, name);
    if (!value) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_TypeError, "Missing required keyword argument '%s'", name);
        }
        return false;
    }
    return to_u32(value.get(), out);
}

bool optional_identifiers(PyObject* kwargs, const char* name, Identifiers& out) {
    Ref value = keyword_value(kwargs, name);
    if (!value) {
        return PyErr_Occurred() == nullptr;
    }
    return to_optional_string_list(value.get(), out);
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

constexpr char new_major[] = "new_major";
constexpr char new_minor[] = "new_minor";
constexpr char new_patch[] = "new_patch";
constexpr char new_rc[] = "new_rc";
constexpr char new_meta[] = "new_meta";

#define TOLVI_NUMBER_PROPERTY(field, parameter)                                                    \
    {                                                                                              \
#field, &field_getter < SemVer, std::uint32_t, &SemVer::field, &from_u32>,                 \
            &field_setter < SemVer, std::uint32_t, &SemVer::field, &to_u32, parameter>, nullptr,   \
            nullptr                                                                                \
    }
#define TOLVI_LIST_PROPERTY(field, parameter)                                                      \
    {                                                                                              \
#field, &field_getter < SemVer, Identifiers, &SemVer::field, &from_optional_string_list>,  \
            &field_setter < SemVer, Identifiers, &SemVer::field, &to_optional_string_list,         \
            parameter>, nullptr, nullptr                                                           \
    }

PyGetSetDef semver_properties[] = {
    TOLVI_NUMBER_PROPERTY(major, new_major), TOLVI_NUMBER_PROPERTY(minor, new_minor),
    TOLVI_NUMBER_PROPERTY(patch, new_patch), TOLVI_LIST_PROPERTY(rc, new_rc),
    TOLVI_LIST_PROPERTY(meta, new_meta),     {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef TOLVI_NUMBER_PROPERTY
#undef TOLVI_LIST_PROPERTY

auto semver_slots = value_type_slots<SemVer>({
    doc_slot("SemVer(*args, **kwargs)\n--\n\nPython wrapper type for [`SemVer`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<SemVer, SemVerTraits>)},
    {Py_tp_getset, semver_properties},
});

PyType_Spec semver_spec = value_type_spec<SemVer>("builtins.SemVer", semver_slots.data());

TypeCell semver_cell(semver_spec, "SemVer");

} // namespace

template <> PyTypeObject* class_type<SemVer>() {
    return semver_cell.get();
}

PyTypeObject* create_semver_type() {
    return semver_cell.get_or_create();
}

} // namespace tolvi::py
