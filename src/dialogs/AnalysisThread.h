#pragma once

// Where the desktop program runs its long work (simulations, analyses, the
// ranking): one thread of its own, never Qt's global thread pool. Qt draws
// with that pool (the raster engine splits large paints over it); an
// analysis inside ngspice holding one of its two threads on this 2-core
// machine and a second request waiting there for the simulator's lock
// holding the other left every window unpainted until the first ended.
// ngspice runs one circuit at a time anyway, so one thread loses nothing:
// a request made while another runs waits in the queue, without a thread.

class QThreadPool;

namespace norvane {

// The pool of the long work, of one thread; lives until the program ends.
QThreadPool& AnalysisThreadPool();

} // namespace norvane
