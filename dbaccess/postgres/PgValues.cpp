#include "postgres/PgValues.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "ado/ConnectionString.h"
#include "ado/DataTypes.h"
#include "text/TextNumbers.h"

namespace qarn::ado::postgres {

namespace {

// "\x0a1b..." (hex output) into bytes; false when the text is not hex.
bool DecodeHex(std::string_view text, std::string& out) {
    if (text.size() % 2 != 0) return false;
    out.resize(text.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        int hi = text::HexDigitValue(text[2 * i]), lo = text::HexDigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<char>(hi << 4 | lo);
    }
    return true;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// bytea's escape output: "\\" is a backslash, "\ooo" an octal byte.
bool DecodeEscaped(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (i + 3 < text.size() && IsOctal(text[i + 1]) && IsOctal(text[i + 2]) && IsOctal(text[i + 3])) {
            out.push_back(static_cast<char>((text[i + 1] - '0') << 6 | (text[i + 2] - '0') << 3 | (text[i + 3] - '0')));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

void DecodeBytea(std::string_view text, Variant& v) {
    std::string& bytes = v.TextBuffer(VarKind::Binary);
    bool ok = text.size() >= 2 && text[0] == '\\' && text[1] == 'x' ? DecodeHex(text.substr(2), bytes)
                                                                    : DecodeEscaped(text, bytes);
    if (!ok) v.SetText(text);
}

using text::ReadWholeNumber;

// PostgreSQL writes the special floats as NaN, Infinity and -Infinity.
template <typename T>
bool ReadFloat(std::string_view text, T& out) {
    if (text == "NaN")
        out = std::numeric_limits<T>::quiet_NaN();
    else if (text == "Infinity")
        out = std::numeric_limits<T>::infinity();
    else if (text == "-Infinity")
        out = -std::numeric_limits<T>::infinity();
    else
        return ReadWholeNumber(text, out);
    return true;
}

// numeric's output: an optional '-', digits, and '.' with more digits.
bool IsPlainDecimal(std::string_view text) {
    size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            digits = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

}  // namespace

void DecodeValue(ValueForm form, std::string_view text, Variant& v) {
    switch (form) {
        case ValueForm::Int: {
            int64_t i = 0;
            if (ReadWholeNumber(text, i)) return v.SetInt(i);
            break;
        }
        case ValueForm::Float4: {
            float f = 0;
            if (ReadFloat(text, f)) return v.SetDouble(static_cast<double>(f));
            break;
        }
        case ValueForm::Float8: {
            double d = 0;
            if (ReadFloat(text, d)) return v.SetDouble(d);
            break;
        }
        case ValueForm::Numeric:
            if (IsPlainDecimal(text)) return v.SetDecimal(text);
            break;
        case ValueForm::Bool:
            if (text == "t" || text == "f") return v.SetBool(text == "t");
            break;
        case ValueForm::Bytea: return DecodeBytea(text, v);
        case ValueForm::DateTime: {
            DateTime d;
            if (ParseDateText(text, d)) return v.SetDate(d);
            break;
        }
        case ValueForm::Guid: return v.SetGuid(text);
        case ValueForm::Text: break;
    }
    v.SetText(text);
}

namespace {

[[noreturn]] void Mismatch(const BoundParameter& p) {
    throw AdoError(err::BadArguments,
                   "Parameter '" + p.name + "' holds a value of the wrong type: '" + p.value.ToText() + "'");
}

bool IsIntegerType(int32_t type) {
    switch (type) {
        case adTinyInt:
        case adSmallInt:
        case adInteger:
        case adBigInt:
        case adUnsignedTinyInt:
        case adUnsignedSmallInt:
        case adUnsignedInt:
        case adUnsignedBigInt: return true;
        default: return false;
    }
}

bool IsBinaryType(int32_t type) {
    return type == adBinary || type == adVarBinary || type == adLongVarBinary;
}

void AppendFloat(std::string& out, double d) {
    if (std::isnan(d))
        out += "NaN";
    else if (std::isinf(d))
        out += d > 0 ? "Infinity" : "-Infinity";
    else
        AppendShortestDouble(out, d);
}

std::string IntegerText(const BoundParameter& p) {
    const Variant& v = p.value;
    std::string out;
    switch (v.Kind()) {
        case VarKind::Int: AppendInt(out, v.AsInt()); return out;
        case VarKind::UInt: AppendUInt(out, v.AsUInt()); return out;
        case VarKind::Boolean: return v.AsBool() ? "1" : "0";
        case VarKind::Double: {
            double d = v.AsDouble();
            if (std::nearbyint(d) != d || std::fabs(d) >= 9223372036854775808.0) Mismatch(p);
            AppendInt(out, static_cast<int64_t>(d));
            return out;
        }
        default: {
            std::string_view text = Trim(v.AsText());
            int64_t i = 0;
            uint64_t u = 0;
            if (!ReadWholeNumber(text, i) && !ReadWholeNumber(text, u)) Mismatch(p);
            return std::string(text);
        }
    }
}

std::string FloatText(const BoundParameter& p) {
    const Variant& v = p.value;
    std::string out;
    switch (v.Kind()) {
        case VarKind::Double: AppendFloat(out, v.AsDouble()); return out;
        case VarKind::Int: AppendInt(out, v.AsInt()); return out;
        case VarKind::UInt: AppendUInt(out, v.AsUInt()); return out;
        case VarKind::Boolean: return v.AsBool() ? "1" : "0";
        default: {
            std::string_view text = Trim(v.AsText());
            double d = 0;
            if (!ReadFloat(text, d)) Mismatch(p);
            return std::string(text);
        }
    }
}

std::string BooleanText(const BoundParameter& p) {
    const Variant& v = p.value;
    if (v.IsTrue()) return "true";
    if (v.Kind() == VarKind::Text || v.Kind() == VarKind::Decimal) {
        std::string text = ToLower(Trim(v.AsText()));
        if (text != "false" && text != "0") Mismatch(p);
    }
    return "false";
}

// A date goes with the part its type holds: the date, the time of day, or both.
std::string DateText(const Variant& v, int32_t type) {
    std::string out;
    AppendDateText(out, v.AsDate());
    if (type == adDBDate)
        out.resize(out.find(' '));
    else if (type == adDBTime)
        out.erase(0, out.find(' ') + 1);
    return out;
}

}  // namespace

ParameterValue EncodeParameter(const BoundParameter& p) {
    ParameterValue out;
    const Variant& v = p.value;
    if (v.IsNull() || v.IsEmpty()) return out;
    out.isNull = false;
    if (IsBinaryType(p.type) || v.Kind() == VarKind::Binary) {
        out.binary = true;
        out.data = v.Kind() == VarKind::Binary ? v.AsText() : v.ToText();
    } else if (IsIntegerType(p.type)) {
        out.data = IntegerText(p);
    } else if (p.type == adSingle || p.type == adDouble) {
        out.data = FloatText(p);
    } else if (p.type == adBoolean || v.Kind() == VarKind::Boolean) {
        out.data = BooleanText(p);
    } else if (v.Kind() == VarKind::Date) {
        out.data = DateText(v, p.type);
    } else if (v.Kind() == VarKind::Double) {
        AppendFloat(out.data, v.AsDouble());
    } else {
        out.data = v.ToText();
    }
    return out;
}

}  // namespace qarn::ado::postgres
