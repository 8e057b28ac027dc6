#include "common/kw_text.h"

namespace kw {

namespace {

const unsigned char CfgKey[10] = {0x05, 0x0B, 0x0E, 0x13, 0x02, 0x1A, 0x07, 0x1C, 0x0D, 0x19};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) { // codes 1 to 32
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

QByteArray StrToHex(const QByteArray& s) {
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(s.size() * 2);
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        out.append(digits[u >> 4]);
        out.append(digits[u & 0x0F]);
    }
    return out;
}

QByteArray HexToStr(const QByteArray& s) {
    QByteArray out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        while (i < n && HexValue(s[i]) < 0)
            ++i;
        if (i >= n)
            break;
        int value = HexValue(s[i]);
        if (i + 1 < n && HexValue(s[i + 1]) >= 0)
            value = value * 16 + HexValue(s[i + 1]);
        out.append(static_cast<char>(value));
        i += 2; // a non-digit after a lone digit is passed over with it
    }
    return out;
}

QByteArray CfgXor(const QByteArray& s) {
    QByteArray out(s);
    for (qsizetype k = 0; k < out.size(); ++k) {
        const qsizetype i = k + 1; // 1-based position
        out[k] = static_cast<char>(static_cast<unsigned char>(out[k]) ^ CfgKey[i % 10]);
    }
    return out;
}

QByteArray EncodeCfgText(const QByteArray& s) {
    return StrToHex(CfgXor(s));
}

QByteArray DecodeCfgText(const QByteArray& s) {
    return CfgXor(HexToStr(s));
}

QByteArray JoinCommaText(const TByteList& values) {
    QByteArray out;
    for (qsizetype v = 0; v < values.size(); ++v) {
        if (v > 0)
            out.append(',');
        const QByteArray& value = values[v];
        bool quote = false;
        for (char c : value)
            if (c == '"' || c == ',' || IsBlank(c)) {
                quote = true;
                break;
            }
        if (!quote) {
            out.append(value);
            continue;
        }
        out.append('"');
        for (char c : value) {
            if (c == '"')
                out.append('"');
            out.append(c);
        }
        out.append('"');
    }
    return out;
}

// Splitting: blanks (1..32) before the first value are skipped. A quoted value runs to its
// closing quote ("" inside is one quote; unterminated it runs to the end). An unquoted value
// runs up to the next comma or byte 0..32. After a value blanks are skipped; a comma is
// consumed with the blanks after it, and a comma that ends the text adds one empty value.
TByteList SplitCommaText(const QByteArray& text) {
    TByteList values;
    // A NUL ends the text, as it would end a C string.
    const qsizetype nul = text.indexOf('\0');
    const qsizetype n = nul >= 0 ? nul : text.size();
    qsizetype i = 0;
    while (i < n && IsBlank(text[i]))
        ++i;
    while (i < n) {
        QByteArray value;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        value.append('"');
                        i += 2;
                        continue;
                    }
                    ++i; // closing quote
                    break;
                }
                value.append(text[i]);
                ++i;
            }
        } else {
            while (i < n && text[i] != ',' && static_cast<unsigned char>(text[i]) > 32) {
                value.append(text[i]);
                ++i;
            }
        }
        values.append(value);
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i < n && text[i] == ',') {
            const bool last = (i == n - 1);
            ++i;
            while (i < n && IsBlank(text[i]))
                ++i;
            if (last)
                values.append(QByteArray());
        }
    }
    return values;
}

} // namespace kw
