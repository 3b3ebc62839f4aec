#include "tools/qova/encoding_check.h"

#include <cstdio>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/limits.h"
#include "xqova/dictionary/definition.h"

namespace qova {

namespace {

constexpr std::uint32_t kAnyClass = 0xFFFFFFFFu;

std::string Hex16(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v));
    return text;
}

std::string MemberName(const void* definition, std::uint16_t position) {
    const char* name = xqova::DefinitionText(definition, position);
    return name != nullptr && name[0] != '\0' ? std::string(name) : "#" + std::to_string(position);
}

// Fixed section bytes of the members in version `version`.
std::size_t FixedSectionSize(const void* definition, std::uint16_t version) {
    std::size_t size = 0;
    xqova::MemberWalker walker(definition);
    xqova::MemberRecord record;
    while (walker.Next(&record)) {
        if (!record.InVersion(version)) continue;
        if ((record.type & xqova::kTypeWidthMask) == xqova::kTypeObject) continue;
        if (record.type & xqova::kTypeUnbounded) continue;
        const std::size_t element = xqova::ElementSize(record.type);
        size += (record.type & xqova::kTypeFixedArray) ? element * record.fixedCount : element;
    }
    return size;
}

class Checker {
public:
    Checker(Catalog& catalog, const unsigned char* input) : catalog_(catalog), input_(input) {}

    // Checks the encoding at `at`, of which `available` bytes exist. On
    // success `header` holds its header (and its total size).
    bool Encoding(const unsigned char* at, std::size_t available, unsigned depth, const std::string& path,
                  EncodingHeader* header) {
        const std::size_t offset = static_cast<std::size_t>(at - input_);
        classRead_ = false;
        if (depth >= xqova::kMaxNestingDepth) {
            return Fail(Check::kTooDeep, offset, path,
                        "objects are nested more than " + std::to_string(xqova::kMaxNestingDepth - 1) +
                            " levels deep");
        }
        if (available < 4) {
            return Fail(Check::kHeader, offset, path,
                        "too short for its header: " + std::to_string(available) +
                            " bytes, the class identifier alone takes 4");
        }
        header->classId = ReadInt32(at);
        classRead_ = true;
        classId_ = header->classId;
        header->width = xqova::LengthFieldWidth(header->classId);
        const std::size_t headerSize = 4 + header->width;
        if (available < headerSize) {
            return Fail(Check::kHeader, offset, path,
                        "too short for its header: " + std::to_string(available) + " bytes, the header takes " +
                            std::to_string(headerSize));
        }
        const std::uint64_t stated = header->width == 4 ? ReadInt32(at + 4) : ReadInt16(at + 4);
        const std::uint64_t total = stated + headerSize;
        if (total > available) {
            return Fail(Check::kLength, offset, path,
                        "stated length " + std::to_string(stated) + " runs past the input: the encoding would be " +
                            std::to_string(total) + " bytes, " + std::to_string(available) + " are there");
        }
        const std::size_t minimum = headerSize + 7;
        if (total < minimum) {
            return Fail(Check::kTooSmall, offset, path,
                        "stated length " + std::to_string(stated) + " is too small: an encoding takes at least " +
                            std::to_string(minimum) + " bytes (header, version, status, fixed size, checksum)");
        }
        header->total = static_cast<std::size_t>(total);
        const std::size_t end = header->total - 2;
        if (!xqova::ChecksumHolds(at, static_cast<std::uint32_t>(end))) {
            return Fail(Check::kChecksum, offset, path,
                        "checksum mismatch: stored " + Hex16(ReadInt16(at + end)) + " at offset " +
                            std::to_string(offset + end) + ", the bytes before it give " +
                            Hex16(CalculateCRC(at, static_cast<std::uint32_t>(end))));
        }
        header->version = ReadInt16(at + headerSize);
        header->status = at[headerSize + 2];
        header->fixedSize = ReadInt16(at + headerSize + 3);

        const void* definition = catalog_.Definition(header->classId);
        if (definition == nullptr) {
            return Fail(Check::kUnknownClass, offset, path, "unknown class: the dictionary has no definition for it");
        }
        const std::uint16_t known = DefinitionVersion(definition);
        if (header->version > known) {
            return Fail(Check::kNewerVersion, offset, path,
                        "version " + std::to_string(header->version) +
                            " is newer than the dictionary's definition (version " + std::to_string(known) + ")");
        }
        const std::size_t fixedNeeded = FixedSectionSize(definition, header->version);
        if (header->fixedSize != fixedNeeded) {
            return Fail(Check::kFixedSection, offset, path,
                        "fixed section of " + std::to_string(header->fixedSize) + " bytes, version " +
                            std::to_string(header->version) + " of the class has " + std::to_string(fixedNeeded));
        }
        std::size_t cursor = headerSize + 5 + header->fixedSize;
        if (cursor > end) {
            return Fail(Check::kMemberData, offset, path,
                        "the fixed section runs past the checksum at offset " + std::to_string(offset + end));
        }
        return Members(at, end, cursor, definition, header->version, depth, path, header->classId);
    }

    EncodingProblem problem;

private:
    bool Fail(Check check, std::size_t offset, const std::string& path, const std::string& detail) {
        problem.check = check;
        problem.offset = offset;
        problem.classId = classId_;
        problem.classRead = classRead_;
        problem.path = path;
        problem.detail = detail;
        return false;
    }

    // The variable section, from `cursor` up to `end` (the checksum).
    bool Members(const unsigned char* at, std::size_t end, std::size_t cursor, const void* definition,
                 std::uint16_t version, unsigned depth, const std::string& path, std::uint32_t classId) {
        const std::size_t offset = static_cast<std::size_t>(at - input_);
        xqova::MemberWalker walker(definition);
        xqova::MemberRecord record;
        for (std::uint16_t position = 0; walker.Next(&record); ++position) {
            if (!record.InVersion(version)) continue;
            const bool object = (record.type & xqova::kTypeWidthMask) == xqova::kTypeObject;
            const bool unbounded = (record.type & xqova::kTypeUnbounded) != 0;
            if (!object && !unbounded) continue;
            const std::string name = MemberName(definition, position);
            const std::string where = path.empty() ? name : path + "." + name;
            auto restore = [&]() {
                classId_ = classId;
                classRead_ = true;
            };
            if (!object) {
                if (end - cursor < 2) return Overrun(offset, cursor, path, name, 2);
                const std::size_t n = ReadInt16(at + cursor);
                if (end - cursor - 2 < n) return Overrun(offset, cursor, path, name, 2 + n);
                const std::size_t element = xqova::ElementSize(record.type);
                if (n % element != 0) {
                    return Fail(Check::kMemberData, offset, path,
                                "member " + name + " at offset " + std::to_string(offset + cursor) + " holds " +
                                    std::to_string(n) + " bytes, not a whole number of " + std::to_string(element) +
                                    "-byte elements");
                }
                cursor += 2 + n;
                continue;
            }
            if ((record.type & (xqova::kTypeUnbounded | xqova::kTypeFixedArray)) == 0) {
                // A single nested object: u32 size, then its encoding.
                if (end - cursor < 4) return Overrun(offset, cursor, path, name, 4);
                const std::uint32_t stated = ReadInt32(at + cursor);
                EncodingHeader nested;
                if (!Encoding(at + cursor + 4, end - cursor - 4, depth + 1, where, &nested)) return false;
                restore();
                if (nested.classId != record.memberClass) {
                    return Fail(Check::kNestedClass, offset, path,
                                "member " + name + " at offset " + std::to_string(offset + cursor) + " holds " +
                                    catalog_.Describe(nested.classId) + ", its definition names " +
                                    catalog_.Describe(record.memberClass));
                }
                if (stated != nested.total) {
                    return Fail(Check::kNestedSize, offset, path,
                                "member " + name + " at offset " + std::to_string(offset + cursor) + " states " +
                                    std::to_string(stated) + " bytes, its encoding is " +
                                    std::to_string(nested.total));
                }
                cursor += 4 + nested.total;
                continue;
            }
            // A vector: u16 count, then the elements, each after a u16 size
            // when the vector is of a named class and grows.
            if (end - cursor < 2) return Overrun(offset, cursor, path, name, 2);
            const std::uint16_t count = ReadInt16(at + cursor);
            const bool named = record.memberClass != kAnyClass;
            const std::uint16_t fixedCount = (record.type & xqova::kTypeFixedArray) ? record.fixedCount : 0;
            if (xqova::MemberType::VectorIsFixed(record.memberClass, fixedCount) && count != record.fixedCount) {
                return Fail(Check::kVectorCount, offset, path,
                            "vector " + name + " at offset " + std::to_string(offset + cursor) + " holds " +
                                std::to_string(count) + " elements, its fixed count is " +
                                std::to_string(record.fixedCount));
            }
            const bool prefixed = xqova::MemberType::VectorHasSizePrefixes(record.memberClass, fixedCount);
            cursor += 2;
            for (std::uint16_t i = 0; i < count; ++i) {
                const std::string element = where + "[" + std::to_string(i) + "]";
                std::uint16_t stated = 0;
                if (prefixed) {
                    if (end - cursor < 2) return Overrun(offset, cursor, path, name, 2);
                    stated = ReadInt16(at + cursor);
                    cursor += 2;
                }
                EncodingHeader nested;
                if (!Encoding(at + cursor, end - cursor, depth + 1, element, &nested)) return false;
                restore();
                if (named && nested.classId != record.memberClass) {
                    return Fail(Check::kNestedClass, offset, path,
                                "element " + std::to_string(i) + " of vector " + name + " at offset " +
                                    std::to_string(offset + cursor) + " holds " + catalog_.Describe(nested.classId) +
                                    ", the vector holds " + catalog_.Describe(record.memberClass));
                }
                if (prefixed && stated != nested.total) {
                    return Fail(Check::kNestedSize, offset, path,
                                "element " + std::to_string(i) + " of vector " + name + " at offset " +
                                    std::to_string(offset + cursor) + " states " + std::to_string(stated) +
                                    " bytes, its encoding is " + std::to_string(nested.total));
                }
                cursor += nested.total;
            }
        }
        if (cursor != end) {
            return Fail(Check::kLayout, offset, path,
                        std::to_string(end - cursor) + " bytes at offset " + std::to_string(offset + cursor) +
                            " belong to no member (the checksum stands at offset " + std::to_string(offset + end) +
                            ")");
        }
        return true;
    }

    bool Overrun(std::size_t offset, std::size_t cursor, const std::string& path, const std::string& name,
                 std::size_t needed) {
        return Fail(Check::kMemberData, offset, path,
                    "member " + name + " at offset " + std::to_string(offset + cursor) + " needs " +
                        std::to_string(needed) + " bytes, the encoding ends before them");
    }

    Catalog& catalog_;
    const unsigned char* input_;
    std::uint32_t classId_ = kAnyClass;
    bool classRead_ = false;
};

}  // namespace

const char* CheckName(Check check) {
    switch (check) {
        case Check::kNone: return "none";
        case Check::kHeader: return "too short for its header";
        case Check::kLength: return "stated length beyond the input";
        case Check::kTooSmall: return "stated length too small";
        case Check::kChecksum: return "checksum mismatch";
        case Check::kUnknownClass: return "unknown class";
        case Check::kNewerVersion: return "newer version than the dictionary knows";
        case Check::kFixedSection: return "fixed section size";
        case Check::kMemberData: return "member data";
        case Check::kNestedSize: return "nested size";
        case Check::kNestedClass: return "nested class";
        case Check::kVectorCount: return "vector count";
        case Check::kLayout: return "bytes outside the members";
        case Check::kTooDeep: return "nested too deep";
    }
    return "?";
}

EncodingProblem CheckEncoding(Catalog& catalog, const unsigned char* bytes, std::size_t length,
                              EncodingHeader* header) {
    Checker checker(catalog, bytes);
    EncodingHeader local;
    if (header == nullptr) header = &local;
    *header = EncodingHeader();
    checker.Encoding(bytes, length, 0, std::string(), header);
    if (!checker.problem.path.empty()) checker.problem.outerClassId = header->classId;
    return checker.problem;
}

std::string DescribeProblem(Catalog& catalog, const EncodingProblem& problem) {
    std::string text;
    if (!problem.path.empty()) {
        text = "in member " + problem.path + " of " + catalog.Describe(problem.outerClassId) + ": ";
    }
    text += problem.classRead ? catalog.Describe(problem.classId) : std::string("the encoding");
    text += " at offset " + std::to_string(problem.offset) + ": " + problem.detail;
    if (problem.check == Check::kUnknownClass && problem.classRead) {
        const std::uint16_t family = GetFamily(problem.classId);
        const std::uint8_t genus = GetGenus(problem.classId);
        if ((family == 30 && (genus == 0 || genus == 18)) || (family == 29 && genus == 0)) {
            text += " (it looks like a connection message frame: try qova frame decode)";
        }
    }
    return text;
}

}  // namespace qova
