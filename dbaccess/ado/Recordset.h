#pragma once
// The ADO-like Recordset: a forward-only, read-only cursor that holds one
// row at a time, with its Fields.  EOF and BOF are both true when the
// statement returned no rows.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ado/DataTypes.h"
#include "ado/Engine.h"
#include "ado/Variant.h"

namespace qarn::ado {

class Connection;

// A field's dynamic property, such as ISAUTOINCREMENT.
struct Property {
    std::string Name;
    Variant Value;
};

class Field {
public:
    Field(const ColumnInfo* info, const Variant* value) : info_(info), value_(value) {}
    const std::string& Name() const { return info_->name; }
    int32_t Type() const { return info_->type; }
    int32_t Attributes() const { return info_->attributes; }
    int64_t DefinedSize() const { return info_->definedSize; }
    int32_t Precision() const { return info_->precision; }
    int32_t NumericScale() const { return info_->scale; }
    const std::string& TypeName() const { return info_->typeName; }
    // The current row's value; Null for a NULL column.
    const Variant& Value() const { return *value_; }
    // Property by name (any case); raises 3265 when the field lacks it.
    Property Properties(const std::string& name) const;
    const ColumnInfo& Info() const { return *info_; }

private:
    const ColumnInfo* info_;
    const Variant* value_;
};

// Rows as GetRows returns them: indexed (column, row) from 0.
struct RowBlock {
    size_t columns = 0;
    size_t rows = 0;
    std::vector<Variant> cells;  // column-major within each row: cells[row * columns + column]
    const Variant& At(size_t column, size_t row) const;
    Variant& At(size_t column, size_t row);
};

class Recordset {
public:
    // A closed recordset, as statements without rows return.
    Recordset() = default;
    Recordset(std::weak_ptr<Connection> owner, std::unique_ptr<EngineCursor> cursor);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int32_t State() const { return cursor_ ? adStateOpen : adStateClosed; }
    bool Eof() const;
    bool Bof() const;
    // Forward-only: MoveFirst is allowed only while on the first row.
    void MoveFirst();
    void MoveNext();

    size_t FieldCount() const;
    Field Fields(size_t index) const;
    // By name (any case); raises 3265 when missing.
    Field Fields(const std::string& name) const;

    // Up to `rows` rows from the current one (adGetRowsRest or any count
    // below 1: every remaining row).  Raises 3021 at EOF.
    RowBlock GetRows(int32_t rows = adGetRowsRest);

    void Close();

private:
    void RequireOpen() const;
    void FetchNext();

    std::weak_ptr<Connection> owner_;
    std::unique_ptr<EngineCursor> cursor_;
    std::vector<Variant> row_;
    bool eof_ = true;
    bool bof_ = true;
    bool onFirstRow_ = false;
};

}  // namespace qarn::ado
