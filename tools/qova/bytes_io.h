// Byte input and output of the qova tool: files and standard streams, hex
// text, and the text conversions between UTF-8 and UTF-16.
#ifndef XQOVA_TOOLS_QOVA_BYTES_IO_H
#define XQOVA_TOOLS_QOVA_BYTES_IO_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qova {

using Bytes = std::vector<unsigned char>;

// What the tool reports to its user: the message goes to stderr as it stands
// and the process ends with `exitCode`.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message, int exitCode = 1)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// Exit codes: 0 success, 1 the input or a value was refused, 2 the command
// line itself was wrong.
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// Reads a whole file, or standard input for "-". Refuses inputs above
// `limit` bytes.
Bytes ReadInput(const std::string& path, std::size_t limit = 64u * 1024u * 1024u);

// Text made safe to show on a terminal: valid UTF-8 whose controls stay
// inert. Tab and line feed pass; every other C0 control (NUL included), DEL
// and every C1 control (U+0080 to U+009F) is shown as "\u00XX", and a byte
// that is not part of well-formed UTF-8 as "\xHH". Everything the tool prints
// for people passes through here.
std::string TerminalSafe(const std::string& text);

// Writes bytes to a file, or to standard output for "-".
void WriteOutput(const std::string& path, const Bytes& bytes);
void WriteOutput(const std::string& path, const std::string& text);

// How an input is to be read.
enum class InputForm { kAuto, kBinary, kHex };

// True when the bytes look like hex text: only hex digits, white space and
// the separators the parser passes over, and at least one digit pair.
bool LooksLikeHex(const Bytes& input);

// Hex digit pairs to bytes. White space, ':', ',', '-' and a "0x" before a
// run of digits are passed over; anything else, or an odd number of digits,
// throws Failure naming the offending position.
Bytes ParseHex(const std::string& text);

// True when the bytes are a dump in xxd's default form: lines of an
// offset ("00000010:"), groups of hex digits and a column of characters,
// the offsets counting the bytes of the lines before.
bool LooksLikeXxd(const Bytes& input);
// The bytes of such a dump; throws Failure naming the line that does not fit.
Bytes ParseXxd(const std::string& text);

// The bytes of `input` as `form` says, auto detecting xxd dumps and hex
// text (an xxd dump is taken as hex text too).
Bytes DecodeInput(const Bytes& input, InputForm form);

// How bytes meant as output are written. To a file named by -o: the bytes,
// or hex text with --hex (refused for a name ending ".bin", which names the
// bytes). To standard output without -o: hex text. To standard output by
// "-o -": the bytes, unless it is a terminal, which gets hex text and
// `note` a line saying so.
enum class OutputForm { kBytes, kHex };
OutputForm ChooseOutput(const std::string& file, bool hex, bool stdoutIsTerminal, std::string* note);

// Upper-case hex pairs separated by spaces, `perLine` pairs per line (0: one
// line), ending with a newline.
std::string FormatHex(const unsigned char* bytes, std::size_t count, std::size_t perLine = 16);
inline std::string FormatHex(const Bytes& bytes, std::size_t perLine = 16) {
    return FormatHex(bytes.data(), bytes.size(), perLine);
}

// UTF-8 to UTF-16 code units; false on ill-formed input (overlong forms,
// surrogates, code points above U+10FFFF, cut sequences).
bool Utf8ToUtf16(const std::string& text, std::vector<std::uint16_t>* units);
// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count);

// "0x00050000".
std::string HexId(std::uint32_t classId);

}  // namespace qova

#endif
