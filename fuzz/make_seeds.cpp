// Writes the seed corpus of every fuzz target, and the dictionaries of magic
// values that depend on the built-in classes, from the library itself: the
// golden vectors, every built-in definition, an encoding of every built-in
// class, the English tables, and one frame of each message.
//
//   make_fuzz_seeds OUT     writes OUT/corpus/<target>/* and OUT/dict/*.dict
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "xqova/builtin/builtin.h"
#include "xqova/xqova.h"

namespace {

using Bytes = std::vector<unsigned char>;
std::string g_out;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string path = g_out + "/corpus/" + target + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string Hex(std::uint32_t v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(v));
    return text;
}

Bytes Encode(CXQOVAObject& o) {
    Bytes b(o.SizeAll(0xFFFF));
    if (!b.empty()) b.resize(o.Serialize(b.data(), 0xFFFF));
    return b;
}

Bytes Frame(DtData& m) {
    Bytes b(m.size_all());
    if (!b.empty()) b.resize(m.serialize_all(b.data()));
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUT\n");
        return 2;
    }
    g_out = argv[1];
    CXQOVADictionary& dictionary = xqova::AllBuiltinClasses();
    std::string classTokens;

    // Definitions, and an encoding of every class with a few values set.
    Bytes two;
    for (std::uint16_t i = 0; i < dictionary.GetDefinitionCount(); ++i) {
        const void* d = dictionary.GetDefinitionAt(i);
        const auto* p = static_cast<const unsigned char*>(d);
        const Bytes block(p, p + DefinitionFullSize(d));
        const std::string id = Hex(DefinitionClassID(d), 8);
        Write("definition_fuzz", id, block);
        if (i < 2) two.insert(two.end(), block.begin(), block.end());
        classTokens += "\"\\x" + id.substr(0, 2) + "\\x" + id.substr(2, 2) + "\\x" + id.substr(4, 2) + "\\x" +
                       id.substr(6, 2) + "\"\n";

        CXQOVAObject o(&dictionary, d, 0xFFFF);
        for (std::uint16_t pos = 0; pos < o.MemberCount(); ++pos) {
            o.SetMemberAt(pos, static_cast<std::uint32_t>(pos + 1));
            const char text[] = "seed";
            o.SetMemberAt(pos, text, 4);
        }
        o.SetValid(1);
        Write("object_encoding_fuzz", id, Encode(o));
    }
    Write("definition_fuzz", "two", two);

    // The golden encodings, and an ANY_CLASS vector holding two classes.
    CXQOVAObject clinician(&dictionary, 0x00650800u, 0xFFFF);
    clinician.SetMember(0, static_cast<unsigned char>(1));
    clinician.SetMember(1, static_cast<unsigned short>(10));
    clinician.SetValid(1);
    Write("object_encoding_fuzz", "clinician", Encode(clinician));
    CXQOVAObject files(&dictionary, 0x00701200u, 0xFFFF);
    const unsigned short path[] = {'A'};
    files.SetMember(0, path, 1);
    if (auto* v = static_cast<CXQOVAVector*>(files.Member(1))) {
        v->Push(&clinician);
        v->Push(0x00050000u);
    }
    Write("object_encoding_fuzz", "any_class", Encode(files));

    // Texts that would break the exact documents: a CDATA closer followed by
    // markup, controls, invalid UTF-8, lone surrogates and non-characters.
    CXQOVAObject location(&dictionary, 0x006B0801u, 0xFFFF);
    const char injected[] = "x]]></VALUE></MEMBER><MEMBER type=\"ansichar\" name=\"INJECTED\"><VALUE><![CDATA[evil";
    location.SetMember(0, injected, static_cast<std::uint16_t>(sizeof injected - 1));
    const char hostile[] = "\x1b]0;t\x07\xff\xc0\xaf\xed\xa0\x80\xef\xbf\xbe]]>";
    location.SetMember(1, hostile, static_cast<std::uint16_t>(sizeof hostile - 1));
    Write("safe_xml_fuzz", "injection", Encode(location));
    CXQOVAObject network(&dictionary, 0x006B0800u, 0xFFFF);
    const unsigned short units[] = {0xD800, ']', ']', '>', 0x9B, 0xFFFE, 0xDC00, 0xE9, 0x1B};
    network.SetMember(9, units, 9);
    Write("safe_xml_fuzz", "wide", Encode(network));

    // The English tables, split after the language table.
    CXQOVATableBuilder builder;
    if (builder.Build(&dictionary, 0) != 0) {
        const std::uint32_t language = builder.LanguageTableSize();
        Bytes tables = {static_cast<unsigned char>(language >> 8), static_cast<unsigned char>(language & 0xFF)};
        tables.insert(tables.end(), builder.LanguageTable(), builder.LanguageTable() + language);
        const std::uint32_t someLinks = builder.LinkTablesSize() < 2000 ? builder.LinkTablesSize() : 2000;
        tables.insert(tables.end(), builder.LinkTables(), builder.LinkTables() + someLinks);
        Write("string_table_fuzz", "english", tables);
    }

    // One frame of each message, and a stream of them with noise between.
    CConDStd connection;
    const char source[] = "host-7";
    connection.SetSourceID(source, 6);
    CConDDescriptor descriptor;
    descriptor.SetDescriptor(1);
    unsigned char data[] = {1, 2, 3};
    descriptor.SetData(data, 3);
    CRNDZDStd rendezvous;
    rendezvous.SetData(data, 3);
    const Bytes frames[] = {Frame(connection), Frame(descriptor), Frame(rendezvous)};
    CConDExtLst list;
    Bytes both = frames[0];
    both.insert(both.end(), frames[2].begin(), frames[2].end());
    list.AppendConnectionList(both.data(), static_cast<std::uint32_t>(both.size()), 2);
    Write("message_frame_fuzz", "list", Frame(list));
    Bytes stream = {0x02};
    for (int i = 0; i < 3; ++i) {
        Write("message_frame_fuzz", "frame" + std::to_string(i), frames[i]);
        stream.insert(stream.end(), frames[i].begin(), frames[i].end());
        stream.push_back(0x00);
        stream.push_back(0x1E);
    }
    Write("frame_stream_fuzz", "stream", stream);

    const char guid[] = "\x10{7B57323E-D61A-4E3D-8EBC-C8658007BBCB}";
    Write("guid_text_fuzz", "guid", Bytes(guid, guid + sizeof guid - 1));

    const std::string dict = g_out + "/dict/classes.dict";
    if (std::FILE* f = std::fopen(dict.c_str(), "w")) {
        std::fputs(classTokens.c_str(), f);
        std::fclose(f);
    }
    std::printf("make_fuzz_seeds: seeds written to %s\n", g_out.c_str());
    return 0;
}
