#pragma once

#include "core/exceptions.h"
#include "db/errors.h"

#include <functional>
#include <string>
#include <utility>

// The client error a call raises, as number and message; {-1, "no error"} when it raises none.
inline std::pair<int, std::string> ClientErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EFbClientError& error) {
        return {error.SqlErrorCode(), error.Message()};
    }
    return {-1, "no error"};
}

// The message of whatever error of the common base a call raises; "no error" when it raises none.
inline std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "no error";
}
