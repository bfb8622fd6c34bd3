#pragma once

#include "app/option_table.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The program's command line, read by the table of its options (app/option_table.h): an option with a value
// name takes one, as "--name value" or "--name=value", and is read with IsSet() and Value() or Number().
// Arguments with one dash are left to Qt in the window (-platform, -style and the like, with their values);
// other words, and our own options spelt with one dash, are refused.
class Exception;

class TCommandLine {
public:
    // argv[0] names the program in the texts.
    explicit TCommandLine(const std::vector<std::string>& arguments,
                          const std::vector<TOption>& options = OptionTable());

    // Empty when the arguments were understood; else what is wrong, in one line.
    const std::string& Error() const { return m_error; }
    bool IsSet(const std::string& name) const { return m_values.count(name) > 0; }
    std::string Value(const std::string& name) const;
    bool IsSet(const TOption& option) const { return IsSet(option.Name); }
    std::string Value(const TOption& option) const { return Value(option.Name); }
    // The value given, else the option's default text.
    std::string Text(const TOption& option) const;
    // A whole number's value, else its default; raises an Exception for a value out of its range.
    int32_t Number(const TOption& option) const;

    // Takes the values of a settings file (the text of the file named path, UTF-8): one "name = value" a
    // line, the names of the options without their dashes, "#" beginning a comment line. An option already
    // given keeps its value: the command line wins over the file. Raises an Exception "path:line: ..." for a
    // line that is not understood, an unknown option or one a file cannot give (a password never).
    void TakeFileValues(const std::string& path, const std::string& text);
    // Where the value of an option came from: "path:line" for a file's, empty for the command line's.
    std::string Origin(const std::string& name) const;
    std::string Origin(const TOption& option) const { return Origin(option.Name); }

    std::string HelpText() const;
    std::string VersionText() const;

    // Answers --help, --version and a bad command line on the standard streams and returns the exit code;
    // nothing when the program should go on (to its window, or to a run without one).
    std::optional<int> Respond() const;
    // Tells what is wrong with the command line (an option it names that cannot be used) on standard error
    // and returns the exit code for it.
    int Refuse(const Exception& error) const;

private:
    int Refuse(const std::string& utf8Error) const;
    const TOption* Find(const std::string& name) const;
    void Parse(const std::vector<std::string>& arguments);
    void TakeFileValue(const std::string& origin, const std::string& line, std::map<std::string, std::string>& taken);
    void CheckLeftToQt(const std::vector<std::string>& arguments);

    std::vector<TOption> m_options;
    std::string m_program;
    std::map<std::string, std::string> m_values;
    std::map<std::string, std::string> m_origins; // of the values a file gave
    std::string m_error;
};
