#include "app/command_line.h"

#include "core/exceptions.h"

#include <algorithm>
#include <cstdio>

namespace {
// What the usual command-line tools return for a command line they do not understand.
constexpr int BadUsageExitCode = 2;
// Where the options' help begins, and where it wraps.
constexpr size_t HelpColumn = 24;
constexpr size_t HelpWidth = 79;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

TCommandLine::TCommandLine(const std::vector<std::string>& arguments, const std::vector<TOption>& options)
    : m_options(options), m_program(arguments.empty() ? "quorvane" : BaseName(arguments.front())) {
    Parse(arguments);
}

const TOption* TCommandLine::Find(const std::string& name) const {
    for (const TOption& option : m_options)
        if (option.Name == name)
            return &option;
    return nullptr;
}

void TCommandLine::Parse(const std::vector<std::string>& arguments) {
    std::vector<std::string> leftToQt;
    for (size_t i = 1; i < arguments.size() && m_error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.rfind("--", 0) != 0) {
            leftToQt.push_back(argument);
            continue;
        }
        const auto equals = argument.find('=');
        const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const TOption* option = Find(name);
        if (option == nullptr) {
            m_error = "unknown option '--" + name + "'";
        } else if (!option->TakesValue()) {
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
    if (m_error.empty())
        CheckLeftToQt(leftToQt);
    for (const TOption& option : m_options)
        if (m_error.empty() && IsSet(option) && *option.Requires != '\0' && !IsSet(option.Requires))
            m_error = "option '--" + std::string(option.Name) + "' needs '--" + option.Requires + "'";
}

// Qt's own window options ("-platform offscreen", "-style fusion", "-reverse") begin with one dash, and the
// word after one may be its value; nothing else is Qt's. Our options with one dash are a slip, which would
// otherwise run without the option. A run without a window has no use for Qt's options.
void TCommandLine::CheckLeftToQt(const std::vector<std::string>& arguments) {
    const bool window = !IsSet("headless");
    bool mayBeValue = false;
    for (const std::string& argument : arguments) {
        const bool dashed = argument.size() > 1 && argument[0] == '-';
        if (dashed && Find(argument.substr(1, argument.find('=') - 1)) != nullptr) {
            m_error = "unknown option '" + argument + "' (did you mean '-" + argument + "'?)";
        } else if (dashed && !window) {
            m_error = "unknown option '" + argument + "'";
        } else if (!dashed && !(window && mayBeValue)) {
            m_error = "unexpected argument '" + argument + "'";
        }
        if (!m_error.empty())
            return;
        mayBeValue = dashed;
    }
}

std::string TCommandLine::Value(const std::string& name) const {
    const auto found = m_values.find(name);
    return found == m_values.end() ? std::string() : found->second;
}

std::string TCommandLine::Text(const TOption& option) const {
    return IsSet(option) ? Value(option.Name) : option.DefaultText;
}

int32_t TCommandLine::Number(const TOption& option) const {
    return IsSet(option) ? CheckedNumber(option, Value(option.Name)) : option.Default;
}

std::string TCommandLine::Origin(const std::string& name) const {
    const auto found = m_origins.find(name);
    return found == m_origins.end() ? std::string() : found->second;
}

void TCommandLine::TakeFileValues(const std::string& path, const std::string& text) {
    std::map<std::string, std::string> taken; // name -> origin, of this file's lines
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        TakeFileValue(path + ":" + std::to_string(++number), text.substr(at, end - at), taken);
        at = end + 1;
    }
}

void TCommandLine::TakeFileValue(const std::string& origin, const std::string& line,
                                 std::map<std::string, std::string>& taken) {
    const auto trimmed = [](const std::string& part) {
        const size_t first = part.find_first_not_of(" \t\r");
        return first == std::string::npos ? std::string()
                                          : part.substr(first, part.find_last_not_of(" \t\r") - first + 1);
    };
    // A NUL would end the value for whoever reads it as a C string: the rest of the line would go unseen.
    if (line.find('\0') != std::string::npos)
        throw Exception::FromUtf8(origin + ": a line holds a NUL byte");
    const std::string content = trimmed(line);
    if (content.empty() || content.front() == '#')
        return;
    const auto equals = content.find('=');
    if (equals == std::string::npos)
        throw Exception::FromUtf8(origin + ": a line is 'name = value' or a '#' comment");
    const std::string name = trimmed(content.substr(0, equals));
    const TOption* option = Find(name);
    if (name == "password")
        throw Exception::FromUtf8(origin + ": a password is never read from this file; name a 'password-file'");
    if (option == nullptr)
        throw Exception::FromUtf8(origin + ": unknown option '" + name + "'");
    if (!option->TakesValue() || option->CommandLineOnly)
        throw Exception::FromUtf8(origin + ": option '" + name + "' is given on the command line only");
    if (taken.count(name) > 0)
        throw Exception::FromUtf8(origin + ": option '" + name + "' is given twice (first at " + taken[name] + ")");
    taken[name] = origin;
    if (!IsSet(name)) {
        m_values[name] = trimmed(content.substr(equals + 1));
        m_origins[name] = origin;
    }
}

std::string TCommandLine::HelpText() const {
    std::string text = "Usage: " + m_program + " [options]\n"
                       "Quorvane, the connection tester: measures how a Firebird server answers over time.\n"
                       "Without --headless it opens its window.\n\nOptions:\n";
    for (const TOption& option : m_options) {
        std::string line = "  --" + std::string(option.Name) +
                           (option.TakesValue() ? " " + std::string(option.ValueName) : "");
        line.resize(std::max<size_t>(line.size() + 2, HelpColumn), ' ');
        // The help's words, wrapped under one another.
        const std::string help = HelpSentence(option);
        size_t lineStart = 0;
        for (size_t at = 0; at < help.size();) {
            size_t end = help.find(' ', at);
            end = end == std::string::npos ? help.size() : end;
            if (line.size() - lineStart > HelpColumn && line.size() - lineStart + (end - at) > HelpWidth) {
                line.back() = '\n';
                lineStart = line.size();
                line.append(HelpColumn, ' ');
            }
            line.append(help, at, end - at).push_back(' ');
            at = end + 1;
        }
        line.back() = '\n';
        text += line;
    }
    return text;
}

std::string TCommandLine::VersionText() const {
    return m_program + " " QUORVANE_VERSION "\n";
}

int TCommandLine::Refuse(const Exception& error) const {
    return Refuse(error.Utf8Text());
}

int TCommandLine::Refuse(const std::string& utf8Error) const {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", m_program.c_str(), utf8Error.c_str(),
                 m_program.c_str());
    return BadUsageExitCode;
}

std::optional<int> TCommandLine::Respond() const {
    if (!m_error.empty())
        return Refuse(m_error);
    if (IsSet("help") || IsSet("version")) {
        std::fputs((IsSet("help") ? HelpText() : VersionText()).c_str(), stdout);
        return 0;
    }
    return std::nullopt;
}
