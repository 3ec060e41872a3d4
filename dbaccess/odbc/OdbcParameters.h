#pragma once
// Binding the parameters of a call, and reading back its output values.

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ado/DataTypes.h"
#include "ado/Engine.h"
#include "odbc/OdbcDriverHabits.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcTypeMap.h"
#include "odbc/OdbcValues.h"

namespace qarn::ado::odbc {

// One bound parameter's buffer, alive until its values are read back.
class ParameterSlot {
public:
    // Raises adErrNoCommandText naming the parameter when its value cannot
    // be bound as its type.
    ParameterSlot(const BoundParameter& p, const DriverHabits& habits);

    void Bind(const Statement& stmt, SQLUSMALLINT marker);
    bool IsOutput() const { return direction_ != adParamInput && direction_ != adParamUnknown; }

    // Sets the parameter's value from what the driver left in the buffer;
    // from `whole`, the value read another way, when the buffer was too
    // short.  Raises 22001 when it was and there is no other value.
    void StoreOutput(BoundParameter& p, const Variant* whole) const;

private:
    // Whether the driver had more of the value than the buffer holds; it
    // then says how much (01004), or that it cannot tell.
    bool Truncated() const;
    // Writes what the driver left in the buffer into `v`.
    void Store(Variant& v) const;
    // Column size and decimal digits of the types whose size no value gives.
    void SetDefaultSize();
    void Load(const BoundParameter& p);
    void LoadNumber(const BoundParameter& p, FixedValue& fixed) const;
    void PutBytes(const void* data, size_t length, size_t columnSize);
    // Room for an output value: the declared size or the input's, whichever
    // is larger, or a default when neither is known; at most the largest
    // room, unless the input needs more.
    void Reserve(size_t declared);
    size_t Terminator() const;
    size_t Usable() const { return bytes_.size() - std::min(bytes_.size(), Terminator()); }

    int32_t direction_;
    SQLSMALLINT sqlType_ = SQL_WVARCHAR;
    ValueForm form_ = ValueForm::Text;
    bool narrowText_ = false;
    bool dateOnly_ = false;
    bool withDate_ = false;  // a date or timestamp bound as text
    SQLULEN columnSize_ = 0;
    SQLSMALLINT digits_ = 0;
    std::vector<char> bytes_;
    SQLLEN indicator_ = SQL_NULL_DATA;
};

// psqlodbc and MariaDB also deliver a call's output values, in order, as
// its last row set with one column for each: a value too long for its
// buffer is read whole from there.
class OutputRow {
public:
    OutputRow(size_t outputs, const DriverHabits& habits)
        : outputs_(outputs), habits_(habits), reader_(habits.utf8Text) {}
    // Reads the first row of a row set that has one column for each output.
    void Read(const Statement& rows);
    // Output `k`'s value, when such a row was read.
    const Variant* Value(size_t k) const { return row_.size() == outputs_ ? &row_[k] : nullptr; }

private:
    size_t outputs_;
    DriverHabits habits_;
    ValueReader reader_;
    std::vector<Variant> row_;
};

}  // namespace qarn::ado::odbc
