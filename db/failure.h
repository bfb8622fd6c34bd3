#pragma once

#include "core/failure_cause.h"

class Exception;

// What a failed cycle or attach means: its cause from the status vector's codes (never from the texts,
// which follow the client's language) and its reason, the engine's most specific line.
TFailure FailureOf(const Exception& error);
