#pragma once

// ngspice's shared library, opened with dlopen when the first simulation
// is asked for, and started so that it reads nothing the user did not
// install. Private to the simulation layer: Simulator.cpp is its one user.
//
// Which file: the one NgspiceLibraryVariable names, when that environment
// variable is set (the tests point it at a missing file), else
// libngspice.so.0 and then libngspice.so as the dynamic loader finds them.
// A named file that is missing is "not found", one that is no ELF object
// (a text file, a FIFO, a folder) "not a shared library"; it is opened
// without blocking and the file checked is the file loaded.
//
// What ngspice would read at start-up, and how it is kept from it:
// - spinit, which may load code models: from $SPICE_SCRIPTS, else
//   $SPICE_LIB_DIR/scripts, else the folder it was built for. During
//   ngSpice_Init SPICE_SCRIPTS names a private folder holding an empty
//   spinit, so no code model is loaded and no other folder is tried.
// - .spiceinit, which may run any command ("shell ..."): ngspice 39 reads
//   the one in the current folder and, only when there is none, the one in
//   the home folder of the passwd entry ($HOME is not asked). During
//   ngSpice_Init the current folder is the private folder, whose
//   .spiceinit is empty, so the home folder is never tried.
// - Newer ngspice offers ngSpice_nospinit and ngSpice_nospiceinit; when
//   the library has them they are called before ngSpice_Init as well.
// The private folder is made with mkdtemp (mode 0700) and removed again;
// the current folder and SPICE_SCRIPTS are restored right after
// ngSpice_Init. Changing them is process-wide, which is why this happens
// once, under the simulator's lock, at the first simulation.

#include "common/Outcome.h"

#include <ngspice/sharedspice.h>

namespace norvane {

// An environment variable that names the library file to load instead of
// the usual ones.
inline constexpr const char* NgspiceLibraryVariable = "NORVANE_NGSPICE_LIBRARY";

// The message when no library could be loaded.
inline constexpr const char* NgspiceNotFound = "ngspice's shared library was not found";

// The functions of the shared API that the simulator calls.
struct NgspiceApi {
    decltype(&ngSpice_Init) m_Init = nullptr;
    decltype(&ngSpice_Command) m_Command = nullptr;
    decltype(&ngSpice_Circ) m_Circ = nullptr;
    decltype(&ngGet_Vec_Info) m_VectorInfo = nullptr;
    decltype(&ngSpice_AllPlots) m_AllPlots = nullptr;
    decltype(&ngSpice_running) m_Running = nullptr;
    // Only in newer libraries; nullptr otherwise.
    int (*m_NoSpinit)() = nullptr;
    int (*m_NoSpiceinit)() = nullptr;
};

// Loads the library and looks up its functions. The library stays loaded
// for the life of the process.
[[nodiscard]] Expected<NgspiceApi> OpenNgspice();

struct NgspiceCallbacks {
    SendChar* m_Print = nullptr;
    SendStat* m_Status = nullptr;
    ControlledExit* m_Exit = nullptr;
    BGThreadRunning* m_Background = nullptr;
};

// ngSpice_Init, with the start-up files contained as described above. The
// process keeps its SIGINT handler (ngspice would install its own).
[[nodiscard]] Status StartNgspice(const NgspiceApi& api, const NgspiceCallbacks& callbacks);

} // namespace norvane
