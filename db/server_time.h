#pragma once

#include "core/date_time.h"

class TFbBaseDatabase;

// The server's current date and time in our time zone, read in the connection's internal transaction; raises on
// failure. Firebird 4 and later tell their UTC time, whatever their session's zone; Firebird 3 tells only its
// local time, which is taken to be in our zone. Needs the attachment's server version read first.
TDateTime ReadServerTime(TFbBaseDatabase& database);
