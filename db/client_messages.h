#pragma once

// The numbered messages of the access layer's own checks, as printf patterns.
constexpr int kClientMessageCount = 79;

// The pattern for a client error number taken modulo 128; a number without an entry gets "Unknown error.".
const char* ClientErrorMessage(int number);
