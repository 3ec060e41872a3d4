#pragma once
// What a result column is: its name, ADO type and attributes as the
// driver describes them, and the form its values are read in.

#include <sql.h>

#include "ado/Engine.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcTypeMap.h"

namespace qarn::ado::odbc {

// Describes column `column` (from 1) of the statement's pending result and
// sets `form` to the form its values are read in.
ColumnInfo DescribeColumn(const Statement& stmt, SQLUSMALLINT column, ValueForm& form, const DriverHabits& habits);

}  // namespace qarn::ado::odbc
