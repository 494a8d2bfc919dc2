#pragma once

// The three amplifier circuits as grid descriptions, and the drawing style
// of the schematics (result view, report and input dialogs alike).

#include "Schematic.h"

namespace norvane::artwork {

// withEmitterBypass: R4 in series with R5 || C3 to ground; otherwise R4
// goes straight to ground.
Circuit CommonEmitterCircuit(bool withEmitterBypass);
Circuit CommonBaseCircuit();
Circuit CommonCollectorCircuit();

const Style& SchematicStyle();

} // namespace norvane::artwork
