#include "ado/Recordset.h"

#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/ConnectionString.h"

namespace qarn::ado {

Property Field::Properties(const std::string& name) const {
    if (EqualsNoCase(name, "ISAUTOINCREMENT") && info_->autoIncrement.has_value())
        return {"ISAUTOINCREMENT", Variant::FromBool(*info_->autoIncrement)};
    throw AdoError(err::ItemNotFound);
}

const Variant& RowBlock::At(size_t column, size_t row) const {
    if (column >= columns || row >= rows) throw AdoError(9, "Subscript out of range");
    return cells[row * columns + column];
}

Variant& RowBlock::At(size_t column, size_t row) {
    return const_cast<Variant&>(static_cast<const RowBlock&>(*this).At(column, row));
}

Recordset::Recordset(std::weak_ptr<Connection> owner, std::unique_ptr<EngineCursor> cursor)
    : owner_(std::move(owner)), cursor_(std::move(cursor)) {
    row_.resize(cursor_->Columns().size());
    FetchNext();
    bof_ = eof_;
    onFirstRow_ = !eof_;
}

Recordset::~Recordset() {
    try {
        Close();
    } catch (...) {
        // Nothing to report to: the recordset is going away.
    }
}

void Recordset::RequireOpen() const {
    if (!cursor_) throw AdoError(err::ObjectClosed);
}

// Fetches the next row; a failure is kept in the owning connection's Errors.
void Recordset::FetchNext() {
    auto fetch = [&] { eof_ = !cursor_->Fetch(row_); };
    if (auto owner = owner_.lock()) {
        owner->Guarded(fetch);
    } else {
        fetch();
    }
}

bool Recordset::Eof() const {
    RequireOpen();
    return eof_;
}

bool Recordset::Bof() const {
    RequireOpen();
    return bof_;
}

void Recordset::MoveFirst() {
    RequireOpen();
    if (bof_ && eof_) return;
    if (!onFirstRow_) throw AdoError(err::NoBackwardFetch);
}

void Recordset::MoveNext() {
    RequireOpen();
    if (eof_) throw AdoError(err::EofOrBof);
    onFirstRow_ = false;
    FetchNext();
}

size_t Recordset::FieldCount() const {
    RequireOpen();
    return row_.size();
}

Field Recordset::Fields(size_t index) const {
    RequireOpen();
    if (index >= row_.size()) throw AdoError(err::ItemNotFound);
    return Field(&cursor_->Columns()[index], &row_[index]);
}

Field Recordset::Fields(const std::string& name) const {
    RequireOpen();
    const auto& cols = cursor_->Columns();
    for (size_t i = 0; i < cols.size(); ++i)
        if (EqualsNoCase(cols[i].name, name)) return Field(&cols[i], &row_[i]);
    throw AdoError(err::ItemNotFound);
}

RowBlock Recordset::GetRows(int32_t rows) {
    RequireOpen();
    if (eof_) throw AdoError(err::EofOrBof);
    RowBlock block;
    block.columns = row_.size();
    while (!eof_ && (rows < 1 || block.rows < static_cast<size_t>(rows))) {
        block.cells.insert(block.cells.end(), row_.begin(), row_.end());
        ++block.rows;
        MoveNext();
    }
    return block;
}

void Recordset::Close() {
    if (!cursor_) return;
    auto cursor = std::move(cursor_);
    cursor_.reset();
    eof_ = bof_ = true;
    cursor->Close();
}

}  // namespace qarn::ado
