#include "db/connect_params.h"

#include "db/database.h"

namespace {

std::string ParamName(const std::string& line) {
    std::string name = line.substr(0, line.find('='));
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ')
        name.pop_back();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (name.starts_with("isc_dpb_"))
        name.erase(0, 8);
    return name;
}

} // namespace

void TConnectParams::SetCharSet(const std::string& value) {
    std::string upper = value;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    SetValue("lc_ctype", upper);
}

// The line whose name is exactly this parameter (with or without "isc_dpb_", any case): a plain prefix test
// would let "password" pick up a "password_enc" line.
int TConnectParams::LineIndex(const std::string& name) const {
    const std::vector<std::string>& lines = m_database.DBParams();
    for (size_t i = 0; i < lines.size(); ++i)
        if (ParamName(lines[i]) == name)
            return static_cast<int>(i);
    return -1;
}

std::string TConnectParams::Value(const std::string& name) const {
    const int index = LineIndex(name);
    if (index < 0)
        return {};
    const std::string& line = m_database.DBParams()[static_cast<size_t>(index)];
    const size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

void TConnectParams::SetValue(const std::string& name, const std::string& value) {
    std::vector<std::string> lines = m_database.DBParams();
    const int index = LineIndex(name);
    if (value.empty()) {
        if (index < 0)
            return;
        lines.erase(lines.begin() + index);
    } else if (index < 0) {
        lines.push_back(name + "=" + value);
    } else {
        lines[static_cast<size_t>(index)] = name + "=" + value;
    }
    m_database.SetDBParams(std::move(lines));
}
