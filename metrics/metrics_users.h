#pragma once

#include <map>
#include <string>

// Who may read the metrics: the lines "user:<bcrypt hash>" of a file as htpasswd -B writes them ('#' begins
// a comment line). Only bcrypt hashes are taken, so that a password never lies in the file as it was typed
// or under a hash that is cheap to guess.
class TMetricsUsers {
public:
    // Reads the file at path (the platform's file name); raises an Exception "metrics users: path:line: ..."
    // for a line that is not a user with a bcrypt hash, or one "metrics users: ..." for a file it cannot read
    // or that names nobody.
    static TMetricsUsers FromFile(const std::string& path);
    // The same from the file's text; path only names it in the messages.
    static TMetricsUsers FromText(const std::string& path, const std::string& text);

    // Safe from any thread: the exposer's workers ask at once.
    bool Accepts(const std::string& user, const std::string& password) const;

private:
    std::map<std::string, std::string> m_hashes; // user -> bcrypt hash
};
