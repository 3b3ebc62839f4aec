// The compiled part of the Python package: dictionaries, objects read and
// written by member path, the binary, XML and JSON forms, and frames out of a
// byte stream. The package (xqova/__init__.py) puts a Python face on it.
//
// Ownership. A Dictionary holds its CXQOVADictionary through a shared_ptr.
// Every object built on it holds a Tree: the shared_ptr of the dictionary
// and the root object it owns. An Object seen from Python is a Tree and a
// pointer into it (the root, a nested object or a vector element), so a
// nested object keeps the whole tree alive and every tree keeps its
// dictionary alive, whatever references Python drops and in whatever order.
// The only calls that could destroy a nested object (resetting, clearing a
// vector) are not offered here.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "xqova/xqova.h"
#include "xqova/core/frame_header.h"
#include "xqova/dictionary/member_type.h"
#ifdef XQOVA_PYTHON_JSON
#include "xqova/json/definition_json.h"
#include "xqova/json/json.h"
#endif

namespace py = pybind11;

namespace {

// Python types defined by the package (xqova/__init__.py) and handed to the
// module once, at import.
struct PackageTypes {
    py::object decodeError;
    py::object time;
    py::object physical;
    py::object frame;
};

PackageTypes& Types() {
    // Deliberately never destroyed: Python objects must not be released
    // after the interpreter has gone.
    static PackageTypes* types = new PackageTypes();
    return *types;
}

// Decodes larger than this run with the interpreter lock released, so that
// other Python threads go on meanwhile.
constexpr std::size_t kReleaseLockFrom = 64 * 1024;

struct DictionaryHolder {
    CXQOVADictionary dictionary;
    explicit DictionaryHolder(void* base) : dictionary(base) {}
};

// One object tree built on a dictionary: the dictionary stays alive as long
// as the tree.
struct Tree {
    std::shared_ptr<DictionaryHolder> dictionary;
    xqova::DecodedObject decoded;                 // a tree from DecodeObject
    std::unique_ptr<CXQOVAObject> built;          // or one built otherwise
    CXQOVAObject* Root() const { return decoded ? decoded.Get() : built.get(); }
};

// An object as Python sees it: its tree and where in the tree it is.
class Object {
public:
    Object(std::shared_ptr<Tree> tree, CXQOVAObject* object) : tree_(std::move(tree)), object_(object) {}

    CXQOVAObject& Get() const { return *object_; }
    const std::shared_ptr<Tree>& tree() const { return tree_; }

private:
    std::shared_ptr<Tree> tree_;
    CXQOVAObject* object_;
};

std::string HexId(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

// Names and 8-bit texts cross to Python byte for byte: each byte is the code
// point of the same number (U+0000 to U+00FF), so no name a definition
// carries fails to convert, and str.encode("latin-1") gives the bytes back.
py::str Latin1(const char* bytes, std::size_t length) {
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeLatin1(bytes, static_cast<py::ssize_t>(length), nullptr));
}

std::string Latin1Bytes(const py::handle& text) {
    py::object bytes = py::reinterpret_steal<py::object>(PyUnicode_AsLatin1String(text.ptr()));
    if (!bytes) throw py::error_already_set();
    return bytes.cast<std::string>();
}

py::str ClassName(const CXQOVAObject& object) {
    const char* name = object.GetDefinition() == nullptr ? nullptr : xqova::DefinitionText(object.GetDefinition(), 0xFFFF);
    const std::string text = name != nullptr && name[0] != '\0' ? std::string(name) : HexId(object.ClassID());
    return Latin1(text.data(), text.size());
}

// The bytes of a bytes-like argument: a view that stays valid while `info`
// lives.
struct Input {
    py::buffer_info info;
    const unsigned char* data() const { return static_cast<const unsigned char*>(info.ptr); }
    std::size_t size() const { return static_cast<std::size_t>(info.size) * static_cast<std::size_t>(info.itemsize); }
};

// Only a C-contiguous buffer is taken (the exporter refuses any other with
// BufferError), so its bytes are read in the order the caller sees them.
Input BytesOf(const py::buffer& buffer) {
    auto* view = new Py_buffer();
    if (PyObject_GetBuffer(buffer.ptr(), view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        delete view;
        throw py::error_already_set();
    }
    return Input{py::buffer_info(view)};  // releases and frees the view
}

// ---- decoding ----------------------------------------------------------

const char* CheckCode(xqova::DecodeCheck check) {
    switch (check) {
        case xqova::DecodeCheck::kNone: return "none";
        case xqova::DecodeCheck::kHeader: return "header";
        case xqova::DecodeCheck::kLength: return "length";
        case xqova::DecodeCheck::kTooSmall: return "too_small";
        case xqova::DecodeCheck::kChecksum: return "checksum";
        case xqova::DecodeCheck::kUnknownClass: return "unknown_class";
        case xqova::DecodeCheck::kNewerVersion: return "newer_version";
        case xqova::DecodeCheck::kFixedSection: return "fixed_section";
        case xqova::DecodeCheck::kMemberData: return "member_data";
        case xqova::DecodeCheck::kNestedSize: return "nested_size";
        case xqova::DecodeCheck::kNestedClass: return "nested_class";
        case xqova::DecodeCheck::kVectorCount: return "vector_count";
        case xqova::DecodeCheck::kLayout: return "layout";
        case xqova::DecodeCheck::kTooDeep: return "too_deep";
        case xqova::DecodeCheck::kOutOfMemory: return "out_of_memory";
    }
    return "unknown";
}

[[noreturn]] void RaiseDecodeError(const xqova::DecodeReport& why) {
    std::string message = xqova::DecodeCheckName(why.check);
    message += " at offset " + std::to_string(why.offset);
    if (why.classRead) message += " (class " + HexId(why.classId) + ")";
    if (why.path[0] != '\0') message += std::string(" in ") + why.path;
    if (why.member[0] != '\0') message += std::string(", member ") + why.member;
    if (why.detail != nullptr) message += std::string(": ") + why.detail;
    if (why.found != 0 || why.expected != 0) {
        message += ": found " + std::to_string(why.found) + ", expected " + std::to_string(why.expected);
    }
    py::object error = Types().decodeError(message, CheckCode(why.check), why.offset, std::string(why.path),
                                           std::string(why.member), why.classRead ? py::object(py::int_(why.classId))
                                                                                  : py::object(py::none()),
                                           why.found, why.expected);
    PyErr_SetObject(Types().decodeError.ptr(), error.ptr());
    throw py::error_already_set();
}

// ---- member values -----------------------------------------------------

[[noreturn]] void RaisePathError(const xqova::MemberLocation& where, const std::string& path) {
    char text[512];
    xqova::FormatPathError(where, path, text, sizeof text);
    throw py::key_error(text);
}

// A path as the names' bytes; a path with a character beyond U+00FF names
// nothing.
bool PathBytes(const py::str& path, std::string* bytes) {
    py::object encoded = py::reinterpret_steal<py::object>(PyUnicode_AsLatin1String(path.ptr()));
    if (!encoded) {
        PyErr_Clear();
        return false;
    }
    *bytes = encoded.cast<std::string>();
    return true;
}

xqova::MemberLocation Find(const Object& object, const py::str& path) {
    std::string bytes;
    if (!PathBytes(path, &bytes)) throw py::key_error("no member has a character beyond U+00FF in its name");
    xqova::MemberLocation where = xqova::FindMember(&object.Get(), std::string_view(bytes));
    if (!where) RaisePathError(where, bytes);
    return where;
}

py::object TimeToPython(const QOVA_TIME& t) {
    return Types().time(t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction);
}

QOVA_TIME TimeFromPython(const py::handle& value) {
    QOVA_TIME t{};
    py::object v = py::reinterpret_borrow<py::object>(value);
    if (py::hasattr(v, "year") && py::hasattr(v, "microsecond")) {  // a datetime
        t.year = v.attr("year").cast<std::uint16_t>();
        t.month = v.attr("month").cast<std::uint8_t>();
        t.day = v.attr("day").cast<std::uint8_t>();
        t.hour = v.attr("hour").cast<std::uint8_t>();
        t.minute = v.attr("minute").cast<std::uint8_t>();
        t.second = v.attr("second").cast<std::uint8_t>();
        return t;
    }
    py::sequence fields = v.cast<py::sequence>();
    if (fields.size() != 7) throw py::type_error("a time is seven fields: year, month, day, hour, minute, second, fraction");
    t.year = fields[0].cast<std::uint16_t>();
    t.month = fields[1].cast<std::uint8_t>();
    t.day = fields[2].cast<std::uint8_t>();
    t.hour = fields[3].cast<std::uint8_t>();
    t.minute = fields[4].cast<std::uint8_t>();
    t.second = fields[5].cast<std::uint8_t>();
    t.fraction = fields[6].cast<std::uint8_t>();
    return t;
}

py::object Text(const xqova::MemberLocation& where) {
    const xqova::MemberType type(where.member->Type());
    if (where.element != xqova::kNoElement) throw py::type_error("a text member is read whole, without an index");
    // No built-in class has a member of one character; such a member is
    // left alone (listed without a value), like a 64-bit scalar.
    if (!type.IsArray()) throw py::value_error("a member of one character is not read from Python");
    if (type.Width() == 0) {
        const std::string_view text = xqova::ReadText(where).value_or(std::string_view());
        // 8-bit characters are the code points U+0000 to U+00FF.
        return Latin1(text.data(), text.size());
    }
    const unsigned short* units = *where.member;
    std::size_t length = 0;
    const std::size_t limit = where.member->Elements();
    while (units != nullptr && length < limit && units[length] != 0) ++length;
    const std::uint16_t one = 1;
    int order = *reinterpret_cast<const unsigned char*>(&one) == 1 ? -1 : 1;  // host order
    if (length == 0) return py::str("");
    return py::reinterpret_steal<py::object>(PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units),
                                                                   static_cast<py::ssize_t>(length * 2),
                                                                   "surrogatepass", &order));
}

py::object Scalar(const xqova::MemberLocation& where) {
    switch (where.Kind()) {
        case xqova::MemberKind::kSignedInteger:
        case xqova::MemberKind::kUnsignedInteger:
        case xqova::MemberKind::kBitmask: {
            const auto value = xqova::ReadInteger(where);
            if (!value) throw py::value_error("a 64-bit integer member is not read one by one");
            return py::int_(*value);
        }
        case xqova::MemberKind::kFloat: {
            const auto value = xqova::ReadNumber(where);
            if (!value) throw py::value_error("no value");
            return py::float_(*value);
        }
        case xqova::MemberKind::kTime: {
            const auto value = xqova::ReadTime(where);
            if (!value) throw py::value_error("no value");
            return TimeToPython(*value);
        }
        default:
            throw py::type_error("not a number or time member");
    }
}

py::object Value(const std::shared_ptr<Tree>& tree, xqova::MemberLocation where) {
    const xqova::MemberKind kind = where.Kind();
    const xqova::MemberType type(where.member->Type());
    switch (kind) {
        case xqova::MemberKind::kObject: {
            CXQOVAObject* nested = xqova::ObjectAt(where);
            return nested == nullptr ? py::object(py::none()) : py::cast(Object(tree, nested));
        }
        case xqova::MemberKind::kVector: {
            if (where.element != xqova::kNoElement) {
                CXQOVAObject* element = xqova::ObjectAt(where);
                return element == nullptr ? py::object(py::none()) : py::cast(Object(tree, element));
            }
            const CXQOVAVector* vector = *where.member;
            py::list items;
            for (std::uint16_t i = 0; vector != nullptr && i < vector->Size(); ++i) {
                CXQOVAObject* element = vector->At(i);
                items.append(element == nullptr ? py::object(py::none()) : py::cast(Object(tree, element)));
            }
            return std::move(items);
        }
        case xqova::MemberKind::kText:
            return Text(where);
        case xqova::MemberKind::kSignedInteger:
        case xqova::MemberKind::kUnsignedInteger:
        case xqova::MemberKind::kBitmask:
        case xqova::MemberKind::kFloat:
        case xqova::MemberKind::kTime: {
            if (!type.IsArray() || where.element != xqova::kNoElement) return Scalar(where);
            py::list items;
            const std::uint16_t count = where.member->Elements();
            for (std::uint16_t i = 0; i < count; ++i) {
                where.element = i;
                items.append(Scalar(where));
            }
            return std::move(items);
        }
        default:
            throw py::type_error("the member holds no value that can be read");
    }
}

// An integer for a member of `type`, refused when outside the member's range
// (the library itself would wrap it silently).
std::int64_t CheckedInteger(const py::handle& value, const xqova::MemberType& type) {
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value)) {
        throw py::type_error("an integer member takes an int");
    }
    const std::int64_t v = value.cast<std::int64_t>();
    const unsigned bits = type.Width() == 0 ? 8 : type.Width() == 1 ? 16 : type.Width() == 3 ? 32 : 64;
    if (bits == 64) throw py::value_error("64-bit integer members are not written from Python");
    const std::int64_t low = type.IsUnsigned() ? 0 : -(std::int64_t{1} << (bits - 1));
    const std::int64_t high = type.IsUnsigned() ? (std::int64_t{1} << bits) - 1 : (std::int64_t{1} << (bits - 1)) - 1;
    if (v < low || v > high) {
        throw py::value_error(std::to_string(v) + " is outside the member's range " + std::to_string(low) + ".." +
                              std::to_string(high));
    }
    return v;
}

template <class T>
std::uint8_t SetNumbers(CXQOVAObject& holder, std::uint16_t position, const py::sequence& values,
                        const xqova::MemberType& type) {
    std::vector<T> items;
    items.reserve(values.size());
    for (const py::handle& item : values) {
        if constexpr (std::is_floating_point<T>::value) {
            items.push_back(static_cast<T>(item.cast<double>()));
        } else if constexpr (std::is_same<T, QOVA_TIME>::value) {
            items.push_back(TimeFromPython(item));
        } else {
            items.push_back(static_cast<T>(CheckedInteger(item, type)));
        }
    }
    if (items.size() > 0xFFFF) throw py::value_error("a member holds at most 65535 elements");
    return holder.SetMemberAt(position, items.empty() ? static_cast<const T*>(nullptr) : items.data(),
                              static_cast<std::uint16_t>(items.size()));
}

std::uint8_t SetArray(CXQOVAObject& holder, std::uint16_t position, const py::sequence& values,
                      const xqova::MemberType& type) {
    if (type.IsTime()) return SetNumbers<QOVA_TIME>(holder, position, values, type);
    if (type.IsFloat()) {
        return type.Width() == 7 ? SetNumbers<double>(holder, position, values, type)
                                 : SetNumbers<float>(holder, position, values, type);
    }
    const bool u = type.IsUnsigned();
    switch (type.Width()) {
        case 0: return u ? SetNumbers<unsigned char>(holder, position, values, type)
                         : SetNumbers<signed char>(holder, position, values, type);
        case 1: return u ? SetNumbers<unsigned short>(holder, position, values, type)
                         : SetNumbers<short>(holder, position, values, type);
        case 3: return u ? SetNumbers<std::uint32_t>(holder, position, values, type)
                         : SetNumbers<std::int32_t>(holder, position, values, type);
        default: throw py::value_error("64-bit integer members are not written from Python");
    }
}

void SetValue(const Object& object, const py::str& path, const py::handle& value) {
    const xqova::MemberLocation where = Find(object, path);
    const xqova::MemberType type(where.member->Type());
    CXQOVAObject& holder = *where.object;
    std::uint8_t done = 0;
    switch (where.Kind()) {
        case xqova::MemberKind::kText: {
            if (where.element != xqova::kNoElement || !py::isinstance<py::str>(value)) {
                throw py::type_error("a text member takes a str, whole");
            }
            if (!type.IsArray()) {
                throw py::value_error("a member of one character is not written from Python");
            } else if (type.Width() == 0) {
                const std::string text = Latin1Bytes(value);
                if (text.size() >= 0xFFFF) throw py::value_error("text too long for a member");
                done = holder.SetMemberAt(where.position, text.c_str(), static_cast<std::uint16_t>(text.size()));
            } else {
                // Code units in host order; unpaired surrogates pass as they are.
                const std::uint16_t one = 1;
                const bool little = *reinterpret_cast<const unsigned char*>(&one) == 1;
                py::object encoded = py::reinterpret_steal<py::object>(
                    PyUnicode_AsEncodedString(value.ptr(), little ? "utf-16-le" : "utf-16-be", "surrogatepass"));
                if (!encoded) throw py::error_already_set();
                const std::string bytes = encoded.cast<std::string>();
                std::vector<unsigned short> units(bytes.size() / 2 + 1, 0);
                if (!bytes.empty()) std::memcpy(units.data(), bytes.data(), bytes.size());
                if (units.size() - 1 >= 0x7FFF) throw py::value_error("text too long for a member");
                done = holder.SetMemberAt(where.position, units.data(), static_cast<std::uint16_t>(units.size() - 1));
            }
            break;
        }
        case xqova::MemberKind::kSignedInteger:
        case xqova::MemberKind::kUnsignedInteger:
        case xqova::MemberKind::kBitmask:
        case xqova::MemberKind::kFloat:
        case xqova::MemberKind::kTime: {
            if (type.IsArray()) {
                if (where.element == xqova::kNoElement) {
                    done = SetArray(holder, where.position, value.cast<py::sequence>(), type);
                } else {
                    // One element: the array is written back whole.
                    xqova::MemberLocation whole = where;
                    whole.element = xqova::kNoElement;
                    py::list items = Value(object.tree(), whole).cast<py::list>();
                    items[where.element] = value;
                    done = SetArray(holder, where.position, items, type);
                }
            } else if (type.IsTime()) {
                done = holder.SetMemberAt(where.position, TimeFromPython(value));
            } else if (type.IsFloat()) {
                done = holder.SetMemberAt(where.position, value.cast<double>());
            } else if (type.IsUnsigned()) {
                done = holder.SetMemberAt(where.position, static_cast<std::uint32_t>(CheckedInteger(value, type)));
            } else {
                done = holder.SetMemberAt(where.position, static_cast<std::int32_t>(CheckedInteger(value, type)));
            }
            break;
        }
        default:
            throw py::type_error("only number, text and time members are set from Python");
    }
    if (done == 0) throw py::value_error("the member " + py::repr(path).cast<std::string>() + " refused the value");
}

py::list Items(const Object& object) {
    CXQOVAObject& o = object.Get();
    std::vector<xqova::MemberEntry> all(xqova::ListMembers(&o, nullptr, 0));
    all.resize(xqova::ListMembers(&o, all.data(), all.size()));
    py::list items;
    for (const xqova::MemberEntry& m : all) {
        xqova::MemberLocation where;
        where.object = &o;
        where.member = &o.GetMemberAt(m.position);
        where.position = m.position;
        where.id = m.id;
        const std::string name = m.name[0] != '\0' ? std::string(m.name) : "#" + std::to_string(m.position);
        py::object value;
        try {
            value = Value(object.tree(), where);
        } catch (const py::value_error&) {
            value = py::none();  // a 64-bit scalar: listed, without a value
        }
        items.append(py::make_tuple(Latin1(name.data(), name.size()), value));
    }
    return items;
}

py::object Physical(const Object& object, const py::str& path) {
    const xqova::MemberLocation where = Find(object, path);
    const auto p = xqova::ReadPhysical(where);
    if (!p) throw py::type_error("the member " + py::repr(path).cast<std::string>() + " is not a single number");
    return Types().physical(p->value, p->units, p->coefficient, p->exponent, p->stored);
}

// ---- encodings -----------------------------------------------------------

py::bytes Encode(const Object& object, std::uint16_t version) {
    CXQOVAObject& o = object.Get();
    const std::uint32_t size = o.SizeAll(version);
    if (size == 0) throw py::value_error("the object has no encoding");
    std::string out(size, '\0');
    const std::uint32_t written = o.Serialize(reinterpret_cast<unsigned char*>(&out[0]), out.size(), version);
    if (written == 0) throw py::value_error("the object could not be encoded");
    out.resize(written);
    return py::bytes(out);
}

py::str Xml(const Object& object, std::uint16_t version) {
    CXQOVAObject& o = object.Get();
    const std::uint32_t size = o.XMLSizeAllSafe(XML_ENCODING_CHAR, version);
    if (size == 0) throw py::value_error("the object has no XML document");
    std::string out(size, '\0');
    const std::uint32_t written = o.XMLSerializeSafe(&out[0], out.size(), version);
    if (written == 0) throw py::value_error("the XML document could not be written");
    out.resize(written > 0 ? written - 1 : 0);  // without the terminator
    return Latin1(out.data(), out.size());
}

py::bytes XmlUtf16(const Object& object, std::uint16_t version) {
    CXQOVAObject& o = object.Get();
    const std::uint32_t size = o.XMLSizeAllSafe(XML_ENCODING_UTF16, version);
    if (size == 0) throw py::value_error("the object has no XML document");
    std::vector<unsigned short> units(size / 2 + 1);
    const std::uint32_t written = o.XMLSerializeSafe(units.data(), units.size() * 2, version);
    if (written < 2) throw py::value_error("the XML document could not be written");
    // Host-order code units without the terminator.
    return py::bytes(reinterpret_cast<const char*>(units.data()), written - 2);
}

// ---- frames ---------------------------------------------------------------

// Frames out of a stream fed in chunks: the frame stream reader (with
// checksum states, so noise costs bounded work per byte), and a copy of the
// bytes it holds, from which a corrupt frame's bytes are listed.
class StreamReader {
public:
    explicit StreamReader(std::uint32_t maxFrame) {
        if (maxFrame < 16) throw py::value_error("max_frame must be at least 16");
        storage_.resize(maxFrame);
        states_.resize(maxFrame);
        frame_.resize(maxFrame);
        reader_.reset(new xqova::FrameStreamReader(storage_.data(), states_.data(), maxFrame));
    }

    // The frames the bytes complete.
    py::list Feed(const py::buffer& buffer) {
        const Input input = BytesOf(buffer);
        py::list frames;
        std::size_t fed = 0;
        for (;;) {
            Drain(&frames, false);
            if (fed == input.size()) break;
            const std::size_t chunk = std::min<std::size_t>(input.size() - fed, storage_.size());
            const std::uint32_t taken = reader_->Feed(input.data() + fed, static_cast<std::uint32_t>(chunk));
            if (taken == 0) throw std::runtime_error("the frame stream reader took no bytes");
            pending_.append(reinterpret_cast<const char*>(input.data() + fed), taken);
            fed += taken;
        }
        return frames;
    }

    // The input has ended: the frames still buffered, every byte given up.
    py::list Finish() {
        py::list frames;
        Drain(&frames, true);
        return frames;
    }

    std::uint32_t Discarded() const { return reader_->DiscardedBytes(); }
    std::uint32_t Corrupt() const { return reader_->CorruptFrames(); }

private:
    void Drain(py::list* frames, bool ended) {
        for (;;) {
            std::uint32_t size = 0;
            const std::uint32_t before = reader_->Buffered();
            const xqova::FrameStreamStatus_e status =
                reader_->Next(frame_.data(), static_cast<std::uint32_t>(frame_.size()), &size, ended);
            const std::size_t dropped = before - reader_->Buffered();
            if (status == xqova::FRAME_STREAM_FRAME) {
                frames->append(Types().frame(offset_ + dropped - size, ReadInt32(frame_.data()),
                                             py::bytes(reinterpret_cast<const char*>(frame_.data()), size), "ok"));
            } else if (status == xqova::FRAME_STREAM_CORRUPT) {
                // The candidate's first byte was the last one dropped; the
                // rest of it is still held. One starting inside a corrupt frame
                // already listed is most likely a false header in its data.
                const std::size_t index = dropped - 1;
                const std::uint64_t at = offset_ + index;
                if (at >= corruptEnd_) {
                    const unsigned char* start = reinterpret_cast<const unsigned char*>(pending_.data()) + index;
                    const std::size_t stated = xqova::BoundedEncodedSize(start, pending_.size() - index);
                    corruptEnd_ = at + stated;
                    frames->append(Types().frame(at, ReadInt32(start),
                                                 py::bytes(reinterpret_cast<const char*>(start), stated), "corrupt"));
                }
            } else if (status == xqova::FRAME_STREAM_NO_ROOM) {
                throw std::runtime_error("the frame stream reader refused its buffer");
            }
            pending_.erase(0, dropped);
            offset_ += dropped;
            if (status == xqova::FRAME_STREAM_NEED_MORE) return;
        }
    }

    std::vector<unsigned char> storage_;
    std::vector<std::uint16_t> states_;
    std::vector<unsigned char> frame_;
    std::unique_ptr<xqova::FrameStreamReader> reader_;
    std::string pending_;          // the bytes the reader holds, oldest first
    std::uint64_t offset_ = 0;     // stream offset of the oldest byte held
    std::uint64_t corruptEnd_ = 0; // end of the last corrupt frame listed
};

py::list Frames(const py::buffer& buffer, std::uint32_t maxFrame) {
    StreamReader reader(maxFrame);
    py::list frames = reader.Feed(buffer);
    for (const py::handle& frame : reader.Finish()) frames.append(frame);
    return frames;
}

// ---- dictionaries ---------------------------------------------------------

// The built-in chain that definitions loaded or compiled from Python stand
// on: "device", "sdk", or "none" (null: the definitions alone).
void* BaseChain(const std::string& base) {
    if (base == "device") return RER_KLEV_ZENTO::Dictionary();
    if (base == "sdk") return RER_SDK::Dictionary();
    if (base != "none") throw py::value_error("base is \"device\", \"sdk\" or \"none\"");
    return nullptr;
}

class Dictionary {
public:
    explicit Dictionary(void* base) : holder_(std::make_shared<DictionaryHolder>(base)) {}

    static Dictionary Device() { return Dictionary(RER_KLEV_ZENTO::Dictionary()); }
    static Dictionary Sdk() { return Dictionary(RER_SDK::Dictionary()); }

    static Dictionary FromDefinitions(const py::buffer& blocks, const std::string& base) {
        Dictionary dictionary(BaseChain(base));
        const Input input = BytesOf(blocks);
        std::size_t offset = 0;
        std::size_t accepted = 0;
        while (offset < input.size()) {
            xqova::DefinitionReport why;
            if (!xqova::CheckDefinition(input.data() + offset, input.size() - offset, &why)) {
                throw py::value_error("definition " + std::to_string(accepted) + " at offset " + std::to_string(offset) +
                                      " refused: " + xqova::DefinitionCheckName(why.check) + " at offset " +
                                      std::to_string(offset + why.at));
            }
            const std::size_t size = DefinitionFullSize(input.data() + offset);
            if (dictionary.holder_->dictionary.AddDefinition(input.data() + offset, input.size() - offset) == nullptr) {
                throw py::value_error("definition " + std::to_string(accepted) + " at offset " + std::to_string(offset) +
                                      " refused: not newer than the one serving its class, or memory ran out");
            }
            offset += size;
            ++accepted;
        }
        return dictionary;
    }

    Object Decode(const py::buffer& buffer) const {
        const Input input = BytesOf(buffer);
        xqova::DecodeReport why;
        xqova::DecodedObject decoded;
        if (input.size() >= kReleaseLockFrom) {
            py::gil_scoped_release unlocked;
            decoded = xqova::DecodeObject(&holder_->dictionary, input.data(), input.size(), &why);
        } else {
            decoded = xqova::DecodeObject(&holder_->dictionary, input.data(), input.size(), &why);
        }
        if (!decoded) RaiseDecodeError(why);
        auto tree = std::make_shared<Tree>();
        tree->dictionary = holder_;
        tree->decoded = std::move(decoded);
        return Object(tree, tree->Root());
    }

    Object Create(std::uint32_t classId, std::uint16_t version) const {
        if (holder_->dictionary.GetDefinition(classId) == nullptr) {
            throw py::key_error("no definition serves class " + HexId(classId));
        }
        auto tree = std::make_shared<Tree>();
        tree->dictionary = holder_;
        tree->built.reset(new (std::nothrow) CXQOVAObject(&holder_->dictionary, classId, version));
        if (!tree->built) throw std::bad_alloc();
        return Object(tree, tree->Root());
    }

#ifdef XQOVA_PYTHON_JSON
    Object FromJson(const std::string& text) const {
        xqova::JsonError why;
        std::unique_ptr<CXQOVAObject> object = xqova::ObjectFromJson(&holder_->dictionary, text.data(), text.size(), &why);
        if (!object) throw py::value_error(why.Text());
        auto tree = std::make_shared<Tree>();
        tree->dictionary = holder_;
        tree->built = std::move(object);
        return Object(tree, tree->Root());
    }
#endif

private:
    std::shared_ptr<DictionaryHolder> holder_;
};

}  // namespace

#ifdef XQOVA_PYTHON_JSON
// The blocks of the classes a definition document describes, back to back.
// Member classes the document does not describe are named from `base`'s
// built-in classes.
py::bytes CompileDefinitions(const std::string& text, const std::string& base) {
    CXQOVADictionary names(BaseChain(base));
    std::vector<std::vector<unsigned char>> blocks;
    xqova::JsonError why;
    if (!xqova::DefinitionBlocksFromJson(text.data(), text.size(), &names, &blocks, &why)) {
        throw py::value_error("definitions refused " + why.Text());
    }
    std::string all;
    for (const auto& block : blocks) all.append(block.begin(), block.end());
    return py::bytes(all);
}
#endif

PYBIND11_MODULE(_xqova, m) {
    m.doc() = "The compiled part of the xqova package; use the package, not this module.";

    m.def("_set_types", [](py::object decodeError, py::object time, py::object physical, py::object frame) {
        Types().decodeError = std::move(decodeError);
        Types().time = std::move(time);
        Types().physical = std::move(physical);
        Types().frame = std::move(frame);
    });
#ifdef XQOVA_PYTHON_JSON
    m.attr("has_json") = true;
#else
    m.attr("has_json") = false;
#endif
    m.attr("__version__") = XQOVA_VERSION;

    py::class_<Object>(m, "Object")
        .def_property_readonly("class_id", [](const Object& o) { return o.Get().ClassID(); })
        .def_property_readonly("class_name", [](const Object& o) { return ClassName(o.Get()); })
        .def_property_readonly("version", [](const Object& o) { return o.Get().Version(); })
        .def_property("valid", [](const Object& o) { return o.Get().IsValid() != 0; },
                      [](const Object& o, bool v) { o.Get().SetValid(v ? 1 : 0); })
        .def_property("dirty", [](const Object& o) { return o.Get().IsDirty() != 0; },
                      [](const Object& o, bool v) { o.Get().SetDirty(v ? 1 : 0); })
        .def("__getitem__", [](const Object& o, const py::str& path) { return Value(o.tree(), Find(o, path)); })
        .def("__setitem__", &SetValue)
        .def("__contains__", [](const Object& o, const py::str& path) {
            std::string bytes;
            return PathBytes(path, &bytes) && static_cast<bool>(xqova::FindMember(&o.Get(), std::string_view(bytes)));
        })
        .def("physical", &Physical, py::arg("path"))
        .def("items", &Items)
        .def("encode", &Encode, py::arg("version") = 0xFFFF)
        .def("xml", &Xml, py::arg("version") = 0xFFFF)
        .def("xml_utf16", &XmlUtf16, py::arg("version") = 0xFFFF)
#ifdef XQOVA_PYTHON_JSON
        .def("to_json", [](const Object& o, int indent) { return xqova::ObjectToJson(o.Get(), indent); },
             py::arg("indent") = 2)
#endif
        .def("__repr__", [](const Object& o) {
            return "<xqova.Object " + ClassName(o.Get()).cast<std::string>() + " " + HexId(o.Get().ClassID()) +
                   " version " + std::to_string(o.Get().Version()) + ">";
        });

    py::class_<Dictionary>(m, "Dictionary")
        .def_static("device", &Dictionary::Device)
        .def_static("sdk", &Dictionary::Sdk)
        .def_static("_from_blocks", &Dictionary::FromDefinitions, py::arg("blocks"), py::arg("base"))
        .def("decode", &Dictionary::Decode, py::arg("data"))
        .def("create", &Dictionary::Create, py::arg("class_id"), py::arg("version") = 0xFFFF)
#ifdef XQOVA_PYTHON_JSON
        .def("from_json", &Dictionary::FromJson, py::arg("text"))
#endif
        ;

    m.def("frames", &Frames, py::arg("data"), py::arg("max_frame") = 65536);
#ifdef XQOVA_PYTHON_JSON
    m.def("compile_definitions", &CompileDefinitions, py::arg("text"), py::arg("base") = "device");
#endif

    py::class_<StreamReader>(m, "StreamReader")
        .def(py::init<std::uint32_t>(), py::arg("max_frame") = 4096)
        .def("feed", &StreamReader::Feed, py::arg("data"))
        .def("finish", &StreamReader::Finish)
        .def_property_readonly("discarded_bytes", &StreamReader::Discarded)
        .def_property_readonly("corrupt_frames", &StreamReader::Corrupt);
}
