#include "odbc/OdbcValues.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "odbc/OdbcText.h"
#include "text/TextNumbers.h"

namespace qarn::ado::odbc {

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
            AppendUtf8(out, static_cast<const SQLWCHAR*>(data), bytes / sizeof(SQLWCHAR));
            return;
        }
        case ValueForm::Binary: v.SetBinary(text); return;
        case ValueForm::Guid: v.SetGuid(text); return;
        case ValueForm::Decimal:
        case ValueForm::Currency: {
            std::string& out = v.TextBuffer(form == ValueForm::Decimal ? VarKind::Decimal : VarKind::Currency);
            out.clear();
            if (!AppendPlainDecimal(out, text)) v.SetText(text);  // NaN and the like stay as the driver wrote them
            return;
        }
        case ValueForm::SingleText: {
            float f = 0;
            if (text::ReadWholeNumber(text, f))
                v.SetDouble(static_cast<double>(f));
            else
                v.SetText(text);
            return;
        }
        case ValueForm::DateText: {
            DateTime d;
            if (ParseDateText(text, d))
                v.SetDate(d);
            else
                v.SetText(text);
            return;
        }
    }
}

namespace {
// Reads a value of any length in chunks.  A truncated chunk fills the
// buffer but for the terminator; the indicator then tells how much is
// left, when the driver knows.
template <typename Unit>
void ReadLong(const Statement& stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<Unit>& buffer, ValueForm form,
              Variant& v) {
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
        size_t rest =
            indicator == SQL_NO_TOTAL ? buffer.size() : static_cast<size_t>(indicator) / sizeof(Unit) - usable;
        buffer.resize(count + rest + terminator);
    }
    StoreValue(form, buffer.data(), count * sizeof(Unit), v);
}
}  // namespace

void ValueReader::Read(const Statement& stmt, SQLUSMALLINT column, ValueForm form, Variant& v) {
    SQLSMALLINT cType = CTypeFor(form);
    if (form == ValueForm::Text && utf8Text_) {
        ReadLong(stmt, column, SQL_C_BINARY, bytes_, ValueForm::Binary, v);
        if (!v.IsNull()) v.TextBuffer(VarKind::Text);
    } else if (IsFixed(form)) {
        FixedValue value{};
        SQLLEN indicator = 0;
        stmt.Check(SQLGetData(stmt.Get(), column, cType, &value, sizeof value, &indicator), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            v.SetNull();
        else
            StoreValue(form, &value, sizeof value, v);
    } else if (form == ValueForm::Text) {
        ReadLong(stmt, column, cType, wide_, form, v);
    } else {
        ReadLong(stmt, column, cType, form == ValueForm::Binary ? bytes_ : narrow_, form, v);
    }
}

}  // namespace qarn::ado::odbc
