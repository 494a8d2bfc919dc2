#pragma once

// The three circuits and the eight schematic pictures that show their
// variants.

#include <cstdint>

namespace norvane {

enum class CircuitKind { None = 0, CommonBase = 1, CommonEmitter = 2, CommonCollector = 3 };

// Schematic ids: one picture per circuit variant.
namespace schematic_ids {
inline constexpr std::uint16_t CommonBaseNpn = 136;
inline constexpr std::uint16_t CommonBasePnp = 137;
inline constexpr std::uint16_t CommonEmitterNpn = 138;
inline constexpr std::uint16_t CommonEmitterPnp = 139;
inline constexpr std::uint16_t CommonCollectorNpn = 140;
inline constexpr std::uint16_t CommonCollectorPnp = 141;
inline constexpr std::uint16_t CommonEmitterNpnWithoutBypass = 142;
inline constexpr std::uint16_t CommonEmitterPnpWithoutBypass = 143;
inline constexpr std::uint16_t First = 136;
inline constexpr std::uint16_t Last = 143;
} // namespace schematic_ids

// "Common-Base circuit", "Common-Emitter circuit", "Common-Collector circuit";
// empty for None.
const char* CircuitTitle(CircuitKind kind);

// The circuit kind that a schematic id shows; None for any other id.
CircuitKind CircuitKindOfSchematic(std::uint16_t schematicId);

} // namespace norvane
