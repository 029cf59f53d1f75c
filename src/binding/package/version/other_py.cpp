// The Other class: an identifier version, whose value the setter replaces with
// that of an Other made from the str, as the keyword form and unpickling make theirs.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

namespace tolvi::py {

namespace {

using version::Other;

auto other_properties = field_properties<Other>();

auto other_slots = kind_type_slots<Other>({
    doc_slot("Other(*args, **kwargs)\n--\n\nPython wrapper around the [`Other`] version type"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<Other>)},
    {Py_tp_getset, other_properties.data()},
});

constexpr SpecName other_name("Other");

PyType_Spec other_spec = kind_type_spec<Other>(other_name.c_str(), other_slots.data());

} // namespace

const ClassDefinition other_definition{other_spec};

} // namespace tolvi::py
