#pragma once
// A hash index over names kept elsewhere (in an archive's directory bytes, in a selection's name
// arena): it holds only 32-bit item numbers, so a name costs its bytes once plus about 8 bytes here,
// and a name can be looked up in pieces (a folder part and a file name) without joining them.
// Not thread-safe; the caller owns the names and keeps them where the item numbers say.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zipengine {

// FNV-1a over the bytes, continuing from `hash` (start with kNameHashSeed): hashing "a/" then "b"
// gives the hash of "a/b".
constexpr std::uint64_t kNameHashSeed = 0xcbf29ce484222325ull;
inline std::uint64_t hashName(std::string_view bytes, std::uint64_t hash = kNameHashSeed)
{
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    }
    return hash;
}

class NameTable
{
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Prepares for about `count` items (the table grows past that as needed).
    void reserve(std::size_t count) { grow(slotsFor(count)); }
    std::size_t size() const { return m_count; }

    // The item stored under `hash` for which `same(item)` holds, or kNone.
    template <typename Same> std::uint32_t find(std::uint64_t hash, Same&& same) const
    {
        if (m_slots.empty()) {
            return kNone;
        }
        const std::uint32_t key = fold(hash);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = key & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.item == kNone) {
                return kNone;
            }
            if (slot.key == key && same(slot.item)) {
                return slot.item;
            }
        }
    }

    // Stores `item` under `hash` (several items may share a hash; find returns the one that is the
    // same). Item numbers must be below kNone.
    void insert(std::uint64_t hash, std::uint32_t item)
    {
        if ((m_count + 1) * 2 > m_slots.size()) {
            grow(slotsFor(m_count + 1));
        }
        place(Slot{fold(hash), item});
        ++m_count;
    }

private:
    // The slot keeps 32 bits of the hash: they choose its position (also after the table grew) and
    // spare most name comparisons.
    struct Slot
    {
        std::uint32_t key = 0;
        std::uint32_t item = kNone;
    };

    static std::uint32_t fold(std::uint64_t hash) { return static_cast<std::uint32_t>(hash ^ (hash >> 32)); }

    static std::size_t slotsFor(std::size_t count)
    {
        std::size_t slots = 16;
        while (slots < count * 2) {
            slots *= 2;
        }
        return slots;
    }

    void place(Slot slot)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = slot.key & mask;
        while (m_slots[i].item != kNone) {
            i = (i + 1) & mask;
        }
        m_slots[i] = slot;
    }

    void grow(std::size_t slots)
    {
        if (slots <= m_slots.size()) {
            return;
        }
        std::vector<Slot> old(slots);
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (slot.item != kNone) {
                place(slot);
            }
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace zipengine
