// An object built from an encoded object takes its class and version from
// the encoding's header (the worked examples show it through the decoding
// constructors), and its nested objects and fixed-count vector
// elements the versions of their nested encodings; a damaged or short
// encoding gives an object without members; nothing outside the bytes given
// is read.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/objects.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using namespace test_objects;

// The shape the decoding constructor builds before it reads the values.
class EncodedShape : public CXQOVAObject {
public:
    EncodedShape(CXQOVADictionary* dictionary, const Bytes& encoding) : CXQOVAObject(dictionary, 0xFFFFFFFFu, 0xFFFF) {
        Construct(dictionary, nullptr, 0xFFFFFFFFu, 0xFFFF, encoding.data(), encoding.size(), 0);
    }
};

constexpr std::uint32_t kShaped = 0x00430000, kElem = 0x00430100, kOther = 0x00430200;

void Put16(Bytes* b, std::size_t v) {
    b->push_back(static_cast<unsigned char>(v >> 8));
    b->push_back(static_cast<unsigned char>(v));
}

// An encoding with a 2-byte length field and `variable` after an empty fixed
// section, or a CElem/COther encoding (fixed section 00 05) when `variable`
// is null.
Bytes Encode(std::uint32_t classId, std::uint16_t version, const Bytes* variable) {
    const Bytes body = variable != nullptr ? *variable : Bytes{0x00, 0x05};
    Bytes b;
    Put16(&b, classId >> 16);
    Put16(&b, classId & 0xFFFF);
    Put16(&b, 7 + body.size());
    Put16(&b, version);
    b.push_back(0);
    Put16(&b, variable != nullptr ? 0 : 2);
    b.insert(b.end(), body.begin(), body.end());
    Put16(&b, 0);
    Restamp(b, 0, b.size());
    return b;
}

// CShaped (a text, a single CElem, two CElem in a fixed vector) holding
// `single` and a vector count followed by `elements`.
Bytes Shaped(const Bytes& single, std::uint16_t count, const Bytes& elements) {
    Bytes variable = {0x00, 0x02, 'h', 0x00, 0x00, 0x00};
    Put16(&variable, single.size());
    variable.insert(variable.end(), single.begin(), single.end());
    Put16(&variable, count);
    variable.insert(variable.end(), elements.begin(), elements.end());
    return Encode(kShaped, 100, &variable);
}

TEST(ShapeFromEncoding, NestedPartsFollowTheirEncodingsWhileTheBytesHold) {
    Chain chain({Build("CShaped", kShaped, {M("Text", 0x48), Nested("Single", kElem), VectorOf("Pair", kElem, 2)}),
                 Build("CElem", kElem, {M("X", 0x11), M("Y", 0x10, 101)}, 101), Build("COther", kOther, {M("Z", 0x11)})});
    CXQOVADictionary dictionary(chain.Head());
    const Bytes old = Encode(kElem, 100, nullptr);
    Bytes two = old;
    two.insert(two.end(), old.begin(), old.end());
    Bytes overlong = old;
    overlong[5] = 0x40;  // a stated length far past the end

    struct Case {
        const char* what;
        Bytes encoding;
        std::uint16_t singleVersion, pairVersion;
    };
    for (const Case& c : {Case{"versions of the nested encodings", Shaped(old, 2, two), 100, 100},
                          Case{"a nested object of another class", Shaped(Encode(kOther, 100, nullptr), 2, two), 101, 100},
                          Case{"a count beyond the bytes", Shaped(old, 0xFFFF, old), 100, 100},
                          Case{"a nested size beyond the bytes", Shaped(overlong, 2, two), 101, 101}}) {
        SCOPED_TRACE(c.what);
        EncodedShape shape(&dictionary, c.encoding);
        ASSERT_EQ(shape.MemberCount(), 3);
        auto* single = static_cast<CXQOVAObject*>(shape.Member(1));
        auto* pair = static_cast<CXQOVAVector*>(shape.Member(2));
        ASSERT_NE(single, nullptr);
        ASSERT_EQ(pair->Size(), 2);
        EXPECT_EQ(single->ClassID(), kElem);
        EXPECT_EQ(single->Version(), c.singleVersion);
        EXPECT_EQ(pair->At(1)->Version(), c.pairVersion);
    }
    // One changed byte or one byte too few: the header's class, no
    // definition, no members; without a dictionary the encoding is not read.
    Bytes damaged = Shaped(old, 2, two);
    Bytes shortened(damaged.begin(), damaged.end() - 1);
    damaged[damaged.size() - 3] ^= 0x10;
    for (const Bytes* bad : {&damaged, &shortened}) {
        EncodedShape none(&dictionary, *bad);
        EXPECT_EQ(none.ClassID(), kShaped);
        EXPECT_EQ(none.MemberCount(), 0);
        EXPECT_EQ(none.GetDefinition(), nullptr);
    }
    EncodedShape alone(nullptr, Shaped(old, 2, two));
    EXPECT_EQ(alone.MemberCount(), 0);
}

}  // namespace
