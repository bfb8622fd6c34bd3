#pragma once

#include <ibase.h>

#include <memory>
#include <string>

// Entry points of the InterBase-only batch calls; libfbclient does not declare them.
using ISC_BATCH_ULONG = unsigned long;

// Every client function the binding passes through, in the interface's slot order:
// X(result, name, (parameters), (arguments)).
#define QV_CLIENT_FUNCTIONS(X)                                                                                       \
    X(ISC_STATUS, isc_attach_database,                                                                               \
      (ISC_STATUS* status, short nameLength, const ISC_SCHAR* name, isc_db_handle* db, short dpbLength,            \
       const ISC_SCHAR* dpb),                                                                                        \
      (status, nameLength, name, db, dpbLength, dpb))                                                                \
    X(ISC_STATUS, isc_array_get_slice,                                                                               \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* arrayId, const ISC_ARRAY_DESC* desc,    \
       void* slice, ISC_LONG* sliceLength),                                                                          \
      (status, db, tr, arrayId, desc, slice, sliceLength))                                                           \
    X(ISC_STATUS, isc_array_lookup_bounds,                                                                           \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column,  \
       ISC_ARRAY_DESC* desc),                                                                                        \
      (status, db, tr, table, column, desc))                                                                         \
    X(ISC_STATUS, isc_array_lookup_desc,                                                                             \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column,  \
       ISC_ARRAY_DESC* desc),                                                                                        \
      (status, db, tr, table, column, desc))                                                                         \
    X(ISC_STATUS, isc_array_set_desc,                                                                                \
      (ISC_STATUS* status, const ISC_SCHAR* table, const ISC_SCHAR* column, const short* sqlDtype,                 \
       const short* sqlLength, const short* dimensions, ISC_ARRAY_DESC* desc),                                       \
      (status, table, column, sqlDtype, sqlLength, dimensions, desc))                                                \
    X(ISC_STATUS, isc_array_put_slice,                                                                               \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* arrayId, const ISC_ARRAY_DESC* desc,    \
       void* slice, ISC_LONG* sliceLength),                                                                          \
      (status, db, tr, arrayId, desc, slice, sliceLength))                                                           \
    X(ISC_STATUS, isc_blob_info,                                                                                     \
      (ISC_STATUS* status, isc_blob_handle* blob, short itemsLength, const ISC_SCHAR* items, short bufferLength,   \
       ISC_SCHAR* buffer),                                                                                           \
      (status, blob, itemsLength, items, bufferLength, buffer))                                                      \
    X(ISC_STATUS, isc_blob_lookup_desc,                                                                              \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_UCHAR* table, const ISC_UCHAR* column,  \
       ISC_BLOB_DESC* desc, ISC_UCHAR* global),                                                                      \
      (status, db, tr, table, column, desc, global))                                                                 \
    X(ISC_STATUS, isc_blob_set_desc,                                                                                 \
      (ISC_STATUS* status, const ISC_UCHAR* table, const ISC_UCHAR* column, short subtype, short charset,          \
       short segmentSize, ISC_BLOB_DESC* desc),                                                                      \
      (status, table, column, subtype, charset, segmentSize, desc))                                                  \
    X(ISC_STATUS, isc_cancel_blob, (ISC_STATUS* status, isc_blob_handle* blob), (status, blob))                     \
    X(ISC_STATUS, isc_cancel_events, (ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId),                   \
      (status, db, eventId))                                                                                         \
    X(ISC_STATUS, isc_que_events,                                                                                    \
      (ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId, short length, const ISC_UCHAR* events,            \
       ISC_EVENT_CALLBACK callback, void* argument),                                                                 \
      (status, db, eventId, length, events, callback, argument))                                                     \
    X(ISC_STATUS, isc_wait_for_event,                                                                                \
      (ISC_STATUS* status, isc_db_handle* db, short length, const ISC_UCHAR* events, ISC_UCHAR* buffer),           \
      (status, db, length, events, buffer))                                                                          \
    X(ISC_STATUS, isc_close_blob, (ISC_STATUS* status, isc_blob_handle* blob), (status, blob))                      \
    X(ISC_STATUS, isc_create_blob2,                                                                                  \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob, ISC_QUAD* blobId,          \
       short bpbLength, const ISC_SCHAR* bpb),                                                                       \
      (status, db, tr, blob, blobId, bpbLength, bpb))                                                                \
    X(ISC_STATUS, isc_commit_retaining, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))                      \
    X(ISC_STATUS, isc_commit_transaction, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))                    \
    X(ISC_STATUS, isc_transaction_info,                                                                              \
      (ISC_STATUS* status, isc_tr_handle* tr, short itemsLength, const ISC_SCHAR* items, short bufferLength,       \
       ISC_SCHAR* buffer),                                                                                           \
      (status, tr, itemsLength, items, bufferLength, buffer))                                                        \
    X(ISC_STATUS, isc_database_info,                                                                                 \
      (ISC_STATUS* status, isc_db_handle* db, short itemsLength, const ISC_SCHAR* items, short bufferLength,       \
       ISC_SCHAR* buffer),                                                                                           \
      (status, db, itemsLength, items, bufferLength, buffer))                                                        \
    X(void, isc_decode_date, (const ISC_QUAD* date, void* tm), (date, tm))                                          \
    X(void, isc_decode_sql_date, (const ISC_DATE* date, void* tm), (date, tm))                                      \
    X(void, isc_decode_sql_time, (const ISC_TIME* time, void* tm), (time, tm))                                      \
    X(void, isc_decode_timestamp, (const ISC_TIMESTAMP* timestamp, void* tm), (timestamp, tm))                      \
    X(ISC_STATUS, isc_detach_database, (ISC_STATUS* status, isc_db_handle* db), (status, db))                       \
    X(ISC_STATUS, isc_drop_database, (ISC_STATUS* status, isc_db_handle* db), (status, db))                         \
    X(ISC_STATUS, isc_dsql_alloc_statement2, (ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* stmt),       \
      (status, db, stmt))                                                                                            \
    X(ISC_STATUS, isc_dsql_describe,                                                                                 \
      (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short daVersion, XSQLDA* sqlda),                        \
      (status, stmt, daVersion, sqlda))                                                                              \
    X(ISC_STATUS, isc_dsql_describe_bind,                                                                            \
      (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short daVersion, XSQLDA* sqlda),                        \
      (status, stmt, daVersion, sqlda))                                                                              \
    X(ISC_STATUS, isc_dsql_execute,                                                                                  \
      (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* inDa),  \
      (status, tr, stmt, dialect, inDa))                                                                             \
    X(ISC_STATUS, isc_dsql_execute2,                                                                                 \
      (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* inDa,   \
       const XSQLDA* outDa),                                                                                         \
      (status, tr, stmt, dialect, inDa, outDa))                                                                      \
    X(ISC_STATUS, isc_dsql_execute_immediate,                                                                        \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, unsigned short length, const ISC_SCHAR* sql,      \
       unsigned short dialect, const XSQLDA* inDa),                                                                  \
      (status, db, tr, length, sql, dialect, inDa))                                                                  \
    X(ISC_STATUS, isc_dsql_exec_immed2,                                                                              \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, unsigned short length, const ISC_SCHAR* sql,      \
       unsigned short dialect, const XSQLDA* inDa, const XSQLDA* outDa),                                             \
      (status, db, tr, length, sql, dialect, inDa, outDa))                                                           \
    X(ISC_STATUS, isc_dsql_fetch,                                                                                    \
      (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short daVersion, const XSQLDA* outDa),                  \
      (status, stmt, daVersion, outDa))                                                                              \
    X(ISC_STATUS, isc_dsql_free_statement, (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short option),     \
      (status, stmt, option))                                                                                        \
    X(ISC_STATUS, isc_dsql_prepare,                                                                                  \
      (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short length, const ISC_SCHAR* sql,  \
       unsigned short dialect, XSQLDA* outDa),                                                                       \
      (status, tr, stmt, length, sql, dialect, outDa))                                                               \
    X(ISC_STATUS, isc_dsql_set_cursor_name,                                                                          \
      (ISC_STATUS* status, isc_stmt_handle* stmt, const ISC_SCHAR* cursorName, unsigned short type),               \
      (status, stmt, cursorName, type))                                                                              \
    X(ISC_STATUS, isc_dsql_sql_info,                                                                                 \
      (ISC_STATUS* status, isc_stmt_handle* stmt, short itemsLength, const ISC_SCHAR* items, short bufferLength,   \
       ISC_SCHAR* buffer),                                                                                           \
      (status, stmt, itemsLength, items, bufferLength, buffer))                                                      \
    X(void, isc_encode_date, (const void* tm, ISC_QUAD* date), (tm, date))                                          \
    X(void, isc_encode_sql_date, (const void* tm, ISC_DATE* date), (tm, date))                                      \
    X(void, isc_encode_sql_time, (const void* tm, ISC_TIME* time), (tm, time))                                      \
    X(void, isc_encode_timestamp, (const void* tm, ISC_TIMESTAMP* timestamp), (tm, timestamp))                      \
    X(ISC_LONG, isc_event_block,                                                                                     \
      (ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, const char* const* names),             \
      (eventBuffer, resultBuffer, count, names))                                                                     \
    X(void, isc_event_counts,                                                                                        \
      (ISC_ULONG* counts, short bufferLength, ISC_UCHAR* eventBuffer, const ISC_UCHAR* resultBuffer),              \
      (counts, bufferLength, eventBuffer, resultBuffer))                                                             \
    X(ISC_LONG, isc_free, (ISC_SCHAR* block), (block))                                                              \
    X(ISC_STATUS, isc_get_segment,                                                                                   \
      (ISC_STATUS* status, isc_blob_handle* blob, unsigned short* actualLength, unsigned short bufferLength,        \
       ISC_SCHAR* buffer),                                                                                           \
      (status, blob, actualLength, bufferLength, buffer))                                                            \
    X(ISC_STATUS, isc_put_segment,                                                                                   \
      (ISC_STATUS* status, isc_blob_handle* blob, unsigned short length, const ISC_SCHAR* buffer),                 \
      (status, blob, length, buffer))                                                                                \
    X(ISC_LONG, isc_interprete, (ISC_SCHAR* buffer, ISC_STATUS** statusPointer), (buffer, statusPointer))           \
    X(ISC_STATUS, isc_open_blob2,                                                                                    \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob, ISC_QUAD* blobId,          \
       ISC_USHORT bpbLength, const ISC_UCHAR* bpb),                                                                  \
      (status, db, tr, blob, blobId, bpbLength, bpb))                                                                \
    X(ISC_STATUS, isc_prepare_transaction2,                                                                          \
      (ISC_STATUS* status, isc_tr_handle* tr, ISC_USHORT messageLength, const ISC_UCHAR* message),                 \
      (status, tr, messageLength, message))                                                                          \
    X(ISC_STATUS, isc_rollback_retaining, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))                    \
    X(ISC_STATUS, isc_rollback_transaction, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))                  \
    X(ISC_STATUS, isc_start_multiple, (ISC_STATUS* status, isc_tr_handle* tr, short count, void* teb),             \
      (status, tr, count, teb))                                                                                      \
    X(ISC_LONG, isc_sqlcode, (const ISC_STATUS* status), (status))                                                   \
    X(void, isc_sql_interprete, (short sqlCode, ISC_SCHAR* buffer, short bufferLength),                             \
      (sqlCode, buffer, bufferLength))                                                                               \
    X(ISC_LONG, isc_vax_integer, (const ISC_SCHAR* bytes, short length), (bytes, length))                            \
    X(ISC_STATUS, isc_add_user, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user))                    \
    X(ISC_STATUS, isc_delete_user, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user))                 \
    X(ISC_STATUS, isc_modify_user, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user))                 \
    X(ISC_STATUS, isc_prepare_transaction, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))                   \
    X(int, BLOB_put, (ISC_SCHAR character, FB_BLOB_STREAM stream), (character, stream))                              \
    X(int, BLOB_get, (FB_BLOB_STREAM stream), (stream))                                                              \
    X(ISC_STATUS, isc_dsql_batch_execute_immed,                                                                      \
      (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, unsigned short dialect,                           \
       ISC_BATCH_ULONG statementCount, char** statements, ISC_BATCH_ULONG* rowsAffected),                            \
      (status, db, tr, dialect, statementCount, statements, rowsAffected))                                           \
    X(ISC_STATUS, isc_dsql_batch_execute,                                                                            \
      (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect, XSQLDA* inDa,         \
       unsigned short rowCount, XSQLVAR** batchVars, ISC_BATCH_ULONG* rowsAffected),                                 \
      (status, tr, stmt, dialect, inDa, rowCount, batchVars, rowsAffected))                                          \
    X(ISC_STATUS, isc_service_attach,                                                                                \
      (ISC_STATUS* status, unsigned short nameLength, const ISC_SCHAR* name, isc_svc_handle* service,              \
       unsigned short spbLength, const ISC_SCHAR* spb),                                                              \
      (status, nameLength, name, service, spbLength, spb))                                                           \
    X(ISC_STATUS, isc_service_detach, (ISC_STATUS* status, isc_svc_handle* service), (status, service))             \
    X(ISC_STATUS, isc_service_query,                                                                                 \
      (ISC_STATUS* status, isc_svc_handle* service, isc_resv_handle* reserved, unsigned short sendLength,          \
       const ISC_SCHAR* send, unsigned short requestLength, const ISC_SCHAR* request, unsigned short bufferLength,   \
       ISC_SCHAR* buffer),                                                                                           \
      (status, service, reserved, sendLength, send, requestLength, request, bufferLength, buffer))                   \
    X(ISC_STATUS, isc_service_start,                                                                                 \
      (ISC_STATUS* status, isc_svc_handle* service, isc_resv_handle* reserved, unsigned short spbLength,           \
       const ISC_SCHAR* spb),                                                                                        \
      (status, service, reserved, spbLength, spb))                                                                   \
    X(void, isc_get_client_version, (ISC_SCHAR* buffer), (buffer))                                                  \
    X(int, isc_get_client_major_version, (), ())                                                                     \
    X(int, isc_get_client_minor_version, (), ())                                                                     \
    X(ISC_INT64, isc_portable_integer, (const ISC_UCHAR* bytes, short length), (bytes, length))

// Entry points resolved when present and never required.
#define QV_OPTIONAL_CLIENT_FUNCTIONS(X)                                                                              \
    X(ISC_STATUS, fb_cancel_operation, (ISC_STATUS* status, isc_db_handle* db, ISC_USHORT option),                 \
      (status, db, option))

// One binding of the Firebird client library, shared by every connection that names the same library. Each
// pass-through method calls the library's entry point with the same arguments and returns its result; an
// entry point the library lacks raises "Can't find procedure %s in %s" before any call is made.
// isc_event_block takes its event names as an array (at most 15, the client's own limit) instead of varargs.
// fb_cancel_operation comes after Unload: it is optional on every client generation, see HasCancelOperation().
class IFbClientLibrary {
public:
    virtual ~IFbClientLibrary() = default;

    virtual const std::string& LibraryName() const = 0;
    virtual int32_t ClientMajorVersion() const = 0;
    virtual int32_t ClientMinorVersion() const = 0;

#define QV_DECLARE_CLIENT_FUNCTION(result, name, parameters, arguments) virtual result name parameters = 0;
    QV_CLIENT_FUNCTIONS(QV_DECLARE_CLIENT_FUNCTION)

    virtual void Unload() = 0;

    QV_OPTIONAL_CLIENT_FUNCTIONS(QV_DECLARE_CLIENT_FUNCTION)
#undef QV_DECLARE_CLIENT_FUNCTION

    // Whether the library exports fb_cancel_operation (Firebird 2.5 and later).
    virtual bool HasCancelOperation() const = 0;
};

using IFbClientLibraryPtr = std::shared_ptr<IFbClientLibrary>;

// The registered binding of this exact name (case significant), loaded and registered on first request.
// Raises the loading failures; nothing is registered then, so the next request tries again.
IFbClientLibraryPtr AcquireClientLibrary(const std::string& libraryName);

// Registers a binding under its LibraryName(), for a connection to acquire by that name (tests wrap the real
// binding this way). Raises when the name is already registered.
void RegisterClientLibrary(IFbClientLibraryPtr library);

// The calling thread's status vector: 20 values, all zero when the thread starts.
constexpr int kStatusVectorLength = 20;
ISC_STATUS* ThreadStatusVector();

// The file the loader opens for a library name: the connection's default "gds32.dll" is the Firebird client
// of this platform; every other name is opened exactly as given.
std::string ClientLibraryFileName(const std::string& libraryName);
