#pragma once

#include "core/date_time.h"

class TFbBaseDatabase;

// The server's current date and time, read in the connection's internal transaction; raises on failure.
TDateTime ReadServerTime(TFbBaseDatabase& database);
