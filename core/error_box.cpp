#include "core/error_box.h"

#include <cctype>

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

std::string ApplicationTitle(const std::string& executablePath) {
    std::string name = executablePath.substr(executablePath.find_last_of('/') + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        name[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return name;
}
