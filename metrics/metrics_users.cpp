#include "metrics/metrics_users.h"

#include "core/exceptions.h"

#include <crypt.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace {
// "$2b$10$" and the 53 characters of salt and hash that follow; the "2a" and "2y" spellings are the same.
bool IsBcrypt(const std::string& hash) {
    return hash.size() == 60 && hash[0] == '$' && hash[1] == '2' && std::strchr("aby", hash[2]) != nullptr &&
           hash[3] == '$' && hash[6] == '$';
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}
} // namespace

TMetricsUsers TMetricsUsers::FromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw Exception::FromUtf8("metrics users: cannot read \"" + path + "\": " + std::strerror(errno));
    return FromText(path, std::string(std::istreambuf_iterator<char>(file), {}));
}

TMetricsUsers TMetricsUsers::FromText(const std::string& path, const std::string& text) {
    TMetricsUsers users;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        const std::string origin = "metrics users: " + path + ":" + std::to_string(number) + ": ";
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string::npos || !IsBcrypt(line.substr(colon + 1)))
            throw Exception::FromUtf8(origin + "a line is 'user:<bcrypt hash>' (htpasswd -nB user)");
        if (!users.m_hashes.emplace(line.substr(0, colon), line.substr(colon + 1)).second)
            throw Exception::FromUtf8(origin + "the user \"" + line.substr(0, colon) + "\" is named twice");
    }
    // An empty file would lock everyone out, which is never what was meant.
    if (users.m_hashes.empty())
        throw Exception::FromUtf8("metrics users: \"" + path + "\" names no user");
    return users;
}

bool TMetricsUsers::Accepts(const std::string& user, const std::string& password) const {
    const auto found = m_hashes.find(user);
    if (found == m_hashes.end())
        return false;
    // crypt_rn keeps its work area in what it is given, so workers may check at once; it is large.
    auto data = std::make_unique<crypt_data>();
    const char* hash = crypt_rn(password.c_str(), found->second.c_str(), data.get(), sizeof(crypt_data));
    return hash != nullptr && found->second == hash;
}
