#include "ngspice/CLocale.h"

#include <clocale>
#include <cstring>

namespace norvane {

CLocaleScope::CLocaleScope()
{
    const char* current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr && std::strcmp(current, "C") != 0) {
        m_Saved = current;
        std::setlocale(LC_ALL, "C");
    }
}

CLocaleScope::~CLocaleScope()
{
    if (!m_Saved.empty()) {
        std::setlocale(LC_ALL, m_Saved.c_str());
    }
}

} // namespace norvane
