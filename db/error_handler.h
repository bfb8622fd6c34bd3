#pragma once

#include "core/component.h"

#include <functional>
#include <set>
#include <string>

class EFbError;
class TFbBaseDatabase;

enum TOptionErrorHandler { oeException, oeForeignKey, oeLostConnect, oeCheck, oeUniqueViolation };
using TOptionsErrorHandler = std::set<TOptionErrorHandler>;

enum TKindFbError { keNoError, keException, keForeignKey, keLostConnect, keSecurity, keCheck, keUniqueViolation, keOther };

using TOnFbErrorEvent =
    std::function<void(TComponent* Sender, EFbError& ErrorValue, TKindFbError KindFbError, bool& DoRaise)>;

// Words for rewriting constraint and exception messages; kept for stored settings, nothing here rewrites.
struct TErrorLexems {
    std::string Constraint = "constraint";
    std::string Index = "index";
    std::string Exception = "exception";
    std::string At = "at";
};

// The one error handler of the process: every server error passes it before it is raised. It tells lost
// connections from other errors, makes the connection concerned forget its dead attachment (and, on the
// connection's answer, wait to restore it), and lets the application see or silence the error.
class TFbErrorHandler : public TComponent {
public:
    // Fails with "Instance of TFbErrorHandler already exists" while another handler is registered.
    explicit TFbErrorHandler(TComponent* owner = nullptr, std::string name = {});
    ~TFbErrorHandler() override;

    const TOptionsErrorHandler& Options() const { return m_options; }
    void SetOptions(TOptionsErrorHandler options) { m_options = std::move(options); }
    TErrorLexems& ErrorLexems() { return m_errorLexems; }
    TKindFbError LastErrorKind() const { return m_lastErrorKind; }

    TOnFbErrorEvent OnFbErrorEvent;

    static TKindFbError Classify(int sqlErrorCode, int engineErrorCode);
    // The connection a failing component works on: itself, a query's Database, a transaction's
    // DefaultDatabase or else its first connection; none for anything else.
    static TFbBaseDatabase* ConnectionOf(TComponent* sender);

    void HandleError(TComponent* sender, EFbError& error, bool& doRaise);

private:
    static void NoteWatchdogAbort(EFbError& error, TFbBaseDatabase* connection);
    void HandleLostConnection(EFbError& error, TFbBaseDatabase* connection);

    TOptionsErrorHandler m_options{oeException, oeLostConnect};
    TErrorLexems m_errorLexems;
    TKindFbError m_lastErrorKind = keNoError;
    // Set while a loss is being handled: the forced close of a shut-down database meets further errors of the
    // same loss, which must not start a second close or dispatch.
    bool m_handlingLoss = false;
};
