#pragma once

// The schematic of a designed amplifier as a KiCad 6 file (.kicad_sch,
// file format version 20211123), for a user who goes on to a board layout
// without drawing the circuit again. KiCad 6.0 reads it and later versions
// upgrade it.
//
// What the file holds:
// - The parts of the circuit (DescribeCircuit) and T1, drawn as the report's
//   schematic of the circuit draws them: Device:R, Device:C, or
//   Device:C_Polarized for an electrolytic (the parts list's kind) with its
//   positive terminal, pin 1, at the node the parts list names;
//   Device:Q_NPN_BCE or Device:Q_PNP_BCE. A PNP transistor is drawn
//   flipped, collector up, so that the circuit keeps the NPN's shape under
//   its negative supply.
// - The supply as a power symbol named after its voltage ("+12V", "-12V";
//   KiCad 6 names the net after the power pin, later versions after the
//   value, so both say the same), a GND symbol at every ground, a
//   PWR_FLAG on each of the two (the supply that drives them is not part
//   of the schematic; without the flags KiCad's electrical rules check
//   reports two errors), the global labels IN and OUT at the input and
//   output.
// - References and values as the result shows them ("R1", "47 k"), the
//   tolerance and rating of the parts list as the fields "Tolerance" and
//   "Rating". Footprints are left empty: the pin order of a TO-92 type
//   (C-B-E for a BC548B, E-B-C for a 2N3904) and the size of a capacitor
//   are for the layout to choose, and a default would be wrong as often as
//   right.
// - Every symbol's definition in lib_symbols, so the file opens without
//   KiCad's libraries; the sheet and symbol instances KiCad 6 writes.
// - Identifiers derived from the design (its netlist text and the item),
//   so the same design always gives the same bytes.
//
// The wires meet only at their ends and at pins, with a junction wherever
// three or more connections meet, so that each net is what the netlist
// (WriteNetlist) says: the supply's net is vcc, GND is 0, IN is in, OUT is
// out.

#include "common/Outcome.h"
#include "design/AmplifierDesign.h"

#include <string>

namespace norvane {

// The file's text; fails for a design that cannot be built, whose parts
// cannot be rated.
[[nodiscard]] Expected<std::string> KicadSchematic(const AmplifierDesign& design);

} // namespace norvane
