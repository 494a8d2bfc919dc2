#pragma once

// The eight schematics of the amplifier variants, built into the program as
// constant PNG data (16 colours, 4 bits per pixel). The result view shows
// them and a saved report carries the one of its design, byte for byte.
//
// Schematic ids: 136 to 143 (design/CircuitKind.h), chosen after a
// calculation from the circuit, the polarity of the transistor and, for
// the common-emitter circuit, whether the emitter resistor R5 (with its
// bypass capacitor C3) is there.

#include "design/CircuitKind.h"

#include <array>
#include <cstdint>
#include <span>

namespace norvane {

enum class SchematicCircuit { CommonEmitter, CommonBase, CommonCollector };

struct SchematicInfo {
    std::uint16_t m_Id;
    std::uint16_t m_Width;  // pixels
    std::uint16_t m_Height; // pixels
    SchematicCircuit m_Circuit;
    bool m_Pnp;
    bool m_WithR5; // common-emitter only: R5 and C3 present
};

inline constexpr std::array<SchematicInfo, 8> Schematics{{
    {136, 253, 312, SchematicCircuit::CommonBase, false, false},
    {137, 253, 315, SchematicCircuit::CommonBase, true, false},
    {138, 257, 318, SchematicCircuit::CommonEmitter, false, true},
    {139, 257, 318, SchematicCircuit::CommonEmitter, true, true},
    {140, 255, 259, SchematicCircuit::CommonCollector, false, false},
    {141, 255, 261, SchematicCircuit::CommonCollector, true, false},
    {142, 257, 242, SchematicCircuit::CommonEmitter, false, false},
    {143, 257, 242, SchematicCircuit::CommonEmitter, true, false},
}};

constexpr bool IsSchematicId(std::uint16_t id)
{
    return id >= schematic_ids::First && id <= schematic_ids::Last;
}

// The table entry of an id, or nullptr for an id outside 136 to 143.
constexpr const SchematicInfo* FindSchematicInfo(std::uint16_t id)
{
    return IsSchematicId(id) ? &Schematics[id - schematic_ids::First] : nullptr;
}

// The complete PNG file of a schematic; an empty span for an id outside
// 136 to 143.
std::span<const std::uint8_t> SchematicPng(std::uint16_t id);

} // namespace norvane
