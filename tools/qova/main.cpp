// qova: the command-line face of the xqova library. Lists and describes the
// built-in classes, decodes object encodings and message frames into tables,
// XML or JSON, encodes objects and frames from member values, and splits
// byte streams into frames.
#include <algorithm>
#include <exception>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#if defined(_WIN32)
#include <io.h>
#define QOVA_STDOUT_IS_TERMINAL() (_isatty(_fileno(stdout)) != 0)
#else
#include <unistd.h>
#define QOVA_STDOUT_IS_TERMINAL() (isatty(STDOUT_FILENO) != 0)
#endif

#include "tools/qova/bytes_io.h"
#include "tools/qova/catalog.h"
#include "tools/qova/commands.h"
#include "tools/qova/messages.h"
#include "tools/qova/render.h"
#include "xqova/core/limits.h"
#include "xqova/version.h"

namespace {

using qova::Bytes;
using qova::Failure;

struct InputOptions {
    std::string file = "-";
    bool hex = false;
    bool binary = false;

    void Add(CLI::App* command, const std::string& what) {
        command->add_option("file", file, what + " to read; - for standard input")->capture_default_str();
        auto* h = command->add_flag("--hex", hex, "the input is hex text (pairs of digits, spaces allowed) or an xxd dump");
        auto* b = command->add_flag("--binary", binary,
                                    "the input is binary (by default hex text and xxd dumps are recognised)");
        h->excludes(b);
    }
    Bytes Read() const {
        const qova::InputForm form = hex ? qova::InputForm::kHex
                                         : binary ? qova::InputForm::kBinary : qova::InputForm::kAuto;
        return qova::DecodeInput(qova::ReadInput(file), form);
    }
};

struct OutputOptions {
    std::string file;
    bool hex = false;

    void Add(CLI::App* command) {
        command->add_option("-o,--output", file,
                            "write the bytes to FILE (- for standard output; a terminal gets hex text)");
        command->add_flag("--hex", hex, "write hex text (the default without -o; not to a FILE ending .bin)");
    }
    void Write(const Bytes& bytes) const {
        std::string note;
        const qova::OutputForm form = qova::ChooseOutput(file, hex, QOVA_STDOUT_IS_TERMINAL(), &note);
        if (form == qova::OutputForm::kBytes) return qova::WriteOutput(file, bytes);
        const std::string text = qova::FormatHex(bytes);
        if (file.empty() || file == "-") {
            std::cout << text;
        } else {
            qova::WriteOutput(file, text);
        }
        if (!note.empty()) std::cerr << "qova: note: " << note << "\n";
    }
};

void Warn(const std::string& warning) {
    if (!warning.empty()) std::cerr << "qova: warning: " << qova::TerminalSafe(warning) << "\n";
}

// Text for people: names and texts from devices and definition files are
// shown with their control characters escaped (see TerminalSafe).
void Print(const std::string& text) { std::cout << qova::TerminalSafe(text); }

// The exact bytes of a document, unless they would reach a terminal.
void PrintExact(const std::string& text) {
    if (QOVA_STDOUT_IS_TERMINAL()) {
        Print(text);
    } else {
        std::cout << text;
    }
}

int Run(int argc, char** argv) {
    CLI::App app{"qova: inspect, decode and encode xqova objects and message frames", "qova"};
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", XQOVA_VERSION, "print the version of qova and the library, then exit");
    app.footer(
        "Classes are named as qova classes lists them (CNIBPDStd), by hex identifier (0x00050000) or by "
        "family/genus/species (5/0/0).\nExit status: 0 success, 1 input or value refused, 2 command line error.");
    std::vector<std::string> definitionFiles;
    // Each --definitions takes one file and may stand anywhere on the
    // command line: they are taken out before the rest is parsed, so that
    // one after the subcommand never takes its input file with it.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            args.insert(args.end(), argv + i, argv + argc);
            break;
        }
        if (arg == "--definitions" && i + 1 < argc) {
            definitionFiles.push_back(argv[++i]);
        } else if (arg.compare(0, 14, "--definitions=") == 0) {
            definitionFiles.push_back(arg.substr(14));
        } else {
            args.push_back(arg);
        }
    }
    std::string shownOnly;
    app.add_option("--definitions", shownOnly,
                   "add the class definitions in FILE (definition blocks back to back) to the built-in ones; "
                   "one file each time, before or after the subcommand")
        ->type_name("FILE");
    std::uint32_t maxObjects = xqova::kDefaultObjectBudget;
    std::uint64_t maxBytes = xqova::kDefaultByteBudget;
    app.add_option("--max-objects", maxObjects, "most objects that building one object may create")
        ->capture_default_str();
    app.add_option("--max-bytes", maxBytes, "most bytes that building one object may allocate")
        ->capture_default_str();

    std::function<int(qova::Catalog&)> action;

    // classes
    auto* classes = app.add_subcommand("classes", "list every class: name, identifier, version, members, dictionary");
    bool classesJson = false;
    classes->add_flag("--json", classesJson, "write JSON");
    classes->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            Print(classesJson ? qova::DumpJson(qova::ClassesJson(catalog)) : qova::RenderClasses(catalog));
            return 0;
        };
    });

    // describe
    std::string describeClass;
    auto* describe = app.add_subcommand(
        "describe", "a class's members (types, bytes, versions, units, scale), species and enumerations");
    describe->add_option("class", describeClass, "the class")->required();
    bool describeJson = false;
    describe->add_flag("--json", describeJson, "write JSON");
    describe->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            const std::uint32_t id = catalog.ResolveClass(describeClass);
            Print(describeJson ? qova::DumpJson(qova::DescriptionJson(catalog, id))
                               : qova::RenderDescription(catalog, id));
            return 0;
        };
    });

    // decode
    InputOptions decodeInput;
    bool decodeXml = false, decodeXmlUtf16 = false, decodeJson = false, decodeExact = false;
    auto* decode = app.add_subcommand("decode", "decode an object encoding into a table, XML or JSON");
    decodeInput.Add(decode, "the encoding");
    auto* xml = decode->add_flag("--xml", decodeXml, "write the object's XML document (8-bit)");
    auto* xml16 = decode->add_flag("--xml-utf16", decodeXmlUtf16,
                                   "write the object's UTF-16 XML document, converted to UTF-8");
    auto* json = decode->add_flag("--json", decodeJson, "write JSON");
    auto* exact = decode->add_flag("--exact", decodeExact,
                                   "with --xml or --xml-utf16: the library's exact document, names and texts "
                                   "unescaped (for trusted data; control characters are escaped on a terminal)");
    xml->excludes(xml16)->excludes(json);
    xml16->excludes(json);
    exact->excludes(json);
    decode->footer(
        "The encoding is checked before it is decoded: header, stated length, checksum, class, version, fixed "
        "section and every nested object and vector element. A refused encoding is named with its class, "
        "offset and the check it failed, and qova exits with status 1.");
    decode->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            if (decodeExact && !decodeXml && !decodeXmlUtf16) {
                throw Failure("--exact needs --xml or --xml-utf16", qova::kExitUsage);
            }
            const qova::ObjectOutput output =
                decodeXml        ? (decodeExact ? qova::ObjectOutput::kXmlExact : qova::ObjectOutput::kXml)
                : decodeXmlUtf16 ? (decodeExact ? qova::ObjectOutput::kXmlUtf16Exact : qova::ObjectOutput::kXmlUtf16)
                : decodeJson     ? qova::ObjectOutput::kJson
                                 : qova::ObjectOutput::kTable;
            std::string warning;
            const std::string text = qova::DecodeObject(catalog, decodeInput.Read(), output, &warning);
            if (decodeExact) {
                PrintExact(text);
            } else {
                Print(text);
            }
            Warn(warning);
            return 0;
        };
    });

    // encode
    qova::EncodeRequest request;
    OutputOptions encodeOutput;
    auto* encode = app.add_subcommand("encode", "build an object from member values and write its encoding");
    std::string encodeJson;
    auto* encodeClass = encode->add_option("class", request.className, "the class");
    encode->add_option("--json", encodeJson,
                       "build the object from a JSON document as decode --json writes it (- reads standard input)")
        ->excludes(encodeClass);
    encode->add_option("values", request.assignments,
                       "Member=value ... (Nested.Member=value sets a member of a nested object)");
    encode->add_option("--species", request.species, "another species the class's definition serves (code or name)");
    encode->add_option("--version", request.version, "the object's version (default: the definition's)")
        ->check(CLI::Range(0, 0xFFFE));
    encode->add_flag("--valid", request.valid, "set the valid flag");
    encode->add_flag("--dirty", request.dirty, "set the dirty flag");
    encode->add_flag("--force", request.force,
                     "take numbers that have no name in the member's enumeration or bits, and times off the "
                     "calendar, as they are");
    encodeOutput.Add(encode);
    encode->footer(
        "Values: numbers (decimal or 0x hex), enumerator names (MODE_ADULT), bit names joined by | for BITMASK "
        "members, text, times as \"2024/03/05 06:07:08 09\", arrays as comma lists (1,2,3), NaN, Infinity and "
        "-Infinity for floats. Members left out stay zero or empty.\nEach value is checked against its member: "
        "the range of its type (1e50 does not fit a float32), a date of the calendar and a time of day, one of "
        "its enumerators or named bits (--force takes other numbers and times). A member given twice is "
        "refused.");
    encode->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            if (!encodeJson.empty()) {
                if (!request.assignments.empty() || request.valid || request.dirty || !request.species.empty() ||
                    request.version != 0xFFFF) {
                    throw qova::Failure("--json takes the whole object from the document: no values, flags, "
                                        "--species or --version beside it", qova::kExitUsage);
                }
                encodeOutput.Write(qova::EncodeJson(catalog, qova::ReadInput(encodeJson), request.force));
                return 0;
            }
            if (request.className.empty()) throw qova::Failure("encode needs a class, or --json FILE", qova::kExitUsage);
            encodeOutput.Write(qova::EncodeObject(catalog, request));
            return 0;
        };
    });

    // frame decode | encode
    auto* frame = app.add_subcommand("frame", "decode or encode one message frame (CConDStd, CConDDescriptor, "
                                              "CConDExtLst, CRNDZDStd)");
    frame->require_subcommand(1);
    InputOptions frameInput;
    bool frameXml = false, frameJson = false, frameExact = false;
    auto* frameDecode = frame->add_subcommand("decode", "decode a message frame into a table, XML or JSON");
    frameInput.Add(frameDecode, "the frame");
    auto* fx = frameDecode->add_flag("--xml", frameXml, "write the message's XML rendering");
    auto* fj = frameDecode->add_flag("--json", frameJson, "write JSON");
    auto* fe = frameDecode->add_flag("--exact", frameExact,
                                     "with --xml: the library's exact rendering, texts unescaped (for trusted data; "
                                     "control characters are escaped on a terminal)");
    fx->excludes(fj);
    fe->excludes(fj);
    frameDecode->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            if (frameExact && !frameXml) throw Failure("--exact needs --xml", qova::kExitUsage);
            const Bytes bytes = frameInput.Read();
            const qova::DecodedFrame decoded = qova::DecodeMessageFrame(catalog, bytes);
            if (frameXml && frameExact) {
                PrintExact(decoded.exactXml);
            } else if (frameXml) {
                Print(decoded.xml);
            } else if (frameJson) {
                Print(qova::DumpJson(decoded.document));
            } else {
                Print(qova::RenderFrameTable(decoded.document));
            }
            if (bytes.size() > decoded.size) {
                Warn(std::to_string(bytes.size() - decoded.size) + " bytes after the frame (from offset " +
                     std::to_string(decoded.size) + ") were not read");
            }
            return 0;
        };
    });
    std::string frameType;
    std::vector<std::string> frameFields;
    bool frameValid = false, frameDirty = false;
    OutputOptions frameOutput;
    auto* frameEncode = frame->add_subcommand("encode", "build a message from field values and write its frame");
    frameEncode->add_option("message", frameType, "CConDStd, CConDDescriptor, CConDExtLst or CRNDZDStd")->required();
    frameEncode->add_option("fields", frameFields, "Field=value ...");
    frameEncode->add_flag("--valid", frameValid, "set the valid flag");
    frameEncode->add_flag("--dirty", frameDirty, "set the dirty flag");
    frameOutput.Add(frameEncode);
    frameEncode->footer(
        "Fields: CConDStd DeviceGUID, SourceID, Reserved; CConDDescriptor Descriptor, Data; CConDExtLst "
        "ConnectionList (hex text of whole frames); CRNDZDStd DeviceGUID, RERVersion, Data; every message "
        "DataBitField. GUIDs as {7B57323E-D61A-4E3D-8EBC-C8658007BBCB}, byte lists as 1,2,255.");
    frameEncode->callback([&]() {
        action = [&](qova::Catalog&) {
            const std::uint8_t flags = static_cast<std::uint8_t>((frameValid ? 0x40 : 0) | (frameDirty ? 0x80 : 0));
            frameOutput.Write(qova::EncodeMessageFrame(frameType, frameFields, flags));
            return 0;
        };
    });

    // defs dump | compile
    qova::AddDefsCommands(app, action);

    // frames
    InputOptions framesInput;
    std::uint32_t maxFrame = xqova::kFrameStreamBufferSize;
    auto* frames = app.add_subcommand("frames", "split a byte stream into frames and report each one");
    framesInput.Add(frames, "the stream");
    frames->add_option("--max-frame", maxFrame, "largest frame to look for, in bytes")
        ->capture_default_str()
        ->check(CLI::Range(16u, 16u * 1024u * 1024u));
    bool framesJson = false, framesDecode = false;
    std::string framesSplit;
    frames->add_flag("--json", framesJson, "write the report as JSON");
    frames->add_flag("--decode", framesDecode, "show each sound frame's fields under it (objects and messages)");
    frames->add_option("--split", framesSplit,
                       "write each sound frame to a file of its own in DIR (made when missing), named "
                       "NNNN-Class-Species.bin by its number among the sound frames")
        ->type_name("DIR");
    frames->footer(
        "Each frame is reported with its offset, class, size and whether it is sound; a frame whose checksum "
        "fails is corrupt, one whose stated length runs past the next frame or the end is truncated, and bytes "
        "that belong to no frame are reported as skipped. Exit status 1 when anything was corrupt, truncated or "
        "skipped.");
    frames->callback([&]() {
        action = [&](qova::Catalog& catalog) {
            const Bytes stream = framesInput.Read();
            const qova::FrameScan scan = qova::ScanFrames(catalog, stream, maxFrame);
            std::vector<std::string> texts(framesDecode && !framesJson ? scan.events.size() : 0);
            std::vector<qova::Json> documents(framesDecode && framesJson ? scan.events.size() : 0);
            if (framesDecode) {
                for (std::size_t i = 0; i < scan.events.size(); ++i) {
                    const qova::FrameEvent& e = scan.events[i];
                    if (e.kind != qova::FrameEvent::kFrame) continue;
                    const Bytes bytes(stream.begin() + static_cast<std::ptrdiff_t>(e.offset),
                                      stream.begin() + static_cast<std::ptrdiff_t>(e.offset + e.size));
                    const qova::Json decoded = qova::DecodeFrameDocument(catalog, bytes);
                    if (framesJson) {
                        documents[i] = decoded;
                    } else if (!decoded.is_null()) {
                        texts[i] = decoded.contains("message") ? qova::RenderFrameTable(decoded)
                                                               : qova::RenderObjectTable(decoded);
                    }
                }
            }
            if (!framesSplit.empty()) qova::WriteFrameFiles(catalog, stream, scan, framesSplit);
            Print(framesJson ? qova::DumpJson(qova::FrameScanJson(catalog, scan, documents))
                             : qova::RenderFrameScan(catalog, scan, texts));
            return scan.Clean() ? 0 : qova::kExitRefused;
        };
    });

    try {
        std::reverse(args.begin(), args.end());  // CLI11 takes them last first
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        // Help and usage errors quote the command line back: escaped too.
        std::ostringstream out, err;
        const int code = app.exit(e, out, err);
        std::cout << qova::TerminalSafe(out.str());
        std::cerr << qova::TerminalSafe(err.str());
        return code == 0 ? 0 : qova::kExitUsage;
    }
    qova::Catalog catalog;
    catalog.SetBudget(maxObjects, maxBytes);
    for (const std::string& file : definitionFiles) catalog.AddDefinitions(qova::ReadInput(file), file);
    return action ? action(catalog) : qova::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const Failure& failure) {
        std::cout.flush();
        std::cerr << "qova: " << qova::TerminalSafe(failure.what()) << "\n";
        return failure.ExitCode();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "qova: " << qova::TerminalSafe(e.what()) << "\n";
        return qova::kExitRefused;
    } catch (...) {
        std::cerr << "qova: unexpected error\n";
        return qova::kExitRefused;
    }
}
