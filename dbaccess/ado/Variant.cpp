#include "ado/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ado/AdoError.h"
#include "text/TextCase.h"

namespace qarn::ado {

namespace {
constexpr int32_t kTypeMismatch = 13;  // the run-time "Type mismatch"

bool ReadDigits(std::string_view s, size_t& pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool ReadTime(std::string_view s, size_t& pos, DateTime& d) {
    int h, m, sec;
    if (!ReadDigits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':') return false;
    if (!ReadDigits(s, pos, 2, m) || pos >= s.size() || s[pos++] != ':') return false;
    if (!ReadDigits(s, pos, 2, sec)) return false;
    if (h > 23 || m > 59 || sec > 59) return false;
    d.hour = static_cast<uint8_t>(h);
    d.minute = static_cast<uint8_t>(m);
    d.second = static_cast<uint8_t>(sec);
    d.nanos = 0;
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        uint32_t scale = 100000000;
        size_t start = pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            if (scale > 0) {
                d.nanos += static_cast<uint32_t>(s[pos] - '0') * scale;
                scale /= 10;
            } else if (s[pos] != '0') {
                return false;  // finer than a nanosecond: not ours to round
            }
            ++pos;
        }
        if (pos == start) return false;
    }
    return true;
}
}  // namespace

void Variant::SetUInt(uint64_t u) {
    if (u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        SetInt(static_cast<int64_t>(u));
    } else {
        kind_ = VarKind::UInt;
        num_.u = u;
    }
}

bool Variant::IsTrue() const {
    switch (kind_) {
        case VarKind::Boolean: return num_.b;
        case VarKind::Int: return num_.i != 0;
        case VarKind::UInt: return num_.u != 0;
        case VarKind::Double: return num_.d != 0.0;
        case VarKind::Decimal:
        case VarKind::Currency: return text_.find_first_of("123456789") != std::string::npos;
        case VarKind::Text: {
            return text::EqualsNoCase(text_, "true") || text_ == "-1" || text_ == "1";
        }
        case VarKind::Binary: return text_.find_first_not_of('\0') != std::string::npos;
        default: return false;
    }
}

int32_t Variant::ToInt32() const {
    auto fits = [](long double v) { return v >= -2147483648.0L && v <= 2147483647.0L; };
    switch (kind_) {
        case VarKind::Empty: return 0;
        case VarKind::Boolean: return num_.b ? -1 : 0;
        case VarKind::Int:
            if (fits(static_cast<long double>(num_.i))) return static_cast<int32_t>(num_.i);
            break;
        case VarKind::Double:
            if (std::isfinite(num_.d) && fits(std::nearbyint(num_.d)))
                return static_cast<int32_t>(std::nearbyint(num_.d));
            break;
        case VarKind::Decimal:
        case VarKind::Currency:
        case VarKind::Text: {
            const char* b = text_.data();
            char* end = nullptr;
            long double v = std::strtold(b, &end);
            if (end != b && fits(v)) return static_cast<int32_t>(std::nearbyint(static_cast<double>(v)));
            break;
        }
        default: break;
    }
    throw AdoError(kTypeMismatch, IsNull() ? "Invalid use of Null" : "Type mismatch");
}

std::string Variant::ToText() const {
    std::string out;
    switch (kind_) {
        case VarKind::Empty:
        case VarKind::Null: break;
        case VarKind::Boolean: out = num_.b ? "True" : "False"; break;
        case VarKind::Int: AppendInt(out, num_.i); break;
        case VarKind::UInt: AppendUInt(out, num_.u); break;
        case VarKind::Double: AppendShortestDouble(out, num_.d); break;
        case VarKind::Date: AppendDateText(out, date_); break;
        default: out = text_; break;
    }
    return out;
}

bool Variant::operator==(const Variant& o) const {
    if (kind_ != o.kind_) return false;
    switch (kind_) {
        case VarKind::Empty:
        case VarKind::Null: return true;
        case VarKind::Boolean: return num_.b == o.num_.b;
        case VarKind::Int: return num_.i == o.num_.i;
        case VarKind::UInt: return num_.u == o.num_.u;
        case VarKind::Double: return num_.d == o.num_.d || (std::isnan(num_.d) && std::isnan(o.num_.d));
        case VarKind::Date: return date_ == o.date_;
        default: return text_ == o.text_;
    }
}

void AppendDateText(std::string& out, const DateTime& d) {
    // Built in place and appended once: the script writer formats millions.
    char text[48];
    char* p = text;
    auto two = [&p](unsigned v) {
        *p++ = static_cast<char>('0' + (v / 10) % 10);
        *p++ = static_cast<char>('0' + v % 10);
    };
    if (d.year >= 0 && d.year <= 9999) {
        two(static_cast<unsigned>(d.year / 100));
        two(static_cast<unsigned>(d.year % 100));
    } else {
        p += std::snprintf(p, 16, "%04d", static_cast<int>(d.year));
    }
    *p++ = '-';
    two(d.month);
    *p++ = '-';
    two(d.day);
    *p++ = ' ';
    two(d.hour);
    *p++ = ':';
    two(d.minute);
    *p++ = ':';
    two(d.second);
    if (d.nanos != 0) {
        char frac[9];
        unsigned rest = d.nanos % 1000000000u;
        for (int i = 8; i >= 0; --i, rest /= 10) frac[i] = static_cast<char>('0' + rest % 10);
        int len = 9;
        while (len > 0 && frac[len - 1] == '0') --len;
        *p++ = '.';
        for (int i = 0; i < len; ++i) *p++ = frac[i];
    }
    out.append(text, static_cast<size_t>(p - text));
}

void AppendShortestDouble(std::string& out, double d, bool single) {
    char buf[64];
    std::to_chars_result r =
        single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(d)) : std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, r.ptr);
}

void AppendInt(std::string& out, int64_t i) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    out.append(buf, r.ptr);
}

void AppendUInt(std::string& out, uint64_t u) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, u);
    out.append(buf, r.ptr);
}

bool ParseDateText(std::string_view s, DateTime& out) {
    DateTime d;
    size_t pos = 0;
    if (s.size() >= 8 && s[2] == ':') {
        if (!ReadTime(s, pos, d) || pos != s.size()) return false;
        out = d;
        return true;
    }
    int y, m, day;
    if (!ReadDigits(s, pos, 4, y) || pos >= s.size() || s[pos++] != '-') return false;
    if (!ReadDigits(s, pos, 2, m) || pos >= s.size() || s[pos++] != '-') return false;
    if (!ReadDigits(s, pos, 2, day)) return false;
    if (m < 1 || m > 12 || day < 1 || day > 31) return false;
    d.year = y;
    d.month = static_cast<uint8_t>(m);
    d.day = static_cast<uint8_t>(day);
    d.hour = d.minute = d.second = 0;
    d.nanos = 0;
    if (pos < s.size()) {
        if (s[pos] != ' ' && s[pos] != 'T') return false;
        ++pos;
        if (!ReadTime(s, pos, d) || pos != s.size()) return false;
    }
    out = d;
    return true;
}

}  // namespace qarn::ado
