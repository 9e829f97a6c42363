#pragma once

#include "lv2/atom/atom.h"

#include <cstdint>

namespace dunskara::lv2
{
// JUCE's client walks the input sequence, the objects in it and their properties by the
// sizes they declare, without checking them against what contains them: an event or a
// property that claims more bytes than are left makes it read past the host's buffer.
// True when every event of the sequence lies within the sequence's declared size and,
// for an object (atom:Object or atom:Blank), every property lies within the object.
// Run only on atoms whose type is sequenceType; any other atom JUCE leaves alone.
bool isWalkableSequence (const LV2_Atom_Sequence& sequence, uint32_t objectType, uint32_t blankType) noexcept;

// The events of a sequence already found walkable; the callback gets each event.
template <typename Callback>
void forEachEvent (const LV2_Atom_Sequence& sequence, Callback&& callback)
{
    const auto* body = reinterpret_cast<const uint8_t*> (&sequence.body);
    uint64_t offset = sizeof (LV2_Atom_Sequence_Body);

    while (offset < sequence.atom.size)
    {
        const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (body + offset);
        callback (event);
        offset += (sizeof (LV2_Atom_Event) + uint64_t { event.body.size } + 7u) & ~uint64_t { 7u };
    }
}

// The value of the first property with this key in an object of a walkable sequence.
const LV2_Atom* findProperty (const LV2_Atom_Object& object, uint32_t key) noexcept;
} // namespace dunskara::lv2
