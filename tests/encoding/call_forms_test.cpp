// Every constructor and operator form that hosts write compiles and means
// what it says: a byte pointer with a version is a definition block, a
// pointer to an object converts implicitly, and the handle takes unscoped
// enumerators.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "support/objects.h"
#include "xqova/object/object_ptr.h"

namespace {

using namespace test_objects;

constexpr std::uint32_t kForms = 0x00490000;  // version 101; B only from 101
enum FormMember { kA, kB };                  // identifiers, as hosts declare them
enum : unsigned short { kFirst, kSecond };   // positions

Bytes FormsBlock() { return Build("CForms", kForms, {M("A", 0x11), M("B", 0x10, 101)}, 101); }

CXQOVAObject Converted(CXQOVAObject* source) { return source; }

TEST(CallForms, ConstructorsLookupsAndHandlesMeanTheirForm) {
    Bytes block = FormsBlock();
    CXQOVADictionary dictionary(nullptr);
    ASSERT_NE(dictionary.AddDefinition(block.data()), nullptr);

    CXQOVAObject byParts(&dictionary, static_cast<unsigned short>(0x0049), static_cast<unsigned char>(0),
                         static_cast<unsigned char>(0), static_cast<unsigned short>(100));
    CXQOVAObject byClass(&dictionary, static_cast<unsigned long>(kForms), static_cast<unsigned short>(0xFFFF));
    CXQOVAObject byVoid(&dictionary, static_cast<void*>(block.data()), static_cast<unsigned short>(100));
    CXQOVAObject byBytes(&dictionary, reinterpret_cast<unsigned char*>(block.data()), static_cast<unsigned short>(101));
    CXQOVAObject byBytesInt(&dictionary, block.data(), 100);
    EXPECT_TRUE(byParts.ClassID() == kForms && byParts.Version() == 100 && byParts.MemberAvailable(kB) == 0);
    EXPECT_EQ(std::make_tuple(byClass.Version(), byBytes.MemberCount()), std::make_tuple(101, 2));
    for (auto [o, version] : {std::make_pair(&byVoid, 100), std::make_pair(&byBytes, 101), std::make_pair(&byBytesInt, 100)}) {
        EXPECT_EQ(std::make_tuple(o->GetDefinition(), o->ClassID(), o->Version()), std::make_tuple(static_cast<void*>(block.data()), kForms, version));
    }

    // The decoding and copy constructors are exercised by every round trip;
    // here a pointer converts implicitly, a null one to an empty object.
    ASSERT_EQ(byClass.SetMember(kA, 7), 1);
    CXQOVAObject converted = Converted(&byClass);
    const CXQOVAObject empty = static_cast<CXQOVAObject*>(nullptr);
    const CXQOVAObject noBytes(&dictionary, static_cast<unsigned char*>(nullptr));  // trusted bytes, none given
    EXPECT_TRUE(converted.Version() == 101 && static_cast<std::int32_t>(converted.Member(kA)) == 7);
    EXPECT_TRUE(empty.ClassID() == 0xFFFFFFFFu && empty.GetDefinition() == nullptr && noBytes.ClassID() == 0xFFFFFFFFu);

    // Lookups through the object and the handle.
    CXQOVAObject& object = byClass;
    CXQOVAObjectPtr handle(&byParts);
    handle = CXQOVAObjectPtr(&object);
    CXQOVAObject* held = handle;
    EXPECT_EQ(std::make_tuple(held, handle->Version(), &*handle), std::make_tuple(&object, 101, &object));

    // By identifier (call) and by position (index), each form of argument.
    EXPECT_EQ(std::make_tuple(&object(kB), &handle(kB), &handle(static_cast<unsigned short>(0))),
              std::make_tuple(&object.Member(1), &object.Member(1), &object.Member(0)));
    EXPECT_EQ(std::make_tuple(&object[kSecond], &handle[kSecond], &handle[0], &handle[1L]),
              std::make_tuple(&object.At(1), &object.At(1), &object.At(0), &object.At(1)));
    EXPECT_EQ(handle[kSecond].Type(), 0x10);
}

}  // namespace
