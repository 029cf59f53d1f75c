#include "binding/package/version/kind_class_py.hpp"

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

PyGetSetDef other_properties[] = {
    property<Other, std::string, &Other::value, &from_string, &to_string>("value", "new_value"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto other_slots = value_type_slots<Other>({
    doc_slot("Other(*args, **kwargs)\n--\n\nPython wrapper around the [`Other`] version type"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<Other, OtherTraits>)},
    {Py_tp_getset, other_properties},
});

constexpr SpecName other_name("Other");

PyType_Spec other_spec = value_type_spec<Other>(other_name.c_str(), other_slots.data());

} // namespace

template <> const ClassDefinition& class_definition<Other>() noexcept {
    static const ClassDefinition definition{other_spec};
    return definition;
}

} // namespace tolvi::py
