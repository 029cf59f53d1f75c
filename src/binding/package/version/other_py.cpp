// The Other class: an identifier version, whose value the setter replaces.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

#include <string>
#include <utility>

namespace tolvi::py {

namespace {

using version::Other;

struct OtherTraits {
    static constexpr const char* name = "Other";
    static constexpr auto parse = &version::parse_other;
    static bool from_keywords(PyObject* kwargs, Other& out) {
        return single_keyword_form(kwargs, "value", &from_python_other, out, name);
    }
};

// The setter's new value is that of an Other made from the str, as the keyword
// form and unpickling make theirs.
bool other_value_from_python(PyObject* object, std::string& out) {
    Other made;
    if (!from_python_other(object, made)) {
        return false;
    }
    out = std::move(made.value);
    return true;
}

PyGetSetDef other_properties[] = {
    property<Other, std::string, &Other::value, &to_python_string, &other_value_from_python>(
        "value", "new_value"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto other_slots = kind_type_slots<Other>({
    doc_slot("Other(*args, **kwargs)\n--\n\nPython wrapper around the [`Other`] version type"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<Other, OtherTraits>)},
    {Py_tp_getset, other_properties},
});

constexpr SpecName other_name("Other");

PyType_Spec other_spec = kind_type_spec<Other>(other_name.c_str(), other_slots.data());

} // namespace

const ClassDefinition other_definition{other_spec};

} // namespace tolvi::py
