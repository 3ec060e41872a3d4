#include "odbc/OdbcParameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

#include "ado/ConnectionString.h"
#include "odbc/OdbcColumns.h"
#include "odbc/OdbcText.h"

namespace qarn::ado::odbc {

namespace {
// Output text and bytes of unknown size get this much room.
constexpr size_t kOutputRoom = 8000;
// No output buffer gets room for more characters (or bytes) than this,
// whatever its declared size (MariaDB declares 4 GB for a LONGTEXT); a
// longer value is read from the row the drivers also give the outputs in.
constexpr size_t kLargestOutputRoom = 65536;
// A UTF-8 character takes up to four bytes.
constexpr size_t kMaxBytesPerChar = 4;

SQLSMALLINT InputOutputType(int32_t direction) {
    switch (direction) {
        case adParamOutput:
        case adParamReturnValue: return SQL_PARAM_OUTPUT;
        case adParamInputOutput: return SQL_PARAM_INPUT_OUTPUT;
        default: return SQL_PARAM_INPUT;
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
    std::string text = ToLower(v.AsText());
    out = v.IsTrue();
    return out || text == "false" || text == "0";
}

[[noreturn]] void RaiseMismatch(const BoundParameter& p) {
    throw AdoError(err::BadArguments,
                   "Parameter '" + p.name + "' holds a value of the wrong type: '" + p.value.ToText() + "'");
}
}  // namespace

ParameterSlot::ParameterSlot(const BoundParameter& p, const DriverHabits& habits) : direction_(p.direction) {
    BindingType binding = SqlTypeForAdo(p.type);
    if (binding.sqlType == SQL_UNKNOWN_TYPE) binding = SqlTypeForAdo(AdoTypeOfValue(p.value));
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
    if (hasInput && !p.value.IsNull() && !p.value.IsEmpty())
        Load(p);
    else
        indicator_ = hasInput ? SQL_NULL_DATA : 0;
    if (IsOutput()) Reserve(static_cast<size_t>(std::max<int64_t>(p.size, 0)));
}

void ParameterSlot::Bind(const Statement& stmt, SQLUSMALLINT marker) {
    SQLSMALLINT cType = narrowText_ ? SQL_C_CHAR : CTypeFor(form_);
    stmt.Check(SQLBindParameter(stmt.Get(), marker, InputOutputType(direction_), cType, sqlType_, columnSize_, digits_,
                                bytes_.data(), static_cast<SQLLEN>(bytes_.size()), &indicator_),
               "SQLBindParameter");
}

bool ParameterSlot::Truncated() const {
    if (IsFixed(form_) || indicator_ == SQL_NULL_DATA) return false;
    return indicator_ == SQL_NO_TOTAL || static_cast<size_t>(std::max<SQLLEN>(indicator_, 0)) > Usable();
}

void ParameterSlot::Store(Variant& v) const {
    if (indicator_ == SQL_NULL_DATA) return v.SetNull();
    if (IsFixed(form_)) {
        FixedValue fixed{};
        std::memcpy(&fixed, bytes_.data(), sizeof fixed);
        StoreValue(form_, &fixed, sizeof fixed, v);
    } else {
        size_t length = std::min(static_cast<size_t>(std::max<SQLLEN>(indicator_, 0)), Usable());
        if (narrowText_)
            v.SetText(std::string_view(bytes_.data(), length));
        else
            StoreValue(form_, bytes_.data(), length, v);
    }
}

void ParameterSlot::StoreOutput(BoundParameter& p, const Variant* whole) const {
    if (!Truncated())
        Store(p.value);
    else if (whole)
        p.value = *whole;
    else
        throw ProviderError({{err::ProviderFailure,
                              "The value of the output parameter '" + p.name +
                                  "' is longer than its buffer, and the driver gives no other way to read it whole",
                              "22001"}});
}

void ParameterSlot::SetDefaultSize() {
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

void ParameterSlot::Load(const BoundParameter& p) {
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
            if (v.Kind() == VarKind::Date)
                d = v.AsDate();
            else if (!ParseDateText(v.ToText(), d))
                RaiseMismatch(p);
            if (dateOnly_) d.hour = d.minute = d.second = 0, d.nanos = 0;
            fixed.ts = ToStruct(d);
            return PutBytes(&fixed, sizeof fixed, columnSize_);
        }
        case ValueForm::Text: {
            std::string text = v.ToText();
            if (narrowText_) return PutBytes(text.data(), text.size(), std::max<size_t>(text.size(), 1));
            std::vector<SQLWCHAR> wide = ToUtf16(text);
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
                if (!withDate_)
                    text.erase(0, text.find(' ') + 1);
                else if (dateOnly_)
                    text.resize(10);  // yyyy-mm-dd
            } else {
                text = v.ToText();
            }
            return PutBytes(text.data(), text.size(), std::max<size_t>(columnSize_, text.size()));
        }
        case ValueForm::SingleText:
        case ValueForm::Decimal:
        case ValueForm::Currency: {
            std::string text;
            if (!AppendPlainDecimal(text, v.ToText())) RaiseMismatch(p);
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

void ParameterSlot::LoadNumber(const BoundParameter& p, FixedValue& fixed) const {
    bool ok = form_ == ValueForm::Double   ? ToNumber(p.value, fixed.d)
              : form_ == ValueForm::UInt64 ? ToNumber(p.value, fixed.u)
              : form_ == ValueForm::Bit    ? ToBit(p.value, fixed.i32)
                                           : ToNumber(p.value, fixed.i);
    if (!ok) RaiseMismatch(p);
}

void ParameterSlot::PutBytes(const void* data, size_t length, size_t columnSize) {
    bytes_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + length);
    indicator_ = static_cast<SQLLEN>(length);
    columnSize_ = columnSize;
}

void ParameterSlot::Reserve(size_t declared) {
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

size_t ParameterSlot::Terminator() const {
    if (form_ == ValueForm::Binary) return 0;
    return narrowText_ || form_ != ValueForm::Text ? 1 : sizeof(SQLWCHAR);
}

void OutputRow::Read(const Statement& rows) {
    SQLSMALLINT count = 0;
    rows.Check(SQLNumResultCols(rows.Get(), &count), "SQLNumResultCols");
    if (static_cast<size_t>(count) != outputs_ || !SQL_SUCCEEDED(SQLFetch(rows.Get()))) return;
    row_.assign(outputs_, Variant());
    for (size_t i = 0; i < outputs_; ++i) {
        ValueForm form = ValueForm::Text;
        const auto column = static_cast<SQLUSMALLINT>(i + 1);
        DescribeColumn(rows, column, form, habits_);
        reader_.Read(rows, column, form, row_[i]);
    }
}

}  // namespace qarn::ado::odbc
