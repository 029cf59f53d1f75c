// The DotSeparated class: a list of parts, which the setter replaces.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_class_py.hpp"

#include <string>
#include <utility>
#include <vector>

namespace tolvi::py {

namespace {

using version::DotSeparated;
using Parts = std::vector<std::string>;

struct DotSeparatedTraits {
    static constexpr const char* name = "DotSeparated";
    static constexpr auto parse = &version::parse_dot_separated;
    static bool from_keywords(PyObject* kwargs, DotSeparated& out) {
        return single_keyword_form(kwargs, "parts", &from_python_string_list, out.parts, name);
    }
};

PyGetSetDef dot_separated_properties[] = {
    property<DotSeparated, Parts, &DotSeparated::parts, &to_python_string_list,
             &from_python_string_list>("parts", "new_parts"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

auto dot_separated_slots = kind_type_slots<DotSeparated>({
    doc_slot("DotSeparated(*args, **kwargs)\n--\n\nPython wrapper around [`DotSeparated`]"),
    {Py_tp_new, reinterpret_cast<void*>(&kind_new<DotSeparated, DotSeparatedTraits>)},
    {Py_tp_getset, dot_separated_properties},
});

constexpr SpecName dot_separated_name("DotSeparated");

PyType_Spec dot_separated_spec =
    kind_type_spec<DotSeparated>(dot_separated_name.c_str(), dot_separated_slots.data());

} // namespace

const ClassDefinition dot_separated_definition{dot_separated_spec};

} // namespace tolvi::py
