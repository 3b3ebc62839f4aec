// Class definitions as readable JSON documents, compiled into definition
// blocks and dumped back: part of the optional component xqova::json.
//
// A document holds one class, or a list of them under "classes" (a chain,
// in the order the blocks are added):
//
//   {"name": "CHostDStd", "identifier": "0x00C80000", "version": 101,
//    "members": [
//      {"name": "STime", "type": "TIME"},
//      {"name": "Level", "type": "uint16", "values": ["LEVEL_LOW", "LEVEL_HIGH"]},
//      {"name": "Label", "type": "ansichar[21]", "from": 101},
//      {"name": "Reading", "type": "object CNIBPDStd"},
//      {"name": "Extra", "type": "object ANY_CLASS[UNBOUNDED]"}]}
//
// Every field, its default and the type names are in docs/design.md
// ("Class definitions as JSON"). `object NAME` resolves NAME among the
// document's classes first, then among the classes of the dictionary given.
// Refusals name the place by its JSON pointer ("/classes/3/members/2/type")
// and say why. This header does not depend on the JSON library the
// component is built with.
#ifndef XQOVA_JSON_DEFINITION_JSON_H
#define XQOVA_JSON_DEFINITION_JSON_H

#include <cstddef>
#include <string>
#include <vector>

#include "xqova/dictionary/definition_builder.h"
#include "xqova/json/json.h"

class CXQOVADictionary;

namespace xqova {

// The classes of a document, their member classes resolved to identifiers
// and every xmlBaseSize filled in; false with `error` filled when the text is
// refused. Each class is also built and checked as a block would be from
// outside, so a description returned always builds.
XQOVA_JSON_API bool DefinitionsFromJson(const char* text, std::size_t length, const CXQOVADictionary* dictionary,
                                        std::vector<build::ClassDescription>* classes, JsonError* error);

// The blocks of a document's classes, in document order, checksums stamped.
XQOVA_JSON_API bool DefinitionBlocksFromJson(const char* text, std::size_t length, const CXQOVADictionary* dictionary,
                                             std::vector<std::vector<unsigned char>>* blocks, JsonError* error);

// Descriptions as a document: a single class as its own document when
// `single` is set and there is one, else a list under "classes". Member
// classes are named from the list itself, then from `dictionary`, and by
// their identifier in hex where neither names them. Empty, with `error`
// filled, when a description would not build.
XQOVA_JSON_API std::string DefinitionsToJson(const std::vector<build::ClassDescription>& classes,
                                             const CXQOVADictionary* dictionary, JsonError* error,
                                             bool single = false);

// Blocks as a document (each must pass CheckDefinition within its stated
// size; the caller vouches that many bytes are readable). `inexact` (when
// given) receives the names of the classes whose document compiles to a
// block laid out otherwise than theirs (every block this library builds
// compiles back byte for byte).
XQOVA_JSON_API std::string DefinitionBlocksToJson(const std::vector<const void*>& blocks,
                                                  const CXQOVADictionary* dictionary, JsonError* error,
                                                  bool single = false, std::vector<std::string>* inexact = nullptr);

}  // namespace xqova

#endif
