#include "odbc/OdbcEngine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>
#include <optional>
#include <string_view>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcPostgres.h"
#include "odbc/OdbcTypeMap.h"

namespace qarn::ado {

namespace {
using odbc::Connection;
using odbc::Statement;
using odbc::ValueForm;

// Long enough for a server that is down but still routed, short enough
// that nobody waits on a dead host.
constexpr SQLUINTEGER kLoginTimeoutSeconds = 15;
// ADO's Precision and NumericScale of a column that has neither.
constexpr int32_t kNoPrecision = 255;

// ---------------------------------------------------------------- values

SQLSMALLINT CTypeFor(ValueForm form) {
    switch (form) {
    case ValueForm::Int32: return SQL_C_SLONG;
    case ValueForm::UInt32: return SQL_C_ULONG;
    case ValueForm::Int64: return SQL_C_SBIGINT;
    case ValueForm::UInt64: return SQL_C_UBIGINT;
    case ValueForm::Single: return SQL_C_FLOAT;
    case ValueForm::Double: return SQL_C_DOUBLE;
    // MariaDB hands BIT(1) over as a raw byte unless asked for a number.
    case ValueForm::Bit: return SQL_C_SLONG;
    case ValueForm::Text: return SQL_C_WCHAR;
    case ValueForm::Binary: return SQL_C_BINARY;
    case ValueForm::Timestamp: return SQL_C_TYPE_TIMESTAMP;
    case ValueForm::Decimal:
    case ValueForm::Currency:
    case ValueForm::SingleText:
    case ValueForm::DateText:
    case ValueForm::Guid: return SQL_C_CHAR;
    }
    return SQL_C_WCHAR;
}

// One value in its fixed-size C form.
union FixedValue {
    SQLINTEGER i32;
    SQLUINTEGER u32;
    SQLBIGINT i;
    SQLUBIGINT u;
    SQLREAL f;
    SQLDOUBLE d;
    SQL_TIMESTAMP_STRUCT ts;
};

bool IsFixed(ValueForm form) {
    switch (form) {
    case ValueForm::Int32:
    case ValueForm::UInt32:
    case ValueForm::Int64:
    case ValueForm::UInt64:
    case ValueForm::Single:
    case ValueForm::Double:
    case ValueForm::Bit:
    case ValueForm::Timestamp: return true;
    default: return false;
    }
}

DateTime FromStruct(const SQL_TIMESTAMP_STRUCT& ts) {
    DateTime d;
    d.year = ts.year;
    d.month = static_cast<uint8_t>(ts.month);
    d.day = static_cast<uint8_t>(ts.day);
    d.hour = static_cast<uint8_t>(ts.hour);
    d.minute = static_cast<uint8_t>(ts.minute);
    d.second = static_cast<uint8_t>(ts.second);
    d.nanos = ts.fraction;
    return d;
}

SQL_TIMESTAMP_STRUCT ToStruct(const DateTime& d) {
    SQL_TIMESTAMP_STRUCT ts{};
    ts.year = static_cast<SQLSMALLINT>(d.year);
    ts.month = d.month;
    ts.day = d.day;
    ts.hour = d.hour;
    ts.minute = d.minute;
    ts.second = d.second;
    ts.fraction = d.nanos;
    return ts;
}

// Sets `v` from a value the driver delivered in `form`'s C type: the fixed
// forms as their C value, Text as UTF-16 units, Binary as bytes and the
// other forms as narrow text.
void StoreValue(ValueForm form, const void* data, size_t bytes, Variant& v) {
    const auto* fixed = static_cast<const FixedValue*>(data);
    std::string_view text(static_cast<const char*>(data), bytes);
    switch (form) {
    case ValueForm::Int32: v.SetInt(fixed->i32); return;
    case ValueForm::UInt32: v.SetInt(fixed->u32); return;
    case ValueForm::Int64: v.SetInt(fixed->i); return;
    case ValueForm::UInt64: v.SetUInt(fixed->u); return;
    case ValueForm::Single: v.SetDouble(static_cast<double>(fixed->f)); return;
    case ValueForm::Double: v.SetDouble(fixed->d); return;
    case ValueForm::Bit: v.SetBool(fixed->i32 != 0); return;
    case ValueForm::Timestamp: v.SetDate(FromStruct(fixed->ts)); return;
    case ValueForm::Text: {
        std::string& out = v.TextBuffer(VarKind::Text);
        out.clear();
        odbc::AppendUtf8(out, static_cast<const SQLWCHAR*>(data), bytes / sizeof(SQLWCHAR));
        return;
    }
    case ValueForm::Binary: v.SetBinary(text); return;
    case ValueForm::Guid: v.SetGuid(text); return;
    case ValueForm::Decimal:
    case ValueForm::Currency: {
        std::string& out = v.TextBuffer(form == ValueForm::Decimal ? VarKind::Decimal : VarKind::Currency);
        out.clear();
        if (!odbc::AppendPlainDecimal(out, text)) v.SetText(text);  // NaN and the like stay as the driver wrote them
        return;
    }
    case ValueForm::SingleText: {
        float f = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), f);
        if (ec == std::errc() && end == text.data() + text.size()) v.SetDouble(static_cast<double>(f));
        else v.SetText(text);
        return;
    }
    case ValueForm::DateText: {
        DateTime d;
        if (ParseDateText(text, d)) v.SetDate(d);
        else v.SetText(text);
        return;
    }
    }
}

// How a driver wants its values, where it departs from the rule.
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
};

// Reads column values with SQLGetData into buffers that grow to the
// largest value seen and are then reused.
class ValueReader {
public:
    explicit ValueReader(bool utf8Text = false) : utf8Text_(utf8Text) {}

    void Read(const Statement& stmt, SQLUSMALLINT column, ValueForm form, Variant& v) {
        SQLSMALLINT cType = CTypeFor(form);
        if (form == ValueForm::Text && utf8Text_) {
            ReadLong(stmt, column, SQL_C_BINARY, bytes_, ValueForm::Binary, v);
            if (!v.IsNull()) v.TextBuffer(VarKind::Text);
        } else if (IsFixed(form)) {
            FixedValue value{};
            SQLLEN indicator = 0;
            stmt.Check(SQLGetData(stmt.Get(), column, cType, &value, sizeof value, &indicator), "SQLGetData");
            if (indicator == SQL_NULL_DATA) v.SetNull();
            else StoreValue(form, &value, sizeof value, v);
        } else if (form == ValueForm::Text) {
            ReadLong(stmt, column, cType, wide_, form, v);
        } else {
            ReadLong(stmt, column, cType, form == ValueForm::Binary ? bytes_ : narrow_, form, v);
        }
    }

private:
    // Reads a value of any length in chunks.  A truncated chunk fills the
    // buffer but for the terminator; the indicator then tells how much is
    // left, when the driver knows.
    template <typename Unit>
    static void ReadLong(const Statement& stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<Unit>& buffer,
                         ValueForm form, Variant& v) {
        constexpr size_t kFirstUnits = 4096;
        const size_t terminator = cType == SQL_C_BINARY ? 0 : 1;
        if (buffer.size() < kFirstUnits) buffer.resize(kFirstUnits);
        size_t count = 0;
        for (;;) {
            size_t room = buffer.size() - count;
            SQLLEN indicator = 0;
            SQLRETURN rc = SQLGetData(stmt.Get(), column, cType, buffer.data() + count,
                                      static_cast<SQLLEN>(room * sizeof(Unit)), &indicator);
            if (rc == SQL_NO_DATA) break;  // the previous chunk was the last
            stmt.Check(rc, "SQLGetData");
            if (indicator == SQL_NULL_DATA) return v.SetNull();
            size_t usable = room - terminator;
            bool truncated = rc == SQL_SUCCESS_WITH_INFO &&
                             (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(Unit) > usable);
            if (!truncated) {
                count += std::min(static_cast<size_t>(std::max<SQLLEN>(indicator, 0)) / sizeof(Unit), usable);
                break;
            }
            count += usable;
            size_t rest = indicator == SQL_NO_TOTAL ? buffer.size() : static_cast<size_t>(indicator) / sizeof(Unit) - usable;
            buffer.resize(count + rest + terminator);
        }
        StoreValue(form, buffer.data(), count * sizeof(Unit), v);
    }

    bool utf8Text_;
    std::vector<SQLWCHAR> wide_;
    std::vector<char> narrow_;
    std::vector<char> bytes_;
};

// ---------------------------------------------------------------- columns

std::optional<SQLLEN> NumericAttribute(SQLHSTMT h, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(h, column, field, nullptr, 0, nullptr, &value))) return std::nullopt;
    return value;
}

std::string TextAttribute(SQLHSTMT h, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLWCHAR buffer[256];
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(h, column, field, buffer, sizeof buffer, &bytes, nullptr))) return {};
    return odbc::FromBuffer(buffer, std::size(buffer), bytes / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
}

bool IsCharacterOrBinary(ValueForm form) { return form == ValueForm::Text || form == ValueForm::Binary; }

// Whether ADO gives the column a precision and scale.
bool HasDigits(ValueForm form) {
    switch (form) {
    case ValueForm::Bit: return false;
    case ValueForm::Decimal:
    case ValueForm::Currency:
    case ValueForm::SingleText:
    case ValueForm::DateText: return true;
    default: return IsFixed(form);
    }
}

ColumnInfo DescribeColumn(const Statement& stmt, SQLUSMALLINT column, ValueForm& form, const DriverHabits& habits) {
    SQLHSTMT h = stmt.Get();
    std::vector<SQLWCHAR> name(256);
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    auto describe = [&] {
        return SQLDescribeColW(h, column, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType,
                               &size, &digits, &nullable);
    };
    SQLRETURN rc = describe();
    if (SQL_SUCCEEDED(rc) && static_cast<size_t>(nameLength) >= name.size()) {
        name.resize(static_cast<size_t>(nameLength) + 1);
        rc = describe();
    }
    stmt.Check(rc, "SQLDescribeCol");

    // MDBTools fails these attributes; what it cannot tell stays unknown.
    std::optional<SQLLEN> isUnsigned = NumericAttribute(h, column, SQL_DESC_UNSIGNED);
    std::optional<SQLLEN> autoIncrement = NumericAttribute(h, column, SQL_DESC_AUTO_UNIQUE_VALUE);
    std::string typeName = TextAttribute(h, column, SQL_DESC_TYPE_NAME);
    odbc::TypeMapping mapping = odbc::MapSqlType(sqlType, isUnsigned.value_or(SQL_FALSE) == SQL_TRUE, typeName);
    form = habits.datesAsText && mapping.form == ValueForm::Timestamp ? ValueForm::DateText : mapping.form;

    ColumnInfo info;
    info.name = odbc::FromBuffer(name.data(), name.size(), nameLength);
    info.type = mapping.adoType;
    info.typeName = std::move(typeName);
    info.attributes = mapping.attributes | odbc::NullableAttributes(nullable);
    // Characters for text, bytes for everything else.
    std::optional<SQLLEN> length =
        NumericAttribute(h, column, IsCharacterOrBinary(form) ? SQL_DESC_LENGTH : SQL_DESC_OCTET_LENGTH);
    info.definedSize = std::max<SQLLEN>(length.value_or(0), 0);
    if (autoIncrement) info.autoIncrement = *autoIncrement == SQL_TRUE;
    bool numeric = HasDigits(form);
    info.precision = numeric ? static_cast<int32_t>(size) : kNoPrecision;
    info.scale = numeric ? digits : kNoPrecision;
    return info;
}

// ---------------------------------------------------------------- cursor

class OdbcCursor final : public EngineCursor {
public:
    // Takes a statement with a pending result set.
    explicit OdbcCursor(std::unique_ptr<Statement> stmt, const DriverHabits& habits = {})
        : stmt_(std::move(stmt)), reader_(habits.utf8Text) {
        SQLSMALLINT count = 0;
        stmt_->Check(SQLNumResultCols(stmt_->Get(), &count), "SQLNumResultCols");
        columns_.reserve(static_cast<size_t>(count));
        forms_.resize(static_cast<size_t>(count));
        for (SQLUSMALLINT i = 0; i < static_cast<SQLUSMALLINT>(count); ++i)
            columns_.push_back(DescribeColumn(*stmt_, i + 1, forms_[i], habits));
    }

    // Takes a statement with a pending result set whose columns were
    // described before, each read in its form.
    OdbcCursor(std::unique_ptr<Statement> stmt, std::vector<ColumnInfo> columns, std::vector<ValueForm> forms,
               const DriverHabits& habits)
        : stmt_(std::move(stmt)), columns_(std::move(columns)), forms_(std::move(forms)), reader_(habits.utf8Text) {}

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }

    bool Fetch(std::vector<Variant>& row) override {
        if (!stmt_->IsOpen()) return false;
        SQLRETURN rc = SQLFetch(stmt_->Get());
        if (rc == SQL_NO_DATA) {
            // The rows are done: give the server its cursor back now.
            stmt_->Free();
            return false;
        }
        stmt_->Check(rc, "SQLFetch");
        row.resize(forms_.size());
        for (size_t i = 0; i < forms_.size(); ++i)
            reader_.Read(*stmt_, static_cast<SQLUSMALLINT>(i + 1), forms_[i], row[i]);
        return true;
    }

    void Close() override { stmt_->Free(); }

private:
    std::unique_ptr<Statement> stmt_;
    std::vector<ColumnInfo> columns_;
    std::vector<ValueForm> forms_;
    ValueReader reader_;
};

bool HasResultSet(const Statement& stmt) {
    SQLSMALLINT count = 0;
    stmt.Check(SQLNumResultCols(stmt.Get(), &count), "SQLNumResultCols");
    return count > 0;
}

int64_t RowCount(const Statement& stmt) {
    SQLLEN rows = -1;
    stmt.Check(SQLRowCount(stmt.Get(), &rows), "SQLRowCount");
    return rows;
}

// The cursor or the row count of the statement's current result.
ExecuteResult ResultOf(std::unique_ptr<Statement> stmt, const DriverHabits& habits) {
    ExecuteResult result;
    if (HasResultSet(*stmt)) result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), habits);
    else result.rowsAffected = RowCount(*stmt);
    return result;
}

// Every failure of a statement's results, in order: the executing call's
// and then each later statement's as SQLMoreResults reaches it.  Row counts
// of the results that are not row sets add up in `rows`; each row set is
// shown to `onRows` first, when given.
std::vector<ErrorRecord> WalkResults(const Statement& stmt, SQLRETURN rc, int64_t& rows,
                                     const std::function<void(const Statement&)>& onRows = {}) {
    auto same = [](const std::vector<ErrorRecord>& a, const std::vector<ErrorRecord>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ErrorRecord& x, const ErrorRecord& y) {
            return x.Number == y.Number && x.SQLState == y.SQLState && x.Description == y.Description;
        });
    };
    std::vector<ErrorRecord> failures, previous;
    rows = 0;
    for (;;) {
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            std::vector<ErrorRecord> records = stmt.Diagnostics();
            // A driver that has nothing to add, or repeats its last failure,
            // will not move on to a next result.
            if (records.empty() || same(records, previous)) {
                if (failures.empty()) failures.push_back({0, "The statement failed without a diagnostic record", "HY000"});
                break;
            }
            failures.insert(failures.end(), records.begin(), records.end());
            // Out of sequence, or the connection is gone.
            const std::string& state = records.front().SQLState;
            if (state == "HY010" || state.rfind("08", 0) == 0) break;
            previous = std::move(records);
        } else if (SQL_SUCCEEDED(rc)) {
            if (!HasResultSet(stmt)) rows += std::max<int64_t>(RowCount(stmt), 0);
            else if (onRows) onRows(stmt);
        }
        rc = SQLMoreResults(stmt.Get());
        if (rc == SQL_NO_DATA) break;
    }
    return failures;
}

// ---------------------------------------------------------------- parameters

SQLSMALLINT InputOutputType(int32_t direction) {
    switch (direction) {
    case adParamOutput:
    case adParamReturnValue: return SQL_PARAM_OUTPUT;
    case adParamInputOutput: return SQL_PARAM_INPUT_OUTPUT;
    default: return SQL_PARAM_INPUT;
    }
}

int32_t AdoDirection(SQLSMALLINT columnType) {
    switch (columnType) {
    case SQL_PARAM_OUTPUT: return adParamOutput;
    case SQL_PARAM_INPUT_OUTPUT: return adParamInputOutput;
    case SQL_RETURN_VALUE: return adParamReturnValue;
    default: return adParamInput;
    }
}

// The ADO type a value of no declared type is bound as.
int32_t AdoTypeOfValue(const Variant& v) {
    switch (v.Kind()) {
    case VarKind::Boolean: return adBoolean;
    case VarKind::Int: return adBigInt;
    case VarKind::UInt: return adUnsignedBigInt;
    case VarKind::Double: return adDouble;
    case VarKind::Decimal: return adNumeric;
    case VarKind::Currency: return adCurrency;
    case VarKind::Binary: return adVarBinary;
    case VarKind::Date: return adDBTimeStamp;
    case VarKind::Guid: return adGUID;
    default: return adVarWChar;
    }
}

// Parameters carry whole numbers in 64 bits and every float as a double.
ValueForm ParameterForm(ValueForm form) {
    switch (form) {
    case ValueForm::Int32: return ValueForm::Int64;
    case ValueForm::UInt32: return ValueForm::UInt64;
    case ValueForm::Single: return ValueForm::Double;
    default: return form;
    }
}

// Converts a value to a number of type T when it holds one T can carry exactly.
template <typename T, typename From>
bool Narrow(From from, T& out) {
    if constexpr (std::is_floating_point_v<T>) {
        out = static_cast<T>(from);
        return true;
    } else if constexpr (std::is_floating_point_v<From>) {
        constexpr double limit = std::numeric_limits<T>::digits == 64 ? 18446744073709551616.0 : 9223372036854775808.0;
        if (std::nearbyint(from) != from || from >= limit || from < (std::is_signed_v<T> ? -limit : 0.0)) return false;
        out = static_cast<T>(from);
        return true;
    } else {
        if (!std::in_range<T>(from)) return false;
        out = static_cast<T>(from);
        return true;
    }
}

template <typename T>
bool ToNumber(const Variant& v, T& out) {
    switch (v.Kind()) {
    case VarKind::Boolean: return Narrow(v.AsBool() ? 1 : 0, out);
    case VarKind::Int: return Narrow(v.AsInt(), out);
    case VarKind::UInt: return Narrow(v.AsUInt(), out);
    case VarKind::Double: return Narrow(v.AsDouble(), out);
    default: {
        std::string text = v.ToText();
        const char* end = text.data() + text.size();
        auto r = std::from_chars(text.data(), end, out);
        return r.ec == std::errc() && r.ptr == end;
    }
    }
}

// Any number (non-zero is true), or a text that names a truth value.
bool ToBit(const Variant& v, SQLINTEGER& out) {
    if (v.Kind() != VarKind::Text) {
        double d = 0;
        if (!ToNumber(v, d)) return false;
        out = d != 0;
        return true;
    }
    std::string text = odbc::ToLower(v.AsText());
    out = v.IsTrue();
    return out || text == "false" || text == "0";
}

[[noreturn]] void RaiseMismatch(const BoundParameter& p) {
    throw AdoError(err::BadArguments, "Parameter '" + p.name + "' holds a value of the wrong type: '" +
                                           p.value.ToText() + "'");
}

// One bound parameter's buffer, alive until its values are read back.
class ParameterSlot {
public:
    ParameterSlot(const BoundParameter& p, const DriverHabits& habits) : direction_(p.direction) {
        odbc::BindingType binding = odbc::SqlTypeForAdo(p.type);
        if (binding.sqlType == SQL_UNKNOWN_TYPE) binding = odbc::SqlTypeForAdo(AdoTypeOfValue(p.value));
        sqlType_ = binding.sqlType;
        form_ = ParameterForm(binding.form);
        narrowText_ = habits.utf8Text && form_ == ValueForm::Text;
        dateOnly_ = sqlType_ == SQL_TYPE_DATE || sqlType_ == SQL_DATE;
        if (habits.datesAsText && (form_ == ValueForm::DateText || form_ == ValueForm::Timestamp)) {
            withDate_ = form_ == ValueForm::Timestamp;
            form_ = ValueForm::DateText;
            sqlType_ = SQL_VARCHAR;
        }
        // A whole number above the signed range binds unsigned whatever the
        // declared type, as the catalog cannot tell unsigned parameters.
        if (form_ == ValueForm::Int64 && p.value.Kind() == VarKind::UInt) form_ = ValueForm::UInt64;
        SetDefaultSize();
        bool hasInput = direction_ != adParamOutput && direction_ != adParamReturnValue;
        // MariaDB reads an output-only buffer too, and must find it in the
        // bound C type: it is not marked NULL.
        if (hasInput && !p.value.IsNull() && !p.value.IsEmpty()) Load(p);
        else indicator_ = hasInput ? SQL_NULL_DATA : 0;
        if (IsOutput()) Reserve(static_cast<size_t>(std::max<int64_t>(p.size, 0)));
    }

    void Bind(const Statement& stmt, SQLUSMALLINT marker) {
        SQLSMALLINT cType = narrowText_ ? SQL_C_CHAR : CTypeFor(form_);
        stmt.Check(SQLBindParameter(stmt.Get(), marker, InputOutputType(direction_), cType, sqlType_, columnSize_,
                                    digits_, bytes_.data(), static_cast<SQLLEN>(bytes_.size()), &indicator_),
                   "SQLBindParameter");
    }

    bool IsOutput() const { return direction_ != adParamInput && direction_ != adParamUnknown; }

    // Whether the driver had more of the value than the buffer holds; it
    // then says how much (01004), or that it cannot tell.
    bool Truncated() const {
        if (IsFixed(form_) || indicator_ == SQL_NULL_DATA) return false;
        return indicator_ == SQL_NO_TOTAL || static_cast<size_t>(std::max<SQLLEN>(indicator_, 0)) > Usable();
    }

    // Writes what the driver left in the buffer into `v`.
    void Store(Variant& v) const {
        if (indicator_ == SQL_NULL_DATA) return v.SetNull();
        if (IsFixed(form_)) {
            FixedValue fixed{};
            std::memcpy(&fixed, bytes_.data(), sizeof fixed);
            StoreValue(form_, &fixed, sizeof fixed, v);
        } else {
            size_t length = std::min(static_cast<size_t>(std::max<SQLLEN>(indicator_, 0)), Usable());
            if (narrowText_) v.SetText(std::string_view(bytes_.data(), length));
            else StoreValue(form_, bytes_.data(), length, v);
        }
    }

private:
    // Output text and bytes of unknown size get this much room.
    static constexpr size_t kOutputRoom = 8000;
    // No output buffer gets room for more characters (or bytes) than this,
    // whatever its declared size (MariaDB declares 4 GB for a LONGTEXT); a
    // longer value is read from the row the drivers also give the outputs in.
    static constexpr size_t kLargestOutputRoom = 65536;
    // A UTF-8 character takes up to four bytes.
    static constexpr size_t kMaxBytesPerChar = 4;

    // Column size and decimal digits of the types whose size no value gives.
    void SetDefaultSize() {
        switch (form_) {
        case ValueForm::Timestamp:
            columnSize_ = dateOnly_ ? 10 : 29;  // yyyy-mm-dd[ hh:mm:ss.fffffffff]
            digits_ = dateOnly_ ? 0 : 9;
            break;
        case ValueForm::DateText:
            columnSize_ = withDate_ ? 29 : 18;  // [yyyy-mm-dd ]hh:mm:ss.fffffffff
            digits_ = 9;
            break;
        case ValueForm::Decimal:
        case ValueForm::Currency: columnSize_ = 38; break;  // the widest precision the servers allow
        case ValueForm::Guid: columnSize_ = 36; break;
        default: break;
        }
        if (IsFixed(form_)) {
            // MariaDB reads output-only buffers too: a zero date would fail
            // there as an invalid datetime.
            FixedValue initial{};
            if (form_ == ValueForm::Timestamp) initial.ts = ToStruct(DateTime{});
            PutBytes(&initial, sizeof initial, columnSize_);
        }
    }

    void Load(const BoundParameter& p) {
        const Variant& v = p.value;
        FixedValue fixed{};
        switch (form_) {
        case ValueForm::Int64:
        case ValueForm::UInt64:
        case ValueForm::Bit:
        case ValueForm::Double:
        case ValueForm::Int32:
        case ValueForm::UInt32:
        case ValueForm::Single: LoadNumber(p, fixed); return PutBytes(&fixed, sizeof fixed, columnSize_);
        case ValueForm::Timestamp: {
            DateTime d;
            if (v.Kind() == VarKind::Date) d = v.AsDate();
            else if (!ParseDateText(v.ToText(), d)) RaiseMismatch(p);
            if (dateOnly_) d.hour = d.minute = d.second = 0, d.nanos = 0;
            fixed.ts = ToStruct(d);
            return PutBytes(&fixed, sizeof fixed, columnSize_);
        }
        case ValueForm::Text: {
            std::string text = v.ToText();
            if (narrowText_) return PutBytes(text.data(), text.size(), std::max<size_t>(text.size(), 1));
            std::vector<SQLWCHAR> wide = odbc::ToUtf16(text);
            size_t units = wide.size() - 1;
            return PutBytes(wide.data(), units * sizeof(SQLWCHAR), std::max<size_t>(units, 1));
        }
        case ValueForm::Binary: {
            std::string bytes = v.ToText();
            return PutBytes(bytes.data(), bytes.size(), std::max<size_t>(bytes.size(), 1));
        }
        case ValueForm::DateText: {
            std::string text;
            if (v.Kind() == VarKind::Date) {
                AppendDateText(text, v.AsDate());
                if (!withDate_) text.erase(0, text.find(' ') + 1);
                else if (dateOnly_) text.resize(10);  // yyyy-mm-dd
            } else {
                text = v.ToText();
            }
            return PutBytes(text.data(), text.size(), std::max<size_t>(columnSize_, text.size()));
        }
        case ValueForm::SingleText:
        case ValueForm::Decimal:
        case ValueForm::Currency: {
            std::string text;
            if (!odbc::AppendPlainDecimal(text, v.ToText())) RaiseMismatch(p);
            size_t point = text.find('.');
            size_t fraction = point == std::string::npos ? 0 : text.size() - point - 1;
            digits_ = static_cast<SQLSMALLINT>(fraction);
            return PutBytes(text.data(), text.size(), columnSize_);
        }
        case ValueForm::Guid: {
            std::string text = v.ToText();
            return PutBytes(text.data(), text.size(), columnSize_);
        }
        }
    }

    void LoadNumber(const BoundParameter& p, FixedValue& fixed) const {
        bool ok = form_ == ValueForm::Double   ? ToNumber(p.value, fixed.d)
                  : form_ == ValueForm::UInt64 ? ToNumber(p.value, fixed.u)
                  : form_ == ValueForm::Bit    ? ToBit(p.value, fixed.i32)
                                               : ToNumber(p.value, fixed.i);
        if (!ok) RaiseMismatch(p);
    }

    void PutBytes(const void* data, size_t length, size_t columnSize) {
        bytes_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + length);
        indicator_ = static_cast<SQLLEN>(length);
        columnSize_ = columnSize;
    }

    // Room for an output value: the declared size or the input's, whichever
    // is larger, or a default when neither is known; at most the largest
    // room, unless the input needs more.
    void Reserve(size_t declared) {
        // Room for the digits, sign and point of the widest exact number.
        // Fixed values get as much: MariaDB (3.1.15) fetches a datetime
        // output through its own 40-byte time struct straight into the
        // buffer, whatever its length.
        constexpr size_t kSmallRoom = 128;
        bool sized = form_ == ValueForm::Text || form_ == ValueForm::Binary;
        if (sized) columnSize_ = std::max<SQLULEN>({columnSize_, declared, declared ? 0 : kOutputRoom});
        size_t perChar = form_ == ValueForm::Binary ? 1 : kMaxBytesPerChar;
        size_t room = sized ? std::min<size_t>(columnSize_, kLargestOutputRoom) * perChar + perChar : kSmallRoom;
        // An input longer than that keeps its room, and room for a terminator.
        bytes_.resize(std::max(room, bytes_.size() + Terminator()));
    }

    size_t Terminator() const {
        if (form_ == ValueForm::Binary) return 0;
        return narrowText_ || form_ != ValueForm::Text ? 1 : sizeof(SQLWCHAR);
    }

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

enum class CallStyle {
    Escape,      // {? = call name(?)} or {call name(?)}
    Call,        // CALL name(?): PostgreSQL's procedures, which psqlodbc's escape turns into a SELECT
    Select,      // SELECT name(?): MariaDB's functions, which its driver cannot call by escape
};

std::string CallText(CallStyle style, const std::string& procName, size_t arguments, bool hasReturn) {
    std::string text = style == CallStyle::Call     ? "CALL "
                       : style == CallStyle::Select ? "SELECT "
                       : hasReturn                  ? "{? = call "
                                                    : "{call ";
    text += procName;
    text += '(';
    for (size_t i = 0; i < arguments; ++i) text += i ? ", ?" : "?";
    text += ')';
    if (style == CallStyle::Escape) text += '}';
    return text;
}

// One part of "catalog.schema.name", without its quotes.
struct NamePart {
    std::string text;
    bool quoted = false;
};

std::vector<NamePart> NameParts(const std::string& name) {
    std::vector<NamePart> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find('.', start);
        NamePart part{name.substr(start, dot == std::string::npos ? std::string::npos : dot - start)};
        if (part.text.size() >= 2 && std::string_view("\"[`").find(part.text.front()) != std::string_view::npos) {
            part.text = part.text.substr(1, part.text.size() - 2);
            part.quoted = true;
        }
        parts.push_back(std::move(part));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

// A SQL string literal.
std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// Escapes the pattern characters of a catalog-function argument.
std::string EscapePattern(const std::string& text, const std::string& escape) {
    if (escape.empty()) return text;
    std::string out;
    for (char c : text) {
        if (c == '_' || c == '%' || escape.find(c) != std::string::npos) out += escape;
        out.push_back(c);
    }
    return out;
}

int64_t IntAt(const std::vector<Variant>& row, size_t i, int64_t fallback) {
    return i < row.size() && row[i].Kind() == VarKind::Int ? row[i].AsInt() : fallback;
}

std::string TextAt(const std::vector<Variant>& row, size_t i) { return i < row.size() ? row[i].ToText() : std::string(); }

// ---------------------------------------------------------------- connection

class OdbcConnection final : public EngineConnection, public std::enable_shared_from_this<OdbcConnection> {
public:
    OdbcConnection(std::shared_ptr<Connection> connection, const std::string& connectionString)
        : connection_(std::move(connection)) {
        dbms_ = connection_->InfoText(SQL_DBMS_NAME);
        habits_.utf8Text = habits_.datesAsText = IsMySql();
        // The file-based drivers name their database file in the string.
        std::vector<ConnectionEntry> entries = ParseConnectionString(connectionString);
        for (std::string_view key : {"DBQ", "Database"}) {
            if (key == "Database" && !odbc::EqualsIgnoreCase(dbms_, "SQLite")) continue;
            if (std::string file = EntryValue(entries, {key}); !file.empty()) files_.push_back(file);
        }
        if (IsPostgres()) ExactPostgresSession(connectionString);
        if (IsMySql()) Utf8MySqlSession(connectionString);
    }

    ExecuteResult ExecuteReadOnly(const std::string& sql, int32_t timeoutSeconds) override {
        // Inside a transaction the host began, the query runs as it is.
        const char* begin = IsPostgres() ? "SET TRANSACTION READ ONLY" : IsMySql() ? "START TRANSACTION READ ONLY" : nullptr;
        if (!begin || inTransaction_) return Execute(sql, timeoutSeconds);
        BeginTrans();
        try {
            // psqlodbc has begun the transaction itself by now; MariaDB's
            // driver leaves it to this statement.
            Execute(begin, timeoutSeconds);
            ExecuteResult result = Execute(sql, timeoutSeconds);
            if (!result.cursor) {
                RollbackTrans();
                return result;
            }
            result.cursor = std::make_unique<CursorWithEnd>(std::move(result.cursor), [weak = weak_from_this()] {
                if (auto self = weak.lock()) self->RollbackTrans();
            });
            return result;
        } catch (...) {
            try {
                RollbackTrans();
            } catch (...) {
            }
            throw;
        }
    }

    bool TransactionOpen() override {
        if (inTransaction_) return true;
        if (IsMySql()) return FirstValue("SELECT @@in_transaction").IsTrue();
        if (IsSqlServer()) return FirstValue("SELECT @@TRANCOUNT").IsTrue();
        if (IsPostgres()) return PostgresBlockOpen();
        return false;
    }

    std::vector<std::string> DatabaseFiles() override { return files_; }

    ExecuteResult Execute(const std::string& sql, int32_t timeoutSeconds) override {
        if (IsPostgres()) {
            if (std::optional<std::string_view> body = odbc::PostgresQueryBody(sql))
                return ExecutePostgresQuery(sql, *body, timeoutSeconds);
        }
        return ExecuteAsIs(sql, timeoutSeconds);
    }

    int64_t ExecuteBatch(const std::string& sql, int32_t timeoutSeconds) override {
        auto stmt = NewStatement(timeoutSeconds);
        int64_t rows = 0;
        std::vector<ErrorRecord> failures = WalkResults(*stmt, ExecDirect(*stmt, sql), rows);
        if (!failures.empty()) throw ProviderError(std::move(failures));
        return rows;
    }

    std::vector<BoundParameter> ProcedureParameters(const std::string& procName) override {
        ProcName target = Resolve(procName);
        std::optional<std::string> catalog = target.catalog, schema = target.schema;
        const std::string& name = target.name;
        if (!schema && IsPostgres()) schema = "public";
        if (!catalog && IsMySql()) catalog = CurrentCatalog();

        // MDBTools cannot name its escape; the exact-name check below still holds.
        std::string escape = connection_->TryInfoText(SQL_SEARCH_PATTERN_ESCAPE).value_or("");
        std::vector<SQLWCHAR> catalogW = odbc::ToUtf16(catalog.value_or(""));
        std::vector<SQLWCHAR> schemaW = odbc::ToUtf16(EscapePattern(schema.value_or(""), escape));
        std::vector<SQLWCHAR> nameW = odbc::ToUtf16(EscapePattern(name, escape));
        auto stmt = NewStatement(-1);
        stmt->Check(SQLProcedureColumnsW(stmt->Get(), catalog ? catalogW.data() : nullptr, catalog ? SQL_NTS : 0,
                                         schema ? schemaW.data() : nullptr, schema ? SQL_NTS : 0, nameW.data(),
                                         SQL_NTS, nullptr, 0),
                    "SQLProcedureColumns");

        // Result columns of SQLProcedureColumns (1-based in ODBC).
        enum : size_t { kProcName = 2, kColumnName = 3, kColumnType = 4, kDataType = 5, kTypeName = 6,
                        kColumnSize = 7, kOrdinal = 17 };
        struct Found {
            int64_t ordinal;
            BoundParameter parameter;
        };
        std::vector<Found> found;
        OdbcCursor cursor(std::move(stmt));
        std::vector<Variant> row;
        while (cursor.Fetch(row)) {
            auto columnType = static_cast<SQLSMALLINT>(IntAt(row, kColumnType, SQL_PARAM_TYPE_UNKNOWN));
            if (columnType == SQL_RESULT_COL || !odbc::EqualsIgnoreCase(TextAt(row, kProcName), name)) continue;
            BoundParameter p;
            p.name = TextAt(row, kColumnName);
            p.direction = AdoDirection(columnType);
            if (p.name.empty() && p.direction == adParamReturnValue) p.name = "RETURN_VALUE";
            // The catalog does not say whether an integer is unsigned
            // (MariaDB reports "bigint" for "bigint unsigned").
            p.type = odbc::MapSqlType(static_cast<SQLSMALLINT>(IntAt(row, kDataType, SQL_UNKNOWN_TYPE)), false,
                                      TextAt(row, kTypeName))
                         .adoType;
            p.size = std::max<int64_t>(IntAt(row, kColumnSize, 0), 0);
            found.push_back({IntAt(row, kOrdinal, static_cast<int64_t>(found.size()) + 1), std::move(p)});
        }
        std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
            bool aReturn = a.parameter.direction == adParamReturnValue;
            bool bReturn = b.parameter.direction == adParamReturnValue;
            return aReturn != bReturn ? aReturn : a.ordinal < b.ordinal;
        });
        std::vector<BoundParameter> parameters;
        for (auto& f : found) parameters.push_back(std::move(f.parameter));
        return parameters;
    }

    ExecuteResult CallProcedure(const std::string& procName, std::vector<BoundParameter>& params,
                                int32_t timeoutSeconds) override {
        // The return value comes first wherever it stands.
        std::vector<size_t> order(params.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_partition(order.begin(), order.end(),
                              [&](size_t i) { return params[i].direction == adParamReturnValue; });
        bool hasReturn = !order.empty() && params[order.front()].direction == adParamReturnValue;
        CallStyle style = StyleOfCall(procName, hasReturn);
        // A function called in a SELECT returns its value as the one row.
        size_t firstMarker = style == CallStyle::Select ? 1 : 0;

        // The buffers outlive the statement bound to them.
        std::vector<ParameterSlot> slots;
        slots.reserve(params.size());
        for (size_t m = firstMarker; m < order.size(); ++m) slots.emplace_back(params[order[m]], habits_);
        auto stmt = NewStatement(timeoutSeconds);
        for (size_t m = 0; m < slots.size(); ++m) slots[m].Bind(*stmt, static_cast<SQLUSMALLINT>(m + 1));
        size_t arguments = params.size() - (hasReturn ? 1 : 0);
        SQLRETURN rc = ExecDirect(*stmt, CallText(style, procName, arguments, hasReturn));
        if (rc != SQL_NO_DATA) stmt->Check(rc, "SQLExecDirect");

        ExecuteResult result;
        if (style == CallStyle::Select) {
            OdbcCursor cursor(std::move(stmt), habits_);
            std::vector<Variant> row;
            if (cursor.Fetch(row) && !row.empty()) params[order.front()].value = row.front();
            return result;
        }
        bool hasOutput = std::any_of(slots.begin(), slots.end(), [](const ParameterSlot& s) { return s.IsOutput(); });
        if (!hasOutput && rc != SQL_NO_DATA && HasResultSet(*stmt)) {
            // The cursor outlives the input buffers.
            stmt->Check(SQLFreeStmt(stmt->Get(), SQL_RESET_PARAMS), "SQLFreeStmt");
            result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), habits_);
            return result;
        }
        // The drivers fill output buffers only once every result is consumed.
        // psqlodbc and MariaDB also deliver the output values, in order, as
        // the last row set with one column for each: a value too long for
        // its buffer is read whole from there.
        const auto outputs = static_cast<size_t>(
            std::count_if(slots.begin(), slots.end(), [](const ParameterSlot& s) { return s.IsOutput(); }));
        std::vector<Variant> outputRow;
        ValueReader reader(habits_.utf8Text);
        auto readOutputRow = [&](const Statement& rows) {
            SQLSMALLINT count = 0;
            rows.Check(SQLNumResultCols(rows.Get(), &count), "SQLNumResultCols");
            if (static_cast<size_t>(count) != outputs || !SQL_SUCCEEDED(SQLFetch(rows.Get()))) return;
            outputRow.assign(outputs, Variant());
            for (size_t i = 0; i < outputs; ++i) {
                ValueForm form = ValueForm::Text;
                const auto column = static_cast<SQLUSMALLINT>(i + 1);
                DescribeColumn(rows, column, form, habits_);
                reader.Read(rows, column, form, outputRow[i]);
            }
        };
        std::vector<ErrorRecord> failures =
            WalkResults(*stmt, rc == SQL_NO_DATA ? SQL_SUCCESS : rc, result.rowsAffected, readOutputRow);
        if (!failures.empty()) throw ProviderError(std::move(failures));
        for (size_t m = 0, k = 0; m < slots.size(); ++m) {
            if (!slots[m].IsOutput()) continue;
            BoundParameter& p = params[order[m + firstMarker]];
            if (!slots[m].Truncated()) slots[m].Store(p.value);
            else if (outputRow.size() == outputs) p.value = outputRow[k];
            else
                throw ProviderError({{err::ProviderFailure,
                                      "The value of the output parameter '" + p.name +
                                          "' is longer than its buffer, and the driver gives no other way to read it whole",
                                      "22001"}});
            ++k;
        }
        return result;
    }

    void BeginTrans() override {
        if (inTransaction_) throw AdoError(err::IllegalOperation);
        SetAutoCommit(false);
        inTransaction_ = true;
    }

    void CommitTrans() override { EndTransaction(SQL_COMMIT); }
    void RollbackTrans() override { EndTransaction(SQL_ROLLBACK); }

    std::string DbmsName() const override { return dbms_; }

    void Close() override {
        connection_->Close();
        inTransaction_ = false;
    }

private:
    std::unique_ptr<Statement> NewStatement(int32_t timeoutSeconds) {
        auto stmt = std::make_unique<Statement>(connection_);
        // A driver without query timeouts still runs the statement.
        if (timeoutSeconds > 0)
            SQLSetStmtAttrW(stmt->Get(), SQL_ATTR_QUERY_TIMEOUT,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
        return stmt;
    }

    SQLRETURN ExecDirect(const Statement& stmt, const std::string& sql) {
        odbc::ToUtf16(sql, wideSql_);
        return SQLExecDirectW(stmt.Get(), wideSql_.data(), SQL_NTS);
    }

    bool IsMySql() const { return odbc::EqualsIgnoreCase(dbms_, "MySQL") || odbc::EqualsIgnoreCase(dbms_, "MariaDB"); }
    bool IsPostgres() const { return dbms_ == "PostgreSQL"; }
    bool IsSqlServer() const { return dbms_.find("SQL Server") != std::string::npos; }

    // Runs SQL text with the driver's own view of its result.
    ExecuteResult ExecuteAsIs(const std::string& sql, int32_t timeoutSeconds) {
        auto stmt = NewStatement(timeoutSeconds);
        SQLRETURN rc = ExecDirect(*stmt, sql);
        // A searched UPDATE or DELETE that touched nothing.
        if (rc == SQL_NO_DATA) return {nullptr, 0};
        stmt->Check(rc, "SQLExecDirect");
        return ResultOf(std::move(stmt), habits_);
    }

    // The first row of SQL text run as it is; empty when there is none.
    std::vector<Variant> FirstRow(const std::string& sql) {
        ExecuteResult result = ExecuteAsIs(sql, -1);
        std::vector<Variant> row;
        if (!result.cursor || !result.cursor->Fetch(row)) return {};
        result.cursor->Close();
        return row;
    }

    Variant FirstValue(const std::string& sql) {
        std::vector<Variant> row = FirstRow(sql);
        return row.empty() ? Variant::MakeNull() : row.front();
    }

    // A query on PostgreSQL, read by the types of its columns as the server
    // names them: the columns whose values psqlodbc would change reach it as
    // text the server wrote.  A query the server cannot take as a subquery
    // runs as it is, and so fails with its own message if it is wrong.
    ExecuteResult ExecutePostgresQuery(const std::string& sql, std::string_view body, int32_t timeoutSeconds) {
        auto shape = NewStatement(timeoutSeconds);
        if (!SQL_SUCCEEDED(ExecDirect(*shape, odbc::PostgresShapeQuery(body)))) return ExecuteAsIs(sql, timeoutSeconds);
        SQLSMALLINT count = 0;
        shape->Check(SQLNumResultCols(shape->Get(), &count), "SQLNumResultCols");
        const auto columnCount = static_cast<size_t>(std::max<SQLSMALLINT>(count, 0));
        std::vector<ColumnInfo> columns(columnCount);
        std::vector<ValueForm> forms(columnCount);
        for (size_t i = 0; i < columnCount; ++i)
            columns[i] = DescribeColumn(*shape, static_cast<SQLUSMALLINT>(i + 1), forms[i], habits_);
        shape->Free();
        if (columnCount == 0) return ExecuteAsIs(sql, timeoutSeconds);

        std::vector<std::string_view> casts(columnCount);
        ExecuteResult types = ExecuteAsIs(odbc::PostgresTypeQuery(body, columnCount), timeoutSeconds);
        std::vector<Variant> row;
        size_t described = 0;
        while (types.cursor && types.cursor->Fetch(row)) {
            const int64_t position = row.size() == 3 && row[0].Kind() == VarKind::Int ? row[0].AsInt() : 0;
            if (position < 1 || static_cast<size_t>(position) > columnCount) continue;
            const auto i = static_cast<size_t>(position - 1);
            const std::string kind = row[2].ToText();
            odbc::PostgresReading reading = odbc::ReadPostgresType(row[1].ToText(), kind.empty() ? ' ' : kind[0]);
            columns[i].typeName = row[1].ToText();
            columns[i].textInput = reading.textInput;
            if (reading.adoType) columns[i].type = reading.adoType;
            forms[i] = reading.form;
            casts[i] = reading.cast;
            ++described;
        }
        types.cursor.reset();
        if (described != columnCount)
            throw ProviderError({{err::ProviderFailure, "PostgreSQL did not name the types of the query's columns", "HY000"}});

        const bool converted = std::any_of(casts.begin(), casts.end(), [](std::string_view c) { return !c.empty(); });
        auto stmt = NewStatement(timeoutSeconds);
        SQLRETURN rc = ExecDirect(*stmt, converted ? odbc::PostgresReadingQuery(body, casts) : sql);
        stmt->Check(rc, "SQLExecDirect");
        SQLSMALLINT readCount = 0;
        stmt->Check(SQLNumResultCols(stmt->Get(), &readCount), "SQLNumResultCols");
        if (readCount != count)
            throw ProviderError({{err::ProviderFailure, "The query's columns changed while it was read", "HY000"}});
        ExecuteResult result;
        result.cursor = std::make_unique<OdbcCursor>(std::move(stmt), std::move(columns), std::move(forms), habits_);
        return result;
    }

    // Makes psqlodbc deliver text as the server holds it and the server
    // write every value exactly; psqlodbc may be set (in the string or its
    // data source) to turn line feeds into CR LF, which a second connection
    // without that setting replaces.
    void ExactPostgresSession(const std::string& connectionString) {
        auto convertsLineFeeds = [this] { return FirstValue("SELECT E'\\n'").AsText() != "\n"; };
        if (convertsLineFeeds()) {
            Reconnect(ReplaceEntry(connectionString, "LFConversion", "0"));
            if (convertsLineFeeds())
                throw ProviderError({{err::ProviderFailure,
                                      "The PostgreSQL driver turns line feeds into CR LF and cannot be told not to",
                                      "HY000"}});
        }
        ExecuteBatch(odbc::kPostgresExactSettings, -1);
    }

    // Text is read as the connection's bytes, which must be UTF-8 whatever
    // character set the string asked for; the driver and the server must
    // agree on it, so the connection is made again with utf8mb4.
    void Utf8MySqlSession(const std::string& connectionString) {
        auto utf8 = [this] {
            std::vector<Variant> row =
                FirstRow("SELECT @@character_set_client, @@character_set_connection, @@character_set_results");
            return row.size() == 3 && std::all_of(row.begin(), row.end(), [](const Variant& v) {
                       return odbc::EqualsIgnoreCase(v.ToText(), "utf8mb4");
                   });
        };
        if (utf8()) return;
        Reconnect(ReplaceEntry(connectionString, "CHARSET", "utf8mb4"));
        if (!utf8())
            throw ProviderError({{err::ProviderFailure,
                                  "The connection to " + dbms_ + " cannot be made to use the character set utf8mb4",
                                  "HY000"}});
    }

    void Reconnect(const std::string& connectionString) {
        auto fresh = std::make_shared<Connection>();
        fresh->Connect(connectionString, kLoginTimeoutSeconds);
        connection_ = std::move(fresh);
    }

    // PostgreSQL takes a savepoint only inside a transaction block, and
    // says which: 25P01 outside one, 25P02 in one that has failed.
    bool PostgresBlockOpen() {
        auto stmt = NewStatement(-1);
        SQLRETURN rc = ExecDirect(*stmt, "SAVEPOINT qarn_transaction_probe");
        if (SQL_SUCCEEDED(rc)) {
            Execute("RELEASE SAVEPOINT qarn_transaction_probe", -1);
            return true;
        }
        std::vector<ErrorRecord> records = stmt->Diagnostics();
        const std::string state = records.empty() ? std::string() : records.front().SQLState;
        if (state == "25P01") return false;
        if (state == "25P02") return true;
        throw ProviderError(std::move(records));
    }

    struct ProcName {
        std::optional<std::string> catalog, schema;
        std::string name;
    };

    // Splits a procedure name as the server reads it: MySQL's one qualifier
    // is the database; PostgreSQL folds unquoted names to lower case.
    ProcName Resolve(const std::string& procName) const {
        std::vector<NamePart> parts = NameParts(procName);
        if (IsPostgres()) {
            for (NamePart& part : parts)
                if (!part.quoted) part.text = odbc::ToLower(part.text);
        }
        ProcName out;
        out.name = parts.back().text;
        if (parts.size() >= 3) out.catalog = parts[parts.size() - 3].text;
        if (parts.size() >= 2) (IsMySql() ? out.catalog : out.schema) = parts[parts.size() - 2].text;
        return out;
    }

    CallStyle StyleOfCall(const std::string& procName, bool hasReturn) {
        if (hasReturn && IsMySql()) return CallStyle::Select;
        if (!hasReturn && IsPostgres() && IsPostgresProcedure(procName)) return CallStyle::Call;
        return CallStyle::Escape;
    }

    // Whether PostgreSQL knows the name as a procedure rather than a function.
    bool IsPostgresProcedure(const std::string& procName) {
        ProcName target = Resolve(procName);
        std::string where = target.schema ? "pronamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = " +
                                                Quoted(*target.schema) + ")"
                                          : "pg_catalog.pg_function_is_visible(oid)";
        ExecuteResult found = ExecuteAsIs("SELECT 1 FROM pg_catalog.pg_proc WHERE prokind = 'p' AND proname = " +
                                          Quoted(target.name) + " AND " + where,
                                      -1);
        std::vector<Variant> row;
        return found.cursor && found.cursor->Fetch(row);
    }

    std::string CurrentCatalog() const {
        SQLWCHAR buffer[256] = {};
        SQLINTEGER bytes = 0;
        connection_->Check(SQLGetConnectAttrW(connection_->OpenHandle(), SQL_ATTR_CURRENT_CATALOG, buffer, sizeof buffer,
                                              &bytes),
                           "SQLGetConnectAttr");
        return odbc::FromBuffer(buffer, std::size(buffer), bytes / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)));
    }

    void SetAutoCommit(bool on) {
        connection_->Check(SQLSetConnectAttrW(connection_->OpenHandle(), SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                              SQL_IS_UINTEGER),
                           "SQLSetConnectAttr");
    }

    void EndTransaction(SQLSMALLINT completion) {
        if (!inTransaction_) throw AdoError(err::IllegalOperation);
        connection_->Check(SQLEndTran(SQL_HANDLE_DBC, connection_->OpenHandle(), completion), "SQLEndTran");
        inTransaction_ = false;
        SetAutoCommit(true);
    }

    std::shared_ptr<Connection> connection_;
    std::string dbms_;
    DriverHabits habits_;
    std::vector<std::string> files_;
    bool inTransaction_ = false;
    std::vector<SQLWCHAR> wideSql_;
};

// Lists what SQLDataSources or SQLDrivers enumerate.
template <typename Enumerate>
std::vector<std::string> EnumerateNames(Enumerate next, const char* what) {
    auto env = odbc::Environment::Shared();
    std::vector<std::string> names;
    SQLWCHAR name[512];
    SQLWCHAR description[1024];
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        SQLRETURN rc = next(env->Get(), direction, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength,
                            description, static_cast<SQLSMALLINT>(std::size(description)), &descriptionLength);
        if (rc == SQL_NO_DATA) break;
        env->Check(rc, what);
        names.push_back(odbc::FromBuffer(name, std::size(name), nameLength));
    }
    return names;
}
}  // namespace

std::shared_ptr<EngineConnection> OpenOdbc(const std::string& odbcConnectionString) {
    auto connection = std::make_shared<Connection>();
    connection->Connect(odbcConnectionString, kLoginTimeoutSeconds);
    return std::make_shared<OdbcConnection>(std::move(connection), odbcConnectionString);
}

std::vector<std::string> OdbcDataSources() { return EnumerateNames(SQLDataSourcesW, "SQLDataSources"); }

std::vector<std::string> OdbcDrivers() { return EnumerateNames(SQLDriversW, "SQLDrivers"); }

}  // namespace qarn::ado
