// A dictionary holding every built-in class, for the fuzz targets.
#ifndef XQOVA_FUZZ_FUZZ_SUPPORT_H
#define XQOVA_FUZZ_FUZZ_SUPPORT_H

#include "xqova/builtin/builtin.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/dictionary.h"

inline CXQOVADictionary& AllBuiltinClasses() {
    static CXQOVADictionary* dictionary = [] {
        auto* d = new CXQOVADictionary(RER_KLEV_ZENTO::Dictionary());
        for (auto* node = static_cast<TableEntry_s*>(RER_SDK::Dictionary()); node != nullptr; node = node->next) {
            d->AddDefinition(node->block);
        }
        return d;
    }();
    return *dictionary;
}

#endif
