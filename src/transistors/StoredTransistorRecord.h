#pragma once

// How the build stores a model card of the transistor table (the generated
// transistors/TransistorTableData.h), apart from the TransistorRecord that
// everything else reads.
//
// The stored card holds its name in place, not as a pointer. norvane-cli and
// the desktop program are position-independent: an address in constant
// data is only known once the program is loaded, so the dynamic loader
// would write every record's name pointer at every start, and each 4 KiB
// page so written becomes a private copy. For 3,654 records that was the
// whole 1.2 MB table: some 290 page faults, a third of the time of a
// "design" run. Without pointers the table is plain read-only data that is
// paged in only where it is read (a name lookup reads a dozen records).
//
// The names are 5 to 10 characters (the library reader's rule), so the
// name field costs no more than the pointer and its padding did; a longer
// name does not compile.

#include "transistors/TransistorTable.h"

#include <cstdint>

namespace norvane {

// Named as TransistorRecord's fields, which the generated table fills in.
// NOLINTBEGIN(readability-identifier-naming)
struct StoredTransistorRecord {
    char name[12];         // NUL-terminated type name
    std::int32_t polarity; // 'N' or 'P'
    // The parameters in record order (TransistorParameterNames).
    double parameters[TransistorParameterCount];
};
// NOLINTEND(readability-identifier-naming)

} // namespace norvane
