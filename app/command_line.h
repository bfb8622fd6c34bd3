#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// The program's options. Every option is one row of a table: a later option gets a row there (with a value
// name when it takes a value, as "--name value" or "--name=value") and is read with IsSet() and Value().
// Arguments with one dash are left to Qt in the window (-platform, -style and the like, with their values);
// other words, and our own options spelt with one dash, are refused.
class TCommandLine {
public:
    struct TOption {
        std::string Name;      // without the leading "--"
        std::string ValueName; // empty for an option that takes no value
        std::string Help;
        std::string Requires = {}; // an option that works only together with this one; empty when none
    };
    static const std::vector<TOption>& Options();

    // argv[0] names the program in the texts.
    explicit TCommandLine(const std::vector<std::string>& arguments,
                          const std::vector<TOption>& options = Options());

    // Empty when the arguments were understood; else what is wrong, in one line.
    const std::string& Error() const { return m_error; }
    bool IsSet(const std::string& name) const { return m_values.count(name) > 0; }
    std::string Value(const std::string& name) const;

    // Takes the values of a settings file (the text of the file named path, UTF-8): one "name = value" a
    // line, the names of the options without their dashes, "#" beginning a comment line. An option already
    // given keeps its value: the command line wins over the file. Raises an Exception "path:line: ..." for a
    // line that is not understood, an unknown option or one a file cannot give (a password never).
    void TakeFileValues(const std::string& path, const std::string& text);
    // Where the value of an option came from: "path:line" for a file's, empty for the command line's.
    std::string Origin(const std::string& name) const;

    std::string HelpText() const;
    std::string VersionText() const;

    // Answers --help, --version and a bad command line on the standard streams and returns the exit code;
    // nothing when the program should go on (to its window, or to a run without one).
    std::optional<int> Respond() const;
    // Tells what is wrong with the command line on standard error and returns the exit code for it.
    int Refuse(const std::string& error) const;

private:
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
