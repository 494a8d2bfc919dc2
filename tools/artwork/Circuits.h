#pragma once

// The three amplifier circuits as grid descriptions, and the two drawing
// styles: the schematics of the result view and report, and the smaller
// pictures of the input dialogs.

#include "Schematic.h"

namespace norvane::artwork {

// withEmitterBypass: R4 in series with R5 || C3 to ground; otherwise R4
// goes straight to ground.
Circuit CommonEmitterCircuit(bool withEmitterBypass);
Circuit CommonBaseCircuit();
Circuit CommonCollectorCircuit();

const Style& SchematicStyle();
const Style& DialogStyle();

}  // namespace norvane::artwork
