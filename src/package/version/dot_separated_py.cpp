#include "package/version/kind_class_py.hpp"
#include "type_cell_py.hpp"

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

constexpr char new_parts[] = "new_parts";

PyGetSetDef dot_separated_properties[] = {
    {"parts", &field_getter<DotSeparated, Parts, &DotSeparated::parts, &from_string_list>,
     &field_setter<DotSeparated, Parts, &DotSeparated::parts, &to_string_list, new_parts>, nullptr,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto dot_separated_slots = value_type_slots<DotSeparated>({
    doc_slot("DotSeparated(*args, **kwargs)\n--\n\nPython wrapper around [`DotSeparated`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<DotSeparated, DotSeparatedTraits>)},
    {Py_tp_getset, dot_separated_properties},
});

PyType_Spec dot_separated_spec =
    value_type_spec<DotSeparated>("builtins.DotSeparated", dot_separated_slots.data());

TypeCell dot_separated_cell(dot_separated_spec, "DotSeparated");

} // namespace

template <> PyTypeObject* class_type<DotSeparated>() {
    return dot_separated_cell.get();
}

PyTypeObject* create_dot_separated_type() {
    return dot_separated_cell.get_or_create();
}

} // namespace tolvi::py
