#include "tools/qova/bytes_io.h"

#include "xqova/core/xml_chars.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

namespace qova {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':' || c == ',' || c == '-';
}

// A "0x" that stands before a run of digits (and not inside one).
bool IsHexPrefix(const std::string& text, std::size_t i) {
    return text[i] == '0' && i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
           HexDigit(text[i + 2]) >= 0 && (i == 0 || IsSeparator(text[i - 1]));
}

}  // namespace

Bytes ReadInput(const std::string& path, std::size_t limit) {
    Bytes bytes;
    if (path == "-") {
        char c;
        while (std::cin.get(c)) {
            bytes.push_back(static_cast<unsigned char>(c));
            if (bytes.size() > limit) throw Failure("standard input is larger than " + std::to_string(limit) + " bytes");
        }
        return bytes;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Failure("cannot open " + path + ": " + std::strerror(errno));
    char buffer[65536];
    while (file) {
        file.read(buffer, sizeof buffer);
        const std::streamsize got = file.gcount();
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > limit) throw Failure(path + " is larger than " + std::to_string(limit) + " bytes");
    }
    if (file.bad()) throw Failure("cannot read " + path);
    return bytes;
}

std::string TerminalSafe(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        std::uint32_t cp = 0;
        std::size_t length = 1;
        if (!xqova::DecodeUtf8Sequence(s + i, n - i, &cp, &length)) {
            out += "\\x";
            out += kHex[s[i] >> 4];
            out += kHex[s[i] & 0xF];
            ++i;
            continue;
        }
        if ((cp < 0x20 && cp != '\t' && cp != '\n') || (cp >= 0x7F && cp < 0xA0)) {
            out += "\\u00";
            out += kHex[cp >> 4];
            out += kHex[cp & 0xF];
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

void WriteOutput(const std::string& path, const Bytes& bytes) {
    if (path == "-") {
        std::cout.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (!std::cout) throw Failure("cannot write to standard output");
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw Failure("cannot create " + path + ": " + std::strerror(errno));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw Failure("cannot write " + path);
}

void WriteOutput(const std::string& path, const std::string& text) {
    WriteOutput(path, Bytes(text.begin(), text.end()));
}

bool LooksLikeHex(const Bytes& input) {
    std::size_t digits = 0;
    const std::string text(input.begin(), input.end());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHexPrefix(text, i)) {
            ++i;
            continue;
        }
        if (HexDigit(text[i]) >= 0) {
            ++digits;
        } else if (!IsSeparator(text[i])) {
            return false;
        }
    }
    return digits >= 2;
}

Bytes ParseHex(const std::string& text) {
    Bytes bytes;
    int high = -1;
    std::size_t highAt = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (high < 0 && IsHexPrefix(text, i)) {
            ++i;
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) {
            if (IsSeparator(c) && high < 0) continue;
            if (IsSeparator(c)) {
                throw Failure("hex text: a lone digit at offset " + std::to_string(highAt) +
                              " (bytes are written as digit pairs)");
            }
            char shown[8];
            std::snprintf(shown, sizeof shown, (c >= 0x20 && c < 0x7F) ? "'%c'" : "0x%02X",
                          static_cast<unsigned char>(c));
            throw Failure(std::string("hex text: unexpected character ") + shown + " at offset " + std::to_string(i));
        }
        if (high < 0) {
            high = digit;
            highAt = i;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) {
        throw Failure("hex text: a lone digit at offset " + std::to_string(highAt) +
                      " (bytes are written as digit pairs)");
    }
    return bytes;
}

Bytes DecodeInput(const Bytes& input, InputForm form) {
    if (form == InputForm::kHex || (form == InputForm::kAuto && LooksLikeHex(input))) {
        return ParseHex(std::string(input.begin(), input.end()));
    }
    return input;
}

std::string FormatHex(const unsigned char* bytes, std::size_t count, std::size_t perLine) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) text += (perLine != 0 && i % perLine == 0) ? '\n' : ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    text += '\n';
    return text;
}

bool Utf8ToUtf16(const std::string& text, std::vector<std::uint16_t>* units) {
    units->clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        std::uint32_t cp = 0;
        std::size_t length = 1;
        if (!xqova::DecodeUtf8Sequence(s + i, n - i, &cp, &length)) return false;
        unsigned short out[2];
        units->insert(units->end(), out, out + xqova::EncodeUtf16(cp, out));
        i += length;
    }
    return true;
}

std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        unsigned char out[4];
        text.append(reinterpret_cast<const char*>(out), xqova::EncodeUtf8(cp, out));
    }
    return text;
}

std::string HexId(std::uint32_t classId) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(classId));
    return text;
}

}  // namespace qova
