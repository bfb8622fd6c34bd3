#include "db/client_messages.h"

#include <cstddef>
#include <iterator>

namespace {

struct TClientMessage {
    TFbClientErrorCode code;
    const char* pattern;
};

constexpr TClientMessage kClientMessages[] = {
    {ceUnknownError, "Unknown error."},
    {ceUnsupportedFeature, "Unsupported feature."},
    {ceNotPermitted, "Not permitted."},
    {ceTemporaryFileAccessError, "Temporary file access error."},
    {ceConnectionTimedOut, "Database connection timed out."},
    {ceCannotSetDatabase, "Cannot set database."},
    {ceCannotSetTransaction, "Cannot set transaction."},
    {ceOperationCancelled, "Operation cancelled at user's request."},
    {ceDpbConstantUnsupported, "DPB Constant (isc_dpb_%s) is unsupported."},
    {ceDpbConstantUnknown, "DPB Constant (%s) is unknown."},
    {ceTpbConstantUnsupported, "TPB Constant (isc_tpb_%s) is unsupported."},
    {ceTpbConstantUnknown, "TPB Constant (%s) is unknown."},
    {ceDbNotOpen, "%s: Cannot perform operation -- DB is not open."},
    {ceDbOpen, "Cannot perform operation -- DB is currently open."},
    {ceDatabaseNameMissing, "Database name is missing."},
    {ceTransactionNotActive, "%s :Transaction is not active."},
    {ceTransactionActive, "%s :Transaction is active."},
    {ceNegativeTimeout, "Timeout values cannot be negative."},
    {ceNoDatabasesInTransaction, "%s :No databases are listed in transaction component."},
    {ceUpdatingWrongDatabase, "%s :Updating wrong database."},
    {ceUpdatingWrongTransaction, "%s :Updating wrong transaction."},
    {ceDatabaseNotAssigned, "Database not assigned for %s."},
    {ceTransactionNotAssigned, "Transaction not assigned for %s."},
    {ceXsqldaIndexOutOfRange, "XSQLDA index out of range."},
    {ceXsqldaNameDoesNotExist, "XSQLDA name does not exist (%s)."},
    {ceEndOfFile, "End of file."},
    {ceBeginningOfFile, "Beginning of file."},
    {ceInvalidStatementHandle, "%s:Invalid statement handle."},
    {ceDatasetOpen, "Can't %s because %s dataset open."},
    {ceDatasetClosed, "Can't %s because %s dataset closed."},
    {ceUnknownSqlDataType, "Unknown SQL Data type (%d)."},
    {ceInvalidColumnIndex, "Invalid column index (index exceeds permitted range)."},
    {ceInvalidParameterIndex, "Invalid parameter index (index exceeds permitted range)."},
    {ceInvalidDataConversion, "Invalid data conversion."},
    {ceColumnCannotBeNull, "Column cannot be set to null (%s)"},
    {ceBlobCannotBeRead, "Blob stream cannot be read."},
    {ceBlobCannotBeWritten, "Blob stream cannot be written."},
    {ceEmptyQuery, "Can't %s , because  query is empty"},
    {ceCannotOpenNonSelect, "Can't \"open\" a non-select statement. Use ExecQuery."},
    {ceNoFieldAccess, "No access to field \"%s\"."},
    {ceFieldReadOnly, "Field \"%s\" is read-only."},
    {ceFieldNotFound, "Field \"%s\" not found."},
    {ceNotInEditOrInsertMode, "DataSet not in Edit or Insert mode.(%s)"},
    {ceNotEditing, "Not editing."},
    {ceCannotInsert, "Can't insert into dataset. (%s)"},
    {ceCannotPost, "Can't post. (%s) "},
    {ceCannotUpdate, "Can't update. (%s)"},
    {ceCannotDelete, "Can't delete from dataset. (%s)"},
    {ceCannotRefreshRow, "Can't refresh row. (%s)"},
    {ceBufferNotSet, "Buffer not set."},
    {ceCircularReference, "Circular references not permitted.(%s)"},
    {ceSqlParseError, "SQL Parse Error in :%s \r\n\r\n%s"},
    {ceUserAbort, "User abort."},
    {ceUnidirectionalDataset, "Data set is uni-directional."},
    {ceCannotCreateSharedResource, "Cannot create shared resource. (Windows error %d)"},
    {ceWindowsApiError, "Windows API error. (Windows error %d [$%.8x])"},
    {ceColumnListsDoNotMatch, "Column lists do not match."},
    {ceColumnTypesDoNotMatch, "Column types don't match. (From index: %d, To index: %d)"},
    {ceCannotEndSharedTransaction,
     "Can't end a shared transaction unless it is forced and equal to the transaction's TimeoutAction."},
    {ceNotArrayField, "Column types \"%s\" is not array field"},
    {ceDimensionDoesNotExist, "Dimension %d don't exist in \"%s\" "},
    {ceInvalidSqlDialect, "SQL Dialect invalid"},
    {ceInterBaseLibraryNotFound,
     "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality"},
    {ceInterBase6Function,
     "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality"},
    {ceInterBaseInstallDllNotFound,
     "InterBase Install DLL ibinstall.dll not found in the path. Please install InterBase 6 to use this "
     "functionality"},
    {ceServiceNotAttached, "Cannot perform operation -- service is not attached"},
    {ceServiceAttached, "Cannot perform operation -- service is attached"},
    {ceServerNameMissing, "Server Name Missing"},
    {ceQueryParametersIncorrect, "Query Parameters missing or incorrect"},
    {ceStartParametersIncorrect, "Start Parameters missing or incorrect"},
    {ceUnexpectedOutputBufferValue, "Unexpected Output buffer value"},
    {ceGenericServiceStartNotApplicable,
     "Generic ServiceStart not applicable: Use Specific Procedures to set configuration params"},
    {ceSpbConstantUnsupported, "SPB Constant Not supported"},
    {ceSpbConstantUnknown, "SPB Constant Unknown"},
    {ceFieldSizeTooSmall, "Field Size too small. Field %s.%s"},
    {ceRecordCacheLimited,
     "The dataset keeps a limited cache of records.\r\n"
     "This operation needs every record in the cache:\r\n"
     "switch the limited cache off first."},
    {ceFieldListEmpty, "Error in %s. FieldList is empty."},
    {ceCannotUseField, "%s can't use field \"%s\""},
    {ceFirebird2Function,
     "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality"},
};

// The table is looked up by number: every entry must stand at its own code's index, with none left out.
constexpr bool EveryEntryAtItsCode() {
    for (size_t index = 0; index < std::size(kClientMessages); ++index)
        if (kClientMessages[index].code != static_cast<int>(index))
            return false;
    return true;
}
static_assert(std::size(kClientMessages) == kClientMessageCount, "one message for every client error code");
static_assert(EveryEntryAtItsCode(), "the messages are in the order of their codes");

} // namespace

const char* ClientErrorMessage(int number) {
    const int index = number % 128;
    if (index < 0 || index >= kClientMessageCount)
        return kClientMessages[ceUnknownError].pattern;
    return kClientMessages[index].pattern;
}
