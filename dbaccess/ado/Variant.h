#pragma once
// A nullable value as fields, parameters and row blocks hold it.
//
// Exact numbers (decimal, currency) keep their digits as text so that no
// digit is lost through a double; binary values keep their bytes in `text`.
// Setters reuse the text buffer, so a cursor that refills the same Variant
// row after row allocates nothing once the buffer is large enough.

#include <cstdint>
#include <string>
#include <string_view>

namespace qarn::ado {

enum class VarKind : uint8_t {
    Empty,  // no value at all (never assigned)
    Null,   // SQL NULL
    Boolean,
    Int,       // signed whole number
    UInt,      // unsigned whole number above the signed range
    Double,    // binary floating point (single values are widened exactly)
    Decimal,   // exact number, digits as text: "-123.4500"
    Currency,  // exact money amount, digits as text
    Text,      // UTF-8 text
    Binary,    // raw bytes in `text`
    Date,      // date and/or time of day
    Guid,      // text form of a GUID
};

// A calendar date with a time of day.  A time-only value has the date
// 1899-12-30 (day zero of the OLE date), a date-only value 00:00:00.
struct DateTime {
    int32_t year = 1899;
    uint8_t month = 12;
    uint8_t day = 30;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint32_t nanos = 0;  // fraction of the second, in nanoseconds

    bool operator==(const DateTime&) const = default;
};

class Variant {
public:
    Variant() = default;
    static Variant MakeNull() {
        Variant v;
        v.SetNull();
        return v;
    }
    static Variant FromBool(bool b) {
        Variant v;
        v.SetBool(b);
        return v;
    }
    static Variant FromInt(int64_t i) {
        Variant v;
        v.SetInt(i);
        return v;
    }
    static Variant FromDouble(double d) {
        Variant v;
        v.SetDouble(d);
        return v;
    }
    static Variant FromText(std::string_view s) {
        Variant v;
        v.SetText(s);
        return v;
    }
    static Variant FromDecimal(std::string_view s) {
        Variant v;
        v.SetDecimal(s);
        return v;
    }
    static Variant FromBinary(std::string_view bytes) {
        Variant v;
        v.SetBinary(bytes);
        return v;
    }
    static Variant FromDate(const DateTime& d) {
        Variant v;
        v.SetDate(d);
        return v;
    }

    VarKind Kind() const { return kind_; }
    bool IsNull() const { return kind_ == VarKind::Null; }
    bool IsEmpty() const { return kind_ == VarKind::Empty; }

    void SetEmpty() { kind_ = VarKind::Empty; }
    void SetNull() { kind_ = VarKind::Null; }
    void SetBool(bool b) {
        kind_ = VarKind::Boolean;
        num_.b = b;
    }
    void SetInt(int64_t i) {
        kind_ = VarKind::Int;
        num_.i = i;
    }
    void SetUInt(uint64_t u);
    void SetDouble(double d) {
        kind_ = VarKind::Double;
        num_.d = d;
    }
    void SetDecimal(std::string_view digits) { SetTextKind(VarKind::Decimal, digits); }
    void SetCurrency(std::string_view digits) { SetTextKind(VarKind::Currency, digits); }
    void SetText(std::string_view s) { SetTextKind(VarKind::Text, s); }
    void SetBinary(std::string_view bytes) { SetTextKind(VarKind::Binary, bytes); }
    void SetGuid(std::string_view s) { SetTextKind(VarKind::Guid, s); }
    void SetDate(const DateTime& d) {
        kind_ = VarKind::Date;
        date_ = d;
    }
    // Gives the buffer to a filler that writes text of `kind` in place.
    std::string& TextBuffer(VarKind kind) {
        kind_ = kind;
        return text_;
    }

    bool AsBool() const { return num_.b; }
    int64_t AsInt() const { return num_.i; }
    uint64_t AsUInt() const { return num_.u; }
    double AsDouble() const { return num_.d; }
    const std::string& AsText() const { return text_; }  // Text, Decimal, Currency, Binary, Guid
    const DateTime& AsDate() const { return date_; }

    // Whether the value counts as true: a true Boolean, a non-zero number,
    // or a text "true"/"-1"/"1" (any case).
    bool IsTrue() const;
    // Conversion to a 32-bit whole number as a return value needs it; throws
    // AdoError 13-style (type mismatch) when the value holds no number.
    int32_t ToInt32() const;
    // The plain display text: locale-independent numbers, True/False,
    // "yyyy-mm-dd hh:nn:ss[.fraction]", raw text; empty for Null and Empty.
    std::string ToText() const;

    bool operator==(const Variant& o) const;

private:
    void SetTextKind(VarKind k, std::string_view s) {
        kind_ = k;
        text_.assign(s.data(), s.size());
    }

    VarKind kind_ = VarKind::Empty;
    union {
        bool b;
        int64_t i;
        uint64_t u;
        double d;
    } num_{};
    DateTime date_{};
    std::string text_;
};

// Date and number text shared by the display text and the script writer.
// "yyyy-mm-dd hh:nn:ss", with ".fffffff" trimmed of trailing zeros when
// there is a fraction.
void AppendDateText(std::string& out, const DateTime& d);
// Shortest text that reads back to the same double (or float when single).
void AppendShortestDouble(std::string& out, double d, bool single = false);
void AppendInt(std::string& out, int64_t i);
void AppendUInt(std::string& out, uint64_t u);
// Parses "yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss[.f]", "yyyy-mm-ddThh:nn:ss[.f]"
// or "hh:nn:ss[.f]"; false when the text is not such a date.
bool ParseDateText(std::string_view s, DateTime& out);

}  // namespace qarn::ado
