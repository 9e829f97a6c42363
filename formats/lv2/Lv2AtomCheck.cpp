#include "Lv2AtomCheck.h"

namespace dunskara::lv2
{
namespace
{
    constexpr uint64_t padded (uint64_t size) noexcept { return (size + 7u) & ~uint64_t { 7u }; }

    bool isWalkableObject (const LV2_Atom_Object& object) noexcept
    {
        const uint64_t size = object.atom.size;
        if (size < sizeof (LV2_Atom_Object_Body))
            return false;

        const auto* body = reinterpret_cast<const uint8_t*> (&object.body);
        uint64_t offset = sizeof (LV2_Atom_Object_Body);

        while (offset < size)
        {
            if (size - offset < sizeof (LV2_Atom_Property_Body))
                return false;

            const auto& property = *reinterpret_cast<const LV2_Atom_Property_Body*> (body + offset);
            if (property.value.size > size - offset - sizeof (LV2_Atom_Property_Body))
                return false;

            offset += padded (sizeof (LV2_Atom_Property_Body) + uint64_t { property.value.size });
        }

        return true;
    }
} // namespace

const LV2_Atom* findProperty (const LV2_Atom_Object& object, uint32_t key) noexcept
{
    const auto* body = reinterpret_cast<const uint8_t*> (&object.body);
    uint64_t offset = sizeof (LV2_Atom_Object_Body);

    while (offset < object.atom.size)
    {
        const auto& property = *reinterpret_cast<const LV2_Atom_Property_Body*> (body + offset);
        if (property.key == key)
            return &property.value;

        offset += padded (sizeof (LV2_Atom_Property_Body) + uint64_t { property.value.size });
    }

    return nullptr;
}

bool isWalkableSequence (const LV2_Atom_Sequence& sequence, uint32_t objectType, uint32_t blankType) noexcept
{
    const uint64_t size = sequence.atom.size;
    if (size < sizeof (LV2_Atom_Sequence_Body))
        return false;

    const auto* body = reinterpret_cast<const uint8_t*> (&sequence.body);
    uint64_t offset = sizeof (LV2_Atom_Sequence_Body);

    while (offset < size)
    {
        if (size - offset < sizeof (LV2_Atom_Event))
            return false;

        const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (body + offset);
        if (event.body.size > size - offset - sizeof (LV2_Atom_Event))
            return false;

        if ((event.body.type == objectType || event.body.type == blankType)
            && ! isWalkableObject (*reinterpret_cast<const LV2_Atom_Object*> (&event.body)))
            return false;

        offset += padded (sizeof (LV2_Atom_Event) + uint64_t { event.body.size });
    }

    return true;
}
} // namespace dunskara::lv2
