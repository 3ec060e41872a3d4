#include "odbc/OdbcText.h"

#include <algorithm>
#include <cstdint>

namespace qarn::ado::odbc {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

size_t PutUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// Decodes one UTF-8 sequence at `pos`; a broken one yields U+FFFD and skips
// a single byte.
char32_t NextCodePoint(std::string_view s, size_t& pos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t len = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (len == 0 || pos + len > s.size()) {
        ++pos;
        return kReplacement;
    }
    char32_t c = lead & (0x7F >> len);
    for (size_t i = 1; i < len; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += len;
    return c;
}

}  // namespace

void AppendUtf8(std::string& out, const SQLWCHAR* text, size_t units) {
    size_t at = out.size();
    out.resize(at + units * 3);  // a UTF-16 unit never takes more than three bytes
    char* p = out.data() + at;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        p += PutUtf8(p, c);
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string ToUtf8(const SQLWCHAR* text, size_t units) {
    std::string out;
    AppendUtf8(out, text, units);
    return out;
}

std::string FromBuffer(const SQLWCHAR* buffer, size_t capacity, SQLLEN units) {
    // MDBTools counts the terminator in the length it reports.
    size_t length = std::min(static_cast<size_t>(std::max<SQLLEN>(units, 0)), capacity - 1);
    return ToUtf8(buffer, static_cast<size_t>(std::find(buffer, buffer + length, SQLWCHAR{0}) - buffer));
}

void ToUtf16(std::string_view text, std::vector<SQLWCHAR>& out) {
    out.clear();
    out.reserve(text.size() + 1);
    for (size_t pos = 0; pos < text.size();) {
        char32_t c = NextCodePoint(text, pos);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<SQLWCHAR>(0xD800 + (c >> 10)));
            out.push_back(static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<SQLWCHAR>(c));
        }
    }
    out.push_back(0);
}

std::vector<SQLWCHAR> ToUtf16(std::string_view text) {
    std::vector<SQLWCHAR> out;
    ToUtf16(text, out);
    return out;
}

}  // namespace qarn::ado::odbc
