// The reasons of refusals, and objects built strictly from bytes.
#include "xqova/encoding/decode_report.h"

#include "xqova/core/budgeted_operation.h"
#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/core/types.h"
#include "xqova/object/object.h"

namespace xqova {

struct DecodeAccess {
    static CXQOVAObject* Create(CXQOVADictionary* dictionary, const unsigned char* bytes, std::size_t length) {
        return CXQOVAObject::Create(dictionary, nullptr, kNoClass, kCurrentVersion, {bytes, length}, 0);
    }
    static std::uint32_t DecodeBuilt(CXQOVAObject* object, const unsigned char* bytes, std::size_t length,
                                     DecodeReport* report) {
        return object->Decode(bytes, length, true, report, true);
    }
};

const char* DecodeCheckName(DecodeCheck check) {
    switch (check) {
        case DecodeCheck::kNone: return "none";
        case DecodeCheck::kHeader: return "too short for its header";
        case DecodeCheck::kLength: return "stated length beyond the input";
        case DecodeCheck::kTooSmall: return "stated length too small";
        case DecodeCheck::kChecksum: return "checksum mismatch";
        case DecodeCheck::kUnknownClass: return "unknown class";
        case DecodeCheck::kNewerVersion: return "newer version than the object reads";
        case DecodeCheck::kFixedSection: return "fixed section size";
        case DecodeCheck::kMemberData: return "member data";
        case DecodeCheck::kNestedSize: return "nested size";
        case DecodeCheck::kNestedClass: return "nested class";
        case DecodeCheck::kVectorCount: return "vector count";
        case DecodeCheck::kLayout: return "bytes outside the members";
        case DecodeCheck::kTooDeep: return "nested too deep";
        case DecodeCheck::kOutOfMemory: return "out of memory";
    }
    return "?";
}

DecodedObject& DecodedObject::operator=(DecodedObject&& other) noexcept {
    if (this != &other) {
        Delete(object_);
        object_ = other.object_;
        other.object_ = nullptr;
    }
    return *this;
}

DecodedObject::~DecodedObject() { Delete(object_); }

DecodedObject DecodeObject(CXQOVADictionary* dictionary, const unsigned char* bytes, std::size_t length,
                           DecodeReport* report) {
    DecodeReport local;
    if (report == nullptr) report = &local;
    *report = DecodeReport();
    if (bytes == nullptr || length < 4) {
        report->check = DecodeCheck::kHeader;
        report->found = bytes == nullptr ? 0 : length;
        report->expected = 4;
        return DecodedObject();
    }
    const BudgetedOperation operation;
    CXQOVAObject* object = DecodeAccess::Create(dictionary, bytes, length);
    if (object == nullptr || BudgetedOperation::Exhausted()) {
        Delete(object);
        report->check = DecodeCheck::kOutOfMemory;
        report->overBudget = BudgetedOperation::Exhausted();
        report->classId = ReadInt32(bytes);
        report->classRead = true;
        report->outerClassId = report->classId;
        return DecodedObject();
    }
    DecodedObject result(object);
    const std::uint32_t consumed = DecodeAccess::DecodeBuilt(object, bytes, length, report);
    if (BudgetedOperation::Exhausted()) {
        report->check = DecodeCheck::kOutOfMemory;
        report->overBudget = true;
        report->offset = report->at = 0;
        report->path[0] = report->member[0] = '\0';
        report->classId = ReadInt32(bytes);
        report->classRead = true;
        return DecodedObject();
    }
    // A decode that succeeds consumes the very total the report states.
    if (consumed == 0) {
        if (report->check == DecodeCheck::kNone) report->check = DecodeCheck::kOutOfMemory;
        return DecodedObject();
    }
    return result;
}

}  // namespace xqova
