#include "app/command_line.h"

#include <algorithm>
#include <cstdio>

namespace {
// What the usual command-line tools return for a command line they do not understand.
constexpr int BadUsageExitCode = 2;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

const std::vector<TCommandLine::TOption>& TCommandLine::Options() {
    static const std::vector<TOption> options = {
        {"help", "", "Show this help and exit."},
        {"version", "", "Show the version and exit."},
    };
    return options;
}

TCommandLine::TCommandLine(const std::vector<std::string>& arguments, const std::vector<TOption>& options)
    : m_options(options), m_program(arguments.empty() ? "quorvane" : BaseName(arguments.front())) {
    Parse(arguments);
}

const TCommandLine::TOption* TCommandLine::Find(const std::string& name) const {
    for (const TOption& option : m_options)
        if (option.Name == name)
            return &option;
    return nullptr;
}

void TCommandLine::Parse(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size() && m_error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.rfind("--", 0) != 0)
            continue;
        const auto equals = argument.find('=');
        const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const TOption* option = Find(name);
        if (option == nullptr) {
            m_error = "unknown option '--" + name + "'";
        } else if (option->ValueName.empty()) {
            if (equals != std::string::npos)
                m_error = "option '--" + name + "' takes no value";
            m_values[name];
        } else if (equals != std::string::npos) {
            m_values[name] = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            m_values[name] = arguments[++i];
        } else {
            m_error = "option '--" + name + "' needs a value (" + option->ValueName + ")";
        }
    }
}

std::string TCommandLine::Value(const std::string& name) const {
    const auto found = m_values.find(name);
    return found == m_values.end() ? std::string() : found->second;
}

std::string TCommandLine::HelpText() const {
    std::string text = "Usage: " + m_program + " [options]\n"
                       "Quorvane, the connection tester: measures how a Firebird server answers over time.\n"
                       "Without options it opens its window.\n\nOptions:\n";
    for (const TOption& option : m_options) {
        std::string left = "  --" + option.Name + (option.ValueName.empty() ? "" : " " + option.ValueName);
        left.resize(std::max<size_t>(left.size() + 2, 22), ' ');
        text += left + option.Help + "\n";
    }
    return text;
}

std::string TCommandLine::VersionText() const {
    return m_program + " " QUORVANE_VERSION "\n";
}

std::optional<int> TCommandLine::Respond() const {
    if (!m_error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", m_program.c_str(), m_error.c_str(), m_program.c_str());
        return BadUsageExitCode;
    }
    if (IsSet("help") || IsSet("version")) {
        std::fputs((IsSet("help") ? HelpText() : VersionText()).c_str(), stdout);
        return 0;
    }
    return std::nullopt;
}

std::optional<int> RespondToCommandLine(int argc, char** argv) {
    return TCommandLine(std::vector<std::string>(argv, argv + argc)).Respond();
}
