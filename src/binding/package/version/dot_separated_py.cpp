#include "binding/package/version/kind_class_py.hpp"

namespace tolvi::py {

namespace {

using version::DotSeparated;
using Parts = std::vector<std::string>;

struct DotSeparatedTraits {
    static constexpr const char* name = "DotSeparated";
    static constexpr auto parse = &version::parse_dot_separated;
    static bool from_keywords(PyObject* kwargs, DotSeparated& out) {
        return single_keyword_form(kwargs, "parts", &to_string_list, out.parts, name);
    }
};

PyGetSetDef dot_separated_properties[] = {
    property<DotSeparated, Parts, &DotSeparated::parts, &from_string_list, &to_string_list>(
        "parts", "new_parts"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto dot_separated_slots = value_type_slots<DotSeparated>({
    doc_slot("DotSeparated(*args, **kwargs)\n--\n\nPython wrapper around [`DotSeparated`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<DotSeparated, DotSeparatedTraits>)},
    {Py_tp_getset, dot_separated_properties},
});

constexpr SpecName dot_separated_name("DotSeparated");

PyType_Spec dot_separated_spec =
    value_type_spec<DotSeparated>(dot_separated_name.c_str(), dot_separated_slots.data());

} // namespace

template <> const ClassDefinition& class_definition<DotSeparated>() noexcept {
    static const ClassDefinition definition{dot_separated_spec};
    return definition;
}

} // namespace tolvi::py
