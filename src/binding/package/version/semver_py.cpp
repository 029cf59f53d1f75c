// The SemVer class: a semantic version whose five fields the setters change.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

namespace tolvi::py {

namespace {

using version::SemVer;

auto semver_properties = field_properties<SemVer>();

auto semver_slots = kind_type_slots<SemVer>({
    doc_slot("SemVer(*args, **kwargs)\n--\n\nPython wrapper type for [`SemVer`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<SemVer>)},
    {Py_tp_getset, semver_properties.data()},
});

constexpr SpecName semver_name("SemVer");

PyType_Spec semver_spec = kind_type_spec<SemVer>(semver_name.c_str(), semver_slots.data());

} // namespace

const ClassDefinition semver_definition{semver_spec};

} // namespace tolvi::py
