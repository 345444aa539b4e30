#pragma once
// Slots (small integers naming entries kept elsewhere) in the order they were last touched,
// newest first, as rows: the row of a slot and the slot of a row in O(log n), touching a slot
// (it becomes row 0) in amortised O(log n). The tag history keeps its order in one, and the
// history window keeps in another the order the view was last told about. No Qt.
//
// Each touch takes the next position of a line; a Fenwick tree counts the positions in use, so
// the rank of a position and the position of a rank are prefix sums. When the line is used up,
// the slots are renumbered in order onto a line at least twice their number.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

class RecencyOrder {
public:
    using Slot = std::uint32_t;

    // `slot` becomes row 0; added when it is not in the order.
    void touch(Slot slot);
    // Takes `slot` out of the order; nothing when it is not in it.
    void remove(Slot slot);
    void clear();

    bool contains(Slot slot) const {
        return slot < positionOf_.size() && positionOf_[slot] != kNone;
    }
    std::size_t size() const { return size_; }
    // Precondition: contains(slot).
    std::size_t rowOf(Slot slot) const;
    // Precondition: row < size().
    Slot slotAt(std::size_t row) const;

private:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    void add(std::size_t position, int delta);
    std::size_t countUpTo(std::size_t position) const; // positions in use in [0, position]
    void renumber();

    std::vector<std::uint32_t> positionOf_; // by slot; kNone when absent
    std::vector<Slot> slotAt_;              // by position; kNone when free
    std::vector<std::uint32_t> tree_;       // Fenwick tree over the positions, 1-based
    std::size_t next_ = 0;                  // the next position a touch takes
    std::size_t size_ = 0;
};

} // namespace qv
