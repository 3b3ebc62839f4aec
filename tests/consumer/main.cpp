// Uses the installed library through its umbrella header only.
#include <cstdio>
#include <cstring>

#include "xqova/xqova.h"

int main() {
    const char* text = "123456789";
    if (CalculateCRC(reinterpret_cast<const unsigned char*>(text), 9) != 0x6F91) return 1;
    CXQOVADictionary dictionary;
    if (dictionary.GetDefinitionCount() != 0) return 2;
    std::printf("consumer: xqova works\n");
    return 0;
}
