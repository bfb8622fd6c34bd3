#include "db/param_buffers.h"

#include "core/convert.h"
#include "core/exceptions.h"
#include "db/errors.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace {

// A name's 1-based position is its isc_dpb_ code.
constexpr std::array<std::string_view, 83> DatabaseParamNames = {
    "cdd_pathname", "allocation", "journal", "page_size", "num_buffers", "buffer_length", "debug",
    "garbage_collect", "verify", "sweep", "enable_journal", "disable_journal", "dbkey_scope",
    "number_of_users", "trace", "no_garbage_collect", "damaged", "license", "sys_user_name", "encrypt_key",
    "activate_shadow", "sweep_interval", "delete_shadow", "force_write", "begin_log", "quit_log", "no_reserve",
    "user_name", "password", "password_enc", "sys_user_name_enc", "interp", "online_dump", "old_file_size",
    "old_num_files", "old_file", "old_start_page", "old_start_seqno", "old_start_file", "drop_walfile",
    "old_dump_id", "wal_backup_dir", "wal_chkptlen", "wal_numbufs", "wal_bufsize", "wal_grp_cmt_wait",
    "lc_messages", "lc_ctype", "cache_manager", "shutdown", "online", "shutdown_delay", "reserved", "overwrite",
    "sec_attach", "disable_wal", "connect_timeout", "dummy_packet_interval", "gbak_attach", "sql_role_name",
    "set_page_buffers", "working_directory", "sql_dialect", "set_db_readonly", "set_db_sql_dialect",
    "gfix_attach", "gstat_attach", "gbak_ods_version", "gbak_ods_minor_version", "set_group_commit",
    "gbak_validate", "client_interbase_var", "admin_option", "flush_interval", "instance_name", "old_overwrite",
    "archive_database", "archive_journals", "archive_sweep", "archive_dumps", "archive_recover", "recover_until",
    "force"};

// A name's 1-based position is its isc_tpb_ code.
constexpr std::array<std::string_view, 21> TransactionParamNames = {
    "consistency", "concurrency", "shared", "protected", "exclusive", "wait", "nowait", "read", "write",
    "lock_read", "lock_write", "verb_time", "commit_time", "ignore_limbo", "read_committed", "autocommit",
    "rec_version", "no_rec_version", "restart_requests", "no_auto_undo", "no_savepoint"};

int CodeOf(std::span<const std::string_view> names, const std::string& name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<int>(i) + 1;
    return 0;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && IsBlankOrControl(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

struct TParamLine {
    std::string name; // lower case, without the "isc_dpb_"/"isc_tpb_" prefix
    std::string value;
};

TParamLine SplitLine(const std::string& line, std::string_view prefix) {
    const size_t equals = line.find('=');
    TParamLine result;
    result.name = line.substr(0, equals);
    if (equals != std::string::npos)
        result.value = line.substr(equals + 1);
    for (char& c : result.name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (result.name.starts_with(prefix))
        result.name.erase(0, prefix.size());
    return result;
}

// A counted value: one length byte, then the bytes. A longer value cannot be counted in one byte; sending it
// anyway would make the server read the rest of the buffer as garbage, so it is refused.
void AppendCounted(std::string& buffer, const TParamLine& line) {
    if (line.value.size() > 255)
        throw Exception(FormatText("Parameter %s: the value is longer than 255 bytes", line.name.c_str()));
    buffer += static_cast<char>(line.value.size());
    buffer += line.value;
}

void AppendDatabaseItem(std::string& buffer, int code, const TParamLine& line) {
    switch (code) {
    case 18: case 19: case 20: case 28: case 29: case 30: case 36: case 47: case 48: case 60: case 75:
        buffer += static_cast<char>(code);
        AppendCounted(buffer, line);
        return;
    case 63: { // sql_dialect: the digit's value, not its character
        if (line.value.empty() || line.value[0] < '0' || line.value[0] > '9')
            throw EConvertError::InvalidInteger(line.value);
        TParamLine digit = line;
        digit.value[0] = static_cast<char>(line.value[0] - '0');
        buffer += static_cast<char>(code);
        AppendCounted(buffer, digit);
        return;
    }
    case 5: case 9: case 13: case 17: case 24: case 27: case 33: case 34: case 54: case 57: case 58:
        buffer += {static_cast<char>(code), 1, static_cast<char>(StrToInt(line.value) & 0xFF)};
        return;
    case 8: case 16: case 21: case 23: case 25: case 26:
        buffer += {static_cast<char>(code), 1, 0};
        return;
    case 10:
        buffer += {static_cast<char>(code), 1, 2};
        return;
    case 22: {
        const auto value = static_cast<uint32_t>(StrToInt(line.value));
        buffer += {static_cast<char>(code), 4};
        for (int shift = 0; shift < 32; shift += 8)
            buffer += static_cast<char>((value >> shift) & 0xFF);
        return;
    }
    default:
        RaiseClientError(ceDpbConstantUnsupported, DatabaseParamNames[code - 1].data());
    }
}

void AppendTransactionItem(std::string& buffer, int code, const TParamLine& line) {
    switch (code) {
    case 12: case 13: case 16: case 19:
        RaiseClientError(ceTpbConstantUnsupported, TransactionParamNames[code - 1].data());
    case 10: case 11:
        buffer += static_cast<char>(code);
        AppendCounted(buffer, line);
        return;
    default:
        buffer += static_cast<char>(code);
    }
}

// What tells one kind of parameter buffer from the other.
struct TParamBufferKind {
    char version;
    std::string_view prefix;
    std::span<const std::string_view> names;
    TFbClientErrorCode unknownName;
    void (*appendItem)(std::string& buffer, int code, const TParamLine& line);
};

constexpr TParamBufferKind DatabaseParams = {1, "isc_dpb_", DatabaseParamNames, ceDpbConstantUnknown,
                                             AppendDatabaseItem}; // isc_dpb_version1
constexpr TParamBufferKind TransactionParams = {3, "isc_tpb_", TransactionParamNames, ceTpbConstantUnknown,
                                                AppendTransactionItem}; // isc_tpb_version3

std::string BuildParamBuffer(std::vector<std::string>& lines, const TParamBufferKind& kind) {
    std::string buffer(1, kind.version);
    for (std::string& line : lines) {
        line = Trimmed(line);
        if (line.empty())
            continue;
        const TParamLine param = SplitLine(line, kind.prefix);
        const int code = CodeOf(kind.names, param.name);
        if (code == 0)
            RaiseClientError(kind.unknownName, param.name.c_str());
        kind.appendItem(buffer, code, param);
    }
    return buffer;
}

} // namespace

std::string BuildDatabaseParamBuffer(std::vector<std::string>& lines) {
    return BuildParamBuffer(lines, DatabaseParams);
}

// No lines at all ask for the server's default transaction, which an empty buffer gives.
std::string BuildTransactionParamBuffer(std::vector<std::string>& lines) {
    return lines.empty() ? std::string() : BuildParamBuffer(lines, TransactionParams);
}
