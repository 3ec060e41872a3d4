#pragma once
// How a driver wants its values, where it departs from the rule; the
// connection finds out which driver it talks to and every reader and
// binder follows these.

#include <cstddef>

namespace qarn::ado::odbc {

struct DriverHabits {
    // MariaDB Connector/ODBC (3.1) cuts a text at its first NUL character
    // when it converts it to UTF-16, and writes UTF-8 into UTF-16 output
    // buffers: text travels as the connection's UTF-8, which is read whole.
    bool utf8Text = false;
    // MariaDB (3.1.15) gives a zero date as NULL through the time struct,
    // refuses a fraction in a time parameter (22008) and leaves its own
    // time struct in a timestamp output buffer: dates and times travel as
    // text.
    bool datesAsText = false;
    // Most rows a block fetch reads, or below 2 for one row at a time; a
    // block holds a divisor of this.
    size_t blockRows = 0;
    // SQLSetPos and SQLGetData read any column of a block's row.  MariaDB
    // (3.1.15) says so but reads the block's first row again, or nothing.
    bool positionedReads = false;
};

}  // namespace qarn::ado::odbc
