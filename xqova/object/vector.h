// The vector of objects held by an OBJECT member that is UNBOUNDED or a fixed
// array.
//
// A vector owns its elements. Three kinds follow from its class and fixed
// count:
//   fixed vector          a class, fixedCount n > 0: n elements created with
//                         the vector; never removed, only reset;
//   bounded any-class     class 0xFFFFFFFF, n > 0: starts empty, holds at
//                         most n elements of any classes;
//   growing vector        fixedCount 0: starts empty, grows by one entry per
//                         insertion into a full array, up to 65,535 elements.
// Vectors are created and destroyed only by their owning object; a caller
// reaches one through the member accessor's CXQOVAVector* conversion.
#ifndef XQOVA_OBJECT_VECTOR_H
#define XQOVA_OBJECT_VECTOR_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"

class CXQOVADictionary;
class CXQOVAObject;

class XQOVA_API CXQOVAVector {
public:
    std::uint16_t Size() const { return size_; }
    std::uint8_t Empty() const { return size_ == 0 ? 1 : 0; }
    CXQOVAObject* At(std::uint16_t index) const;
    CXQOVAObject* Front() const;
    CXQOVAObject* Back() const;

    // Each returns the new element, or null (wrong position, full bounded
    // vector, another class than the vector's, no class, or the element
    // cannot be built); the vector is unchanged on failure.
    // A new element of the class at its newest version / at `version`.
    CXQOVAObject* Insert(std::uint32_t classId, std::uint16_t pos);
    CXQOVAObject* Insert(std::uint32_t classId, std::uint16_t version, std::uint16_t pos);
    // A copy of `source` (null when the copy cannot be completed).
    CXQOVAObject* Insert(const CXQOVAObject* source, std::uint16_t pos);
    // A new element built from a definition block at its own version / at
    // `version`.
    CXQOVAObject* Insert(const void* definition, std::uint16_t pos);
    CXQOVAObject* Insert(const void* definition, std::uint16_t version, std::uint16_t pos);

    // Appending forms of the above.
    CXQOVAObject* Push(std::uint32_t classId);
    CXQOVAObject* Push(std::uint32_t classId, std::uint16_t version);
    CXQOVAObject* Push(const CXQOVAObject* source);
    CXQOVAObject* Push(const void* definition);
    CXQOVAObject* Push(const void* definition, std::uint16_t version);

    // Destroys `count` elements from `index`; a fixed vector ignores it, and
    // so does every vector when the range runs past the size.
    void Erase(std::uint16_t index, std::uint16_t count);
    void Pop();
    // A fixed vector resets its elements deeply and keeps them; any other
    // vector destroys its elements and keeps its array.
    void Clear();
    // Makes this vector a deep copy of `source`, which must have the same
    // class and fixed count. 0 on a mismatch or failure, with this vector
    // cleared.
    std::uint8_t Copy(const CXQOVAVector* source);

    // A vector owns its elements: it is neither copied nor assigned. Use Copy.
    CXQOVAVector(const CXQOVAVector&) = delete;
    CXQOVAVector& operator=(const CXQOVAVector&) = delete;

private:
    friend class CXQOVAObject;
    friend class CXQOVAData_u;

    CXQOVAVector(CXQOVADictionary* dictionary, std::uint32_t classId, std::uint16_t fixedCount,
                 std::uint16_t version, unsigned depth);
    ~CXQOVAVector();

    // Constructs in `memory` inside an object's storage (never released on
    // its own: ~CXQOVAVector ends it). `depth` is the nesting depth of the
    // elements.
    static CXQOVAVector* CreateAt(void* memory, CXQOVADictionary* dictionary, std::uint32_t classId,
                                  std::uint16_t fixedCount, std::uint16_t version, unsigned depth);

    // Copy without its budget handling.
    std::uint8_t CopyElements(const CXQOVAVector* source);

    bool IsFixed() const { return fixedCount_ != 0 && classId_ != 0xFFFFFFFFu; }
    // Whether construction gave the vector all it needs: the array of a
    // fixed count, and every element of a fixed vector.
    bool Whole() const {
        return fixedCount_ == 0 || (capacity_ == fixedCount_ && (!IsFixed() || size_ == fixedCount_));
    }

    // The one insertion behind every Insert and Push: a copy of `source`, or
    // an element built from `definition`, or from the dictionary's
    // definition of `classId`, at `version`, placed at `pos`.
    CXQOVAObject* Insert(std::uint16_t pos, const CXQOVAObject* source, const void* definition,
                         std::uint32_t classId, std::uint16_t version);

    CXQOVADictionary* dictionary_;
    CXQOVAObject** elements_;
    std::uint16_t size_;
    std::uint16_t capacity_;
    std::uint32_t classId_;
    std::uint16_t fixedCount_;
    std::uint16_t version_;
    // Nesting depth of the elements: always below xqova::kMaxNestingDepth,
    // for an object builds its vectors only while its members may nest.
    unsigned depth_;
    // Whether elements_ is followed, in its allocation, by the shells in
    // which a fixed vector's elements were constructed (never released
    // alone: DestroyElement ends them).
    bool shells_;

    // Offset of the shells from elements_ for `fixedCount` pointers.
    static std::size_t ShellsAt(std::uint16_t fixedCount);
    bool InShells(const CXQOVAObject* element) const;
    void DestroyElement(CXQOVAObject* element) const;
};

#endif
