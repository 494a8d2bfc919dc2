#include "report/SchematicImages.h"

namespace norvane {

namespace detail {
// Defined in the source file generated from the committed pictures.
std::span<const std::uint8_t> EmbeddedSchematicPng(std::uint16_t id);
} // namespace detail

namespace {

constexpr bool TableFollowsIds()
{
    for (std::size_t i = 0; i < kSchematics.size(); ++i) {
        if (kSchematics[i].id != kFirstSchematicId + i) {
            return false;
        }
    }
    return kSchematics.size() == kLastSchematicId - kFirstSchematicId + 1u;
}
static_assert(TableFollowsIds(), "kSchematics must list the ids 136 to 143 in order");

} // namespace

std::span<const std::uint8_t> SchematicPng(std::uint16_t id)
{
    if (!IsSchematicId(id)) {
        return {};
    }
    return detail::EmbeddedSchematicPng(id);
}

} // namespace norvane
