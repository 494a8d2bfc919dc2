#pragma once

// ngspice reads and prints numbers with the C library's locale-dependent
// functions (strtod, printf) and folds names with tolower: under a
// decimal-comma locale (de_DE) it prints "1,5" and takes "6.8e-07" for a
// model name, under tr_TR it folds "I" to a dotless i and finds no device.
// The desktop program runs in the user's locale (Qt sets it from the
// environment at start-up), so every call into ngspice happens with the
// process switched to the C locale, and switched back afterwards.
//
// setlocale is process-wide, and ngspice's background thread reads the
// same global locale as the thread that started the run: the scope is
// taken right after the simulator's lock and given back just before it,
// so that it covers every run, on whichever thread, from start to end.

#include <string>

namespace norvane {

class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    // The locale to go back to; empty when it was "C" already.
    std::string m_Saved;
};

} // namespace norvane
