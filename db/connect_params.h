#pragma once

#include <string>

class TFbBaseDatabase;

// Named views of single "name=value" lines of a connection's DBParams. Writing goes through the connection, so
// it is refused while attached like any other change of the list.
class TConnectParams {
public:
    explicit TConnectParams(TFbBaseDatabase& database) : m_database(database) {}

    std::string UserName() const { return Value("user_name"); }
    void SetUserName(const std::string& value) { SetValue("user_name", value); }
    std::string Password() const { return Value("password"); }
    void SetPassword(const std::string& value) { SetValue("password", value); }
    std::string RoleName() const { return Value("sql_role_name"); }
    void SetRoleName(const std::string& value) { SetValue("sql_role_name", value); }
    std::string CharSet() const { return Value("lc_ctype"); }
    void SetCharSet(const std::string& value); // stored in upper case
    std::string InstanceName() const { return Value("instance_name"); }
    void SetInstanceName(const std::string& value) { SetValue("instance_name", value); }

    // The text after the first "=" of the parameter's line, or empty when there is none.
    std::string Value(const std::string& name) const;
    // Replaces the parameter's line, appends one, or deletes it when the value is empty.
    void SetValue(const std::string& name, const std::string& value);

private:
    int LineIndex(const std::string& name) const;

    TFbBaseDatabase& m_database;
};
