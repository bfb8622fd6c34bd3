#pragma once

#include <functional>
#include <optional>
#include <string>

class Exception;

// How a command ended: whether an error escaped it, and what the user is to be told of it (nothing for the
// silent EAbort). Errors that are not ours (bad_alloc and the like) are caught too: a command runs inside an
// event handler, which must not let them loose.
struct TEscapedError {
    bool failed = false;
    // In the code page, as every message of the system.
    std::optional<std::string> message;
    // The same in UTF-8 when it quotes what the code page lacks (a file name), else empty.
    std::string utf8Message;
};

TEscapedError CatchEscapedError(const std::function<void()>& command);
// What the user is told of an error that was caught where it arose (a journal's failure).
TEscapedError EscapedErrorOf(const Exception& error);
