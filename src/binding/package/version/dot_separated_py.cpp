// The DotSeparated class: a list of parts, which the setter replaces.
#include "binding/package/version/classes_py.hpp"
#include "binding/package/version/constructor_protocol_py.hpp"
#include "binding/package/version/conversions_py.hpp"
#include "binding/package/version/kind_object_py.hpp"
#include "binding/package/version/slots_py.hpp"
#include "core/package/version/parses_back.hpp"

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

// (code, text) when the text form parses back to exactly the value, otherwise
// (code, parts).
template <> Ref kind_arguments(const DotSeparated& value, bool in_version) {
    const KindCode code{version::Kind::dot_separated, in_version};
    const std::string text = version::to_text(value);
    if (version::text_parses_back(value, text, &version::parse_dot_separated)) {
        return code.with(to_python_string(text));
    }
    return code.with(to_python_string_list(value.parts));
}

// From its text, or from its list of parts.
template <> Ref reconstruct<DotSeparated>(bool in_version, PyObject* const* fields, Py_ssize_t) {
    PyObject* field = fields[0];
    if (!PyUnicode_Check(field)) {
        DotSeparated value;
        return converted(&from_python_string_list, field, "parts", value.parts)
                   ? object_holding(in_version, std::move(value))
                   : Ref();
    }
    if (in_version) {
        return version_from_text_form(field, "text", version::Grammar::dot_separated);
    }
    return from_python_text(field, &version::parse_dot_separated, &raise_unreconstructable,
                            [](DotSeparated& value, std::string_view) {
                                return object_holding(false, std::move(value));
                            });
}

template Ref reduction_arguments<DotSeparated>(PyObject* object);

} // namespace tolvi::py
