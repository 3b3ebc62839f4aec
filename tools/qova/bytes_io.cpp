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
        const auto [cp, length] = xqova::DecodeUtf8Sequence(s + i, n - i);
        if (length == 0) {
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

namespace {

// One line of an xxd dump: its offset, and the bytes of its hex groups
// appended to `bytes`. False when the line is not of that form.
bool XxdLine(const std::string& line, Bytes* bytes, std::size_t* offset) {
    std::size_t i = 0;
    unsigned long long value = 0;
    while (i < line.size() && HexDigit(line[i]) >= 0 && i < 16) value = value * 16 + static_cast<unsigned>(HexDigit(line[i++]));
    if (i < 4 || i >= line.size() || line[i] != ':' || i + 1 >= line.size() || line[i + 1] != ' ') return false;
    *offset = static_cast<std::size_t>(value);
    i += 2;
    // Groups of digit pairs, one space apart; two spaces (or the end) end them.
    const std::size_t before = bytes->size();
    while (i < line.size()) {
        if (line[i] == ' ') break;
        std::size_t digits = 0;
        while (i < line.size() && HexDigit(line[i]) >= 0) {
            ++digits;
            ++i;
        }
        if (digits == 0 || digits % 2 != 0) return false;
        for (std::size_t k = i - digits; k < i; k += 2) {
            bytes->push_back(static_cast<unsigned char>(HexDigit(line[k]) * 16 + HexDigit(line[k + 1])));
        }
        if (i < line.size()) {
            if (line[i] != ' ') return false;
            ++i;
        }
    }
    return bytes->size() > before;
}

}  // namespace

bool LooksLikeXxd(const Bytes& input) {
    try {
        ParseXxd(std::string(input.begin(), input.end()));
        return true;
    } catch (const Failure&) {
        return false;
    }
}

Bytes ParseXxd(const std::string& text) {
    Bytes bytes;
    std::size_t start = 0, number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++number;
        start = end + 1;
        if (line.empty()) continue;
        std::size_t offset = 0;
        const std::size_t expected = bytes.size();
        if (!XxdLine(line, &bytes, &offset) || offset != expected) {
            throw Failure("xxd dump: line " + std::to_string(number) + " is not an offset of " +
                          std::to_string(expected) + " and groups of hex digits");
        }
    }
    if (bytes.empty()) throw Failure("xxd dump: no bytes");
    return bytes;
}

Bytes DecodeInput(const Bytes& input, InputForm form) {
    if (form != InputForm::kBinary && LooksLikeXxd(input)) return ParseXxd(std::string(input.begin(), input.end()));
    if (form == InputForm::kHex || (form == InputForm::kAuto && LooksLikeHex(input))) {
        return ParseHex(std::string(input.begin(), input.end()));
    }
    return input;
}

OutputForm ChooseOutput(const std::string& file, bool hex, bool stdoutIsTerminal, std::string* note) {
    note->clear();
    const bool binName = file.size() > 4 && file.compare(file.size() - 4, 4, ".bin") == 0;
    if (hex && binName) {
        throw Failure("--hex writes text, and " + file + " names a binary file: leave out --hex, or name the "
                      "file otherwise", kExitUsage);
    }
    if (file.empty() || hex) return OutputForm::kHex;
    if (file == "-" && stdoutIsTerminal) {
        *note = "standard output is a terminal: the bytes are shown as hex text (redirect it, or give -o FILE, "
                "for the bytes)";
        return OutputForm::kHex;
    }
    return OutputForm::kBytes;
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
        const auto [cp, length] = xqova::DecodeUtf8Sequence(s + i, n - i);
        if (length == 0) return false;
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
