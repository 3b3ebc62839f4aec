// The table list: which table is current, replacement in place or by a
// larger copy (none when memory runs out), the caller's chain behind the
// added tables.
#include <gtest/gtest.h>

#include <vector>

#include "xqova/core/memory.h"
#include "xqova/text/table_manager.h"

namespace {

// A manager over a toy format: byte 0 the id, byte 1 the size.
class ToyManager : public CXQOVATableManager {
public:
    explicit ToyManager(TableEntry_s* chain = nullptr) : CXQOVATableManager(chain) {}
    ~ToyManager() = default;
    std::uint32_t TableID(const unsigned char* t) const override { return t[0]; }
    std::uint32_t TableSize(const unsigned char* t) const override { return t[1]; }
    using CXQOVATableManager::AddTable;
    using CXQOVATableManager::CurrentTable;
    using CXQOVATableManager::GetTable;
    using CXQOVATableManager::Lookup;
    using CXQOVATableManager::SetTable;
};

using Toy = std::vector<unsigned char>;
Toy Make(unsigned char id, unsigned char size, unsigned char fill) {
    Toy t(size, fill);
    t[0] = id;
    t[1] = size;
    return t;
}

TEST(TableManager, ReplacementInPlaceOrByLargerCopy) {
    struct Case {
        const char* what;
        unsigned char newSize;
        bool otherIsCurrent;
        bool inPlace;
    };
    const Case cases[] = {
        {"equal size", 6, false, true},
        {"smaller", 4, false, true},
        {"larger, current", 9, false, false},
        {"larger, not current", 9, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ToyManager m;
        const Toy first = Make(7, 6, 0x11), replacement = Make(7, c.newSize, 0x77), oldestLarger = Make(5, 10, 0x56);
        unsigned char* old = m.AddTable(first.data());
        unsigned char* otherCopy = m.AddTable(Make(8, 4, 0x22).data());
        // The first table stored is current; another is found, and looked up
        // without a caller's chain, but not selected.
        EXPECT_TRUE(m.CurrentTable() == old && m.GetTable(8) == otherCopy && m.Lookup(8) == otherCopy && m.CurrentTable() == old);
        // A third table: after the replacement below (of the list's last
        // node) it lies between two others, and is replaced in turn.
        m.AddTable(Make(5, 4, 0x55).data());
        if (c.otherIsCurrent) m.SetTable(8);
        if (!c.inPlace) {  // a copy that cannot be made changes nothing
            xqova::testing::FailAllocationsAfter(0);
            EXPECT_EQ(m.AddTable(replacement.data()), nullptr);
            xqova::testing::FailAllocationsAfter(-1);
            EXPECT_TRUE(m.GetTable(7) == old && Toy(old, old + 6) == first);
            EXPECT_EQ(m.CurrentTable(), c.otherIsCurrent ? otherCopy : old);
        }

        unsigned char* stored = m.AddTable(replacement.data());
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored == old, c.inPlace);
        EXPECT_EQ(Toy(stored, stored + c.newSize), replacement);
        EXPECT_EQ(m.SetTable(9), nullptr);  // the current table stays
        EXPECT_EQ(m.CurrentTable(), c.otherIsCurrent ? otherCopy : stored);
        // The middle one is replaced; the others are still found.
        unsigned char* oldestCopy = m.AddTable(oldestLarger.data());
        EXPECT_EQ(Toy(oldestCopy, oldestCopy + 10), oldestLarger);
        EXPECT_TRUE(m.GetTable(5) == oldestCopy && m.GetTable(7) == stored && m.GetTable(8) == otherCopy);
    }
}

TEST(TableManager, CallersChainStaysVisibleAndUntouched) {
    Toy chained4 = Make(4, 5, 0x44), chained6 = Make(6, 5, 0x66);
    TableEntry_s tail{chained6.data(), nullptr};
    TableEntry_s head{chained4.data(), &tail};
    const Toy before = chained4;
    {
        ToyManager m(&head);
        m.AddTable(Make(1, 4, 0x01).data());
        EXPECT_EQ(m.GetTable(6), chained6.data());
        // Same id as a chained table and no larger: the chained table is not
        // overwritten; the new copy hides it.
        unsigned char* stored4 = m.AddTable(Make(4, 3, 0x99).data());  // a copy: chained4 is checked unchanged below
        EXPECT_EQ(m.GetTable(4), stored4);
        // The chained table was current and stays current though hidden: a
        // lookup of its id still gives it, until another class is looked up.
        EXPECT_TRUE(m.Lookup(4) == chained4.data() && m.Lookup(6) == chained6.data() && m.Lookup(4) == stored4 &&
                    m.SetTable(6) == chained6.data());
    }
    // Only the own nodes were freed (freeing these would trip the sanitizer).
    EXPECT_EQ(chained4, before);
    EXPECT_EQ(head.next, &tail);
}

}  // namespace
