#pragma once
// The ODBC engine, on unixODBC's C API: plain ODBC connection strings
// (Driver=..., DSN=..., Provider=MSDASQL), SQL Server through FreeTDS,
// Access files through MDBTools, and PostgreSQL (psqlodbc) and MariaDB
// (Connector/ODBC 3.1) when they are reached by an ODBC string.
//
// What OpenOdbc's connection promises:
//
// Errors.  Every failure of the driver raises a provider error (AdoError,
// err::ProviderFailure) carrying every diagnostic record of the handle, in
// order, with its SQLSTATE and native number; a call that failed without a
// record still raises, naming the call.  A batch (ExecuteBatch) raises the
// failures of every statement it reached.  Nothing reports success for work
// that did not happen, and no handle outlives its owner on any error path.
//
// Streaming.  A cursor reads its rows as the driver delivers them: with
// psqlodbc's UseDeclareFetch the server's cursor is read a block at a time,
// and a failure at row N (1 / 0 in row N) surfaces at the fetch that reaches
// it, never at Execute; the rows before it are delivered.  The last fetch
// and Close free the statement, which gives the server its cursor back; a
// cursor keeps its connection alive, and closing the connection ends the
// cursors still open on it.  Where the driver can, rows are read a block at
// a time into bound arrays (OdbcRowBlocks.h), with the same values and the
// same failures as one at a time.
//
// Values.  Each column is read in the C form its ODBC type calls for
// (OdbcTypeMap.h) and becomes the Variant kind ADO would give it; text
// arrives whole whatever its length, as UTF-8.  Where a driver departs from
// ODBC the engine works around it:
//  - psqlodbc names few types and writes dates, times, float4 and money its
//    own way: the engine asks the server for the types of a query's columns
//    and has it convert those into its own text first (OdbcPostgres.h), sets
//    the session to write every value exactly, and makes a second connection
//    when the driver turns line feeds into CR LF.
//  - MariaDB Connector/ODBC cuts text at a NUL when converting to UTF-16 and
//    writes UTF-8 into UTF-16 buffers: text travels as the connection's
//    UTF-8 bytes, and the connection is made again with utf8mb4 when it uses
//    another character set.  Its zero dates, fractional times and date
//    outputs only survive as text, so dates and times travel as text; BIT(1)
//    is read as a number, not its raw byte.  Its functions are called with
//    SELECT, as its driver cannot call them by escape.
//  - PostgreSQL's procedures are called with CALL, which psqlodbc's escape
//    would turn into a SELECT.
//  - MDBTools has no 64-bit integers, cannot name its pattern escape and
//    fails several column attributes: what it cannot tell stays unknown.
//  - SQL Server reports time(n) outside the ODBC range, and names its money
//    types and row version, which the type map recognises.
// Output parameters too long for their buffers are read whole from the row
// set psqlodbc and MariaDB also deliver them in, or raise 22001.
//
// Read-only.  ExecuteReadOnly runs a query in a read-only transaction on
// PostgreSQL and MariaDB, which ends when its cursor does.

#include <memory>
#include <string>
#include <vector>

#include "ado/Engine.h"

namespace qarn::ado {

// Connects with SQLDriverConnect and the given ODBC connection string
// (no prompt).  Raises a provider error carrying every diagnostic record.
std::shared_ptr<EngineConnection> OpenOdbc(const std::string& odbcConnectionString);

// The data sources and drivers that unixODBC reports, for the data-link dialog.
std::vector<std::string> OdbcDataSources();
std::vector<std::string> OdbcDrivers();

}  // namespace qarn::ado
