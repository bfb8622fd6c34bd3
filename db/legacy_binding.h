#pragma once

#include <string>

// The parameter buffer for an attach, with the item that asks Firebird 4 and later to hand over its newer types
// (TIMESTAMP and TIME WITH TIME ZONE, INT128 and the NUMERIC/DECIMAL built on it, DECFLOAT) as the types a 3.0
// client knows (TIMESTAMP, TIME, BIGINT, DOUBLE PRECISION): that client refuses the newer ones when it prepares
// the statement. Firebird 3 skips the item, so a buffer for it means the same as without.
std::string WithLegacyBinding(std::string paramBuffer);

// The binding the item asks for, as Firebird's SET BIND statements name it.
inline constexpr const char* kLegacyBinding = "time zone to legacy; int128 to legacy; decfloat to legacy";
