// The DotSeparated class: a list of parts, which the setter replaces.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

namespace tolvi::py {

namespace {

using version::DotSeparated;

auto dot_separated_properties = field_properties<DotSeparated>();

auto dot_separated_slots = kind_type_slots<DotSeparated>({
    doc_slot("DotSeparated(*args, **kwargs)\n--\n\nPython wrapper around [`DotSeparated`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<DotSeparated>)},
    {Py_tp_getset, dot_separated_properties.data()},
});

constexpr SpecName dot_separated_name("DotSeparated");

PyType_Spec dot_separated_spec =
    kind_type_spec<DotSeparated>(dot_separated_name.c_str(), dot_separated_slots.data());

} // namespace

const ClassDefinition dot_separated_definition{dot_separated_spec};

} // namespace tolvi::py
