#include "report/SchematicImages.h"

namespace norvane {

namespace detail {
// Defined in the source file generated from the committed pictures.
std::span<const std::uint8_t> EmbeddedSchematicPng(std::uint16_t id);
} // namespace detail

namespace {

constexpr bool TableFollowsIds()
{
    for (std::size_t i = 0; i < Schematics.size(); ++i) {
        if (Schematics[i].m_Id != schematic_ids::First + i) {
            return false;
        }
    }
    return Schematics.size() == schematic_ids::Last - schematic_ids::First + 1u;
}
static_assert(TableFollowsIds(), "Schematics must list the ids 136 to 143 in order");

} // namespace

std::span<const std::uint8_t> SchematicPng(std::uint16_t id)
{
    if (!IsSchematicId(id)) {
        return {};
    }
    return detail::EmbeddedSchematicPng(id);
}

} // namespace norvane
