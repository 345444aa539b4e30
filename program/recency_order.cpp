#include "program/recency_order.h"

#include <algorithm>
#include <bit>

namespace qv {

void RecencyOrder::touch(Slot slot) {
    if (slot >= positionOf_.size())
        positionOf_.resize(std::size_t{slot} + 1, kNone);
    remove(slot);
    if (next_ == slotAt_.size())
        renumber();
    const std::size_t position = next_++;
    slotAt_[position] = slot;
    positionOf_[slot] = static_cast<std::uint32_t>(position);
    add(position, +1);
    ++size_;
}

void RecencyOrder::remove(Slot slot) {
    if (!contains(slot))
        return;
    const std::size_t position = positionOf_[slot];
    add(position, -1);
    slotAt_[position] = kNone;
    positionOf_[slot] = kNone;
    --size_;
}

void RecencyOrder::clear() {
    positionOf_.clear();
    slotAt_.clear();
    tree_.clear();
    next_ = 0;
    size_ = 0;
}

std::size_t RecencyOrder::rowOf(Slot slot) const {
    return size_ - countUpTo(positionOf_[slot]);
}

RecencyOrder::Slot RecencyOrder::slotAt(std::size_t row) const {
    // The k-th position in use, counted from the oldest (k from 1): descend the tree.
    std::uint32_t k = static_cast<std::uint32_t>(size_ - row);
    const std::size_t n = tree_.size() - 1;
    std::size_t index = 0; // 1-based tree index of the last position counted below k
    for (std::size_t step = std::bit_floor(n); step > 0; step >>= 1) {
        if (index + step <= n && tree_[index + step] < k) {
            index += step;
            k -= tree_[index];
        }
    }
    return slotAt_[index]; // tree index index + 1 is position index
}

void RecencyOrder::add(std::size_t position, int delta) {
    for (std::size_t i = position + 1; i < tree_.size(); i += i & (~i + 1))
        tree_[i] = static_cast<std::uint32_t>(static_cast<int>(tree_[i]) + delta);
}

std::size_t RecencyOrder::countUpTo(std::size_t position) const {
    std::size_t count = 0;
    for (std::size_t i = position + 1; i > 0; i -= i & (~i + 1))
        count += tree_[i];
    return count;
}

void RecencyOrder::renumber() {
    // Twice the slots in use, so that at least as many touches pass before the next renumbering
    // as this one costs.
    const std::size_t capacity = std::max<std::size_t>(64, 2 * (size_ + 1));
    std::vector<Slot> slots;
    slots.reserve(capacity);
    for (std::size_t p = 0; p < next_; ++p)
        if (slotAt_[p] != kNone)
            slots.push_back(slotAt_[p]);
    for (std::size_t p = 0; p < slots.size(); ++p)
        positionOf_[slots[p]] = static_cast<std::uint32_t>(p);
    slots.resize(capacity, kNone);
    slotAt_ = std::move(slots);
    tree_.assign(capacity + 1, 0);
    for (std::size_t i = 1; i <= size_; ++i)
        tree_[i] = 1;
    for (std::size_t i = 1; i <= capacity; ++i) {
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= capacity)
            tree_[parent] += tree_[i];
    }
    next_ = size_;
}

} // namespace qv
