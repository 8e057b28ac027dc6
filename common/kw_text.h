#pragma once
// Byte-level text helpers of the settings file: hexadecimal, the XOR scrambling and the
// comma-separated list with double-quote quoting. All of them work on raw bytes (the UTF-8
// form of the program's text).

#include <QByteArray>
#include <QList>

namespace kw {

using TByteList = QList<QByteArray>;

// Two upper-case hex digits per byte, high half first.
QByteArray StrToHex(const QByteArray& s);
// Hex digits to bytes; non-digits are skipped, a lone digit before a non-digit is one byte.
QByteArray HexToStr(const QByteArray& s);
// byte at 1-based position i XOR CfgKey[i mod 10]; applying it twice gives the input back.
QByteArray CfgXor(const QByteArray& s);
QByteArray EncodeCfgText(const QByteArray& s);
QByteArray DecodeCfgText(const QByteArray& s);

// Joins values with commas; a value holding a quote, a comma or a byte 1..32 is quoted
// with inner quotes doubled.
QByteArray JoinCommaText(const TByteList& values);
// Splits a comma text; see the comments in the implementation for the exact rules.
TByteList SplitCommaText(const QByteArray& text);

} // namespace kw
