// qova defs: class definitions as JSON documents. `dump` writes the
// definitions the tool knows (built-in and loaded) in the library's JSON
// form; `compile` turns such a document into definition blocks back to back,
// the file that --definitions reads.
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/qova/commands.h"
#include "xqova/json/definition_json.h"

namespace qova {

std::string DumpDefinitions(Catalog& catalog, const std::string& className, std::string* warning) {
    std::vector<const void*> blocks;
    if (className.empty()) {
        for (const ClassEntry& entry : catalog.Classes()) blocks.push_back(entry.block);
    } else {
        blocks.push_back(catalog.Definition(catalog.ResolveClass(className)));
    }
    xqova::JsonError error;
    std::vector<std::string> inexact;
    const std::string text =
        xqova::DefinitionBlocksToJson(blocks, &catalog.Dictionary(), &error, !className.empty(), &inexact);
    if (error) throw Failure("cannot write the definitions as JSON: " + error.Text());
    if (warning != nullptr && !inexact.empty()) {
        std::string names;
        for (const std::string& name : inexact) names += (names.empty() ? "" : ", ") + name;
        *warning = "these blocks are laid out otherwise than the library builds them, so their JSON does not "
                   "compile back to the same bytes: " + names;
    }
    return text;
}

Bytes CompileDefinitions(Catalog& catalog, const Bytes& text, const std::string& source) {
    std::vector<Bytes> blocks;
    xqova::JsonError error;
    if (!xqova::DefinitionBlocksFromJson(reinterpret_cast<const char*>(text.data()), text.size(),
                                         &catalog.Dictionary(), &blocks, &error)) {
        throw Failure(source + ": " + error.Text());
    }
    Bytes out;
    for (const Bytes& block : blocks) out.insert(out.end(), block.begin(), block.end());
    return out;
}

void AddDefsCommands(CLI::App& app, std::function<int(Catalog&)>& action) {
    auto* defs = app.add_subcommand("defs", "class definitions as JSON: dump them, compile them into blocks");
    defs->require_subcommand(1);

    struct Options {
        std::string dumpClass;
        bool all = false;
        std::string dumpOutput;
        std::string input;
        std::string compileOutput;
    };
    static Options options;

    auto* dump = defs->add_subcommand("dump", "write a class's definition (or every one) as JSON");
    auto* one = dump->add_option("class", options.dumpClass, "the class");
    auto* all = dump->add_flag("--all", options.all, "every class the tool knows, --definitions included");
    one->excludes(all);
    dump->add_option("-o,--output", options.dumpOutput, "write the JSON to FILE (- for standard output)");
    dump->callback([&action]() {
        action = [](Catalog& catalog) {
            if (options.dumpClass.empty() && !options.all) throw Failure("defs dump needs a class or --all", kExitUsage);
            std::string warning;
            const std::string text = DumpDefinitions(catalog, options.all ? std::string() : options.dumpClass, &warning);
            if (options.dumpOutput.empty()) {
                std::cout << TerminalSafe(text);
            } else {
                WriteOutput(options.dumpOutput, text);
            }
            if (!warning.empty()) std::cerr << "qova: warning: " << TerminalSafe(warning) << "\n";
            return 0;
        };
    });

    auto* compile = defs->add_subcommand("compile", "compile a JSON class definition into definition blocks");
    compile->add_option("file", options.input, "the JSON document; - for standard input")->required();
    compile->add_option("-o,--output", options.compileOutput, "the .def file to write (blocks back to back)")
        ->required();
    compile->footer("The document holds one class or {\"classes\": [...]}; `object NAME` members name classes of "
                    "the document or of the dictionary (--definitions included). See the README.");
    compile->callback([&action]() {
        action = [](Catalog& catalog) {
            WriteOutput(options.compileOutput, CompileDefinitions(catalog, ReadInput(options.input), options.input));
            return 0;
        };
    });
}

}  // namespace qova
