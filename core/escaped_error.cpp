#include "core/escaped_error.h"

#include "core/exceptions.h"

TEscapedError CatchEscapedError(const std::function<void()>& command) {
    try {
        command();
        return {};
    } catch (const EAbort&) {
        return {true, std::nullopt, {}};
    } catch (const Exception& error) {
        return EscapedErrorOf(error);
    } catch (const std::exception& error) {
        return {true, std::string(error.what()), {}};
    }
}

TEscapedError EscapedErrorOf(const Exception& error) {
    return {true, error.Message(), error.Utf8Message()};
}
