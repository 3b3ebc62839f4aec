#include "xqova/host/member_kind.h"

#include "xqova/dictionary/member_type.h"

namespace xqova {

MemberKind KindOfType(std::uint8_t type) {
    const MemberType t(type);
    if (t.IsNoMember()) return MemberKind::kNoMember;
    if (t.IsObject()) {
        if (t.IsInherit()) return MemberKind::kBase;
        if (type == MemberType::kSingleObject) return MemberKind::kObject;
        if (type == MemberType::kUnboundedVector || type == MemberType::kFixedVector) return MemberKind::kVector;
        return MemberKind::kUnknown;
    }
    const bool integerWidth = t.Width() == 0 || t.Width() == 1 || t.Width() == 3 || t.Width() == 7;
    switch (t.Kind()) {
        case 0x00:
            if (t.IsTime()) return MemberKind::kTime;
            return integerWidth ? MemberKind::kSignedInteger : MemberKind::kUnknown;
        case MemberType::kUnsignedBit:
            return integerWidth ? MemberKind::kUnsignedInteger : MemberKind::kUnknown;
        case MemberType::kCharacterBit:
            return t.Width() <= 1 ? MemberKind::kText : MemberKind::kUnknown;
        case MemberType::kFloatBit:
            return (t.Width() == 3 || t.Width() == 7) ? MemberKind::kFloat : MemberKind::kUnknown;
        case MemberType::kFloatOrBitmask:
        case MemberType::kFloatOrBitmask | MemberType::kUnsignedBit:
            return integerWidth ? MemberKind::kBitmask : MemberKind::kUnknown;
        default:
            return MemberKind::kUnknown;
    }
}

const char* MemberKindName(MemberKind kind) {
    switch (kind) {
        case MemberKind::kNoMember: return "no member";
        case MemberKind::kSignedInteger: return "signed integer";
        case MemberKind::kUnsignedInteger: return "unsigned integer";
        case MemberKind::kFloat: return "float";
        case MemberKind::kText: return "text";
        case MemberKind::kBitmask: return "bitmask";
        case MemberKind::kTime: return "time";
        case MemberKind::kObject: return "object";
        case MemberKind::kVector: return "vector";
        case MemberKind::kBase: return "base";
        case MemberKind::kUnknown: break;
    }
    return "unknown";
}

}  // namespace xqova
