#pragma once

#include <cstdint>

class TFbDatabase;
class TFbErrorHandler;
class TFbQuery;
class TFbTransaction;

// How the tester sets up its connection, transaction, query and error handler; the run, the tests and the
// benchmarks all take them from here, so that what they measure and check is the tester's own set-up.

// After a lost connection the connection tries to attach again this often.
inline constexpr uint32_t kRestoreConnectPeriodMs = 5000;
// No client call may hold the run longer than this (a hung server, a black-holed link).
inline constexpr uint32_t kCallTimeoutMs = 30000;

// FDB: WIN1251, dialect 1, no idle timeout, re-attaching every kRestoreConnectPeriodMs, calls bounded by
// kCallTimeoutMs, TRO as its default transaction. TRO: read-only, no wait, read committed with record
// versions, rolled back when it times out. qry1: on FDB and TRO, starting TRO by itself, the default statement.
// The events stay the caller's; the user name and password come after (they live in the database
// parameters, which this replaces).
void SetUpTesterComponents(TFbDatabase& FDB, TFbTransaction& TRO, TFbQuery& qry1);
// ErrorHandler1 looks for lost connections only.
void SetUpTesterErrorHandler(TFbErrorHandler& ErrorHandler1);
