#include "GeneratedHeader.h"

#include <cstdio>
#include <fstream>
#include <iostream>

namespace norvane::tools {

std::string DoubleLiteral(const std::string& text)
{
    if (text.find_first_of(".eE") == std::string::npos) {
        return text + ".0";
    }
    return text;
}

std::string StringLiteral(const std::string& text)
{
    std::string literal = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            literal += '\\';
        }
        literal += c;
    }
    return literal + "\"";
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReplaceFile(const std::string& path, const std::string& content)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << content;
        file.close();
        if (!file) {
            std::cerr << temporary << ": error: cannot write\n";
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::cerr << path << ": error: cannot replace\n";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace norvane::tools
