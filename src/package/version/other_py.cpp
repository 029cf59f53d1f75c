#include "package/version/kind_class_py.hpp"
#include "type_cell_py.hpp"

namespace tolvi::py {

namespace {

using version::Other;

struct OtherTraits {
    static constexpr const char* name = "Other";
    static constexpr auto parse = &version::parse_other;
    static bool from_keywords(PyObject* kwargs, Other& out) {
        return single_keyword_form(kwargs, "value", &to_string, out.value, name);
    }
};

constexpr char new_value[] = "new_value";

PyGetSetDef other_properties[] = {
    {"value", &field_getter<Other, std::string, &Other::value, &from_string>,
     &field_setter<Other, std::string, &Other::value, &to_string, new_value>, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto other_slots = value_type_slots<Other>({
    doc_slot("Other(*args, **kwargs)\n--\n\nPython wrapper around the [`Other`] version type"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<Other, OtherTraits>)},
    {Py_tp_getset, other_properties},
});

PyType_Spec other_spec = value_type_spec<Other>("builtins.Other", other_slots.data());

TypeCell other_cell(other_spec, "Other");

} // namespace

template <> PyTypeObject* class_type<Other>() {
    return other_cell.get();
}

PyTypeObject* create_other_type() {
    return other_cell.get_or_create();
}

} // namespace tolvi::py
