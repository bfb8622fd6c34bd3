#pragma once

#include <functional>
#include <optional>
#include <string>

// How a command ended: whether an error escaped it, and what the user is to be told of it (nothing for the
// silent EAbort). Errors that are not ours (bad_alloc and the like) are caught too: a command runs inside an
// event handler, which must not let them loose.
struct TEscapedError {
    bool failed = false;
    std::optional<std::string> message;
};

TEscapedError CatchEscapedError(const std::function<void()>& command);
