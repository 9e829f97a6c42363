#include "Lv2ParameterMessages.h"
#include "Lv2AtomCheck.h"

#include "lv2/patch/patch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace dunskara::lv2
{
namespace
{
    // The parameters are the processor's legacy ones (by index), as JUCE's client sees them.
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    int numParameters (juce::AudioProcessor& p)                { return p.getNumParameters(); }
    juce::String parameterId (juce::AudioProcessor& p, int i)  { return p.getParameterID (i); }
    float parameterValue (juce::AudioProcessor& p, int i)      { return p.getParameter (i); }
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    // Turtle's name characters, of which the escaped ID (plain ASCII) can hold only these.
    bool isNameStart (juce::juce_wchar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    bool isName (juce::juce_wchar c)      { return isNameStart (c) || (c >= '0' && c <= '9') || c == '-'; }

    template <typename Value>
    Value readBody (const LV2_Atom& atom) noexcept
    {
        Value value {};
        std::memcpy (&value, &atom + 1, sizeof (Value));
        return value;
    }

    // One patch:Set event as it lies in a sequence: the property as a URID, the value as
    // a float, each property padded to 8 bytes.
    struct PatchSetEvent
    {
        LV2_Atom_Event header;
        LV2_Atom_Object_Body object;
        LV2_Atom_Property_Body property;
        LV2_URID propertyValue;
        uint32_t propertyPad;
        LV2_Atom_Property_Body value;
        float valueValue;
        uint32_t valuePad;
    };

    static_assert (sizeof (PatchSetEvent) == 72 && sizeof (PatchSetEvent) % 8 == 0);
} // namespace

juce::String ParameterMessages::parameterUri (juce::AudioProcessor& p, int index)
{
    const auto escaped = juce::URL::addEscapeChars (parameterId (p, index), true);
    juce::String name;

    for (int i = 0; i < escaped.length(); ++i)
    {
        const auto c = escaped[i];
        name << juce::String::charToString ((i == 0 ? isNameStart (c) : isName (c)) ? c : (juce::juce_wchar) '_');
    }

    return juce::String (JucePlugin_LV2URI) + ":" + name;
}

ParameterMessages::ParameterMessages (const LV2_URID_Map& map, juce::AudioProcessor& p)
    : processor (p)
{
    const auto urid = [&map] (const char* uri) { return map.map (map.handle, uri); };
    types = { urid (LV2_ATOM__Sequence), urid (LV2_ATOM__Object), urid (LV2_ATOM__Blank), urid (LV2_ATOM__URID),
              urid (LV2_ATOM__Bool), urid (LV2_ATOM__Int), urid (LV2_ATOM__Long), urid (LV2_ATOM__Float),
              urid (LV2_ATOM__Double) };
    pluginUrid = urid (JucePlugin_LV2URI);
    patchGet = urid (LV2_PATCH__Get);
    patchSet = urid (LV2_PATCH__Set);
    patchSubject = urid (LV2_PATCH__subject);
    patchProperty = urid (LV2_PATCH__property);
    patchValue = urid (LV2_PATCH__value);

    const int count = numParameters (processor);
    for (int i = 0; i < count; ++i)
    {
        parameterUrids.push_back (urid (parameterUri (processor, i).toRawUTF8()));
        hostKnows.push_back (currentValue (i));  // the description's defaults
    }
    requested.assign (parameterUrids.size(), 0);
}

int ParameterMessages::indexOf (LV2_URID property) const noexcept
{
    for (std::size_t i = 0; i < parameterUrids.size(); ++i)
        if (parameterUrids[i] == property)
            return static_cast<int> (i);

    return -1;
}

bool ParameterMessages::isAboutThisPlugin (const LV2_Atom* subject) const noexcept
{
    return subject == nullptr
        || (subject->type == types.urid && subject->size == sizeof (LV2_URID)
            && reinterpret_cast<const LV2_Atom_URID*> (subject)->body == pluginUrid);
}

float ParameterMessages::currentValue (int index) const noexcept
{
    return parameterValue (processor, index);
}

// A value as a float; NaN when it is none of the numeric atoms or beyond float range.
float ParameterMessages::numericValue (const LV2_Atom& atom) const noexcept
{
    double value = std::numeric_limits<double>::quiet_NaN();

    if ((atom.type == types.boolean || atom.type == types.int32) && atom.size == sizeof (int32_t))
        value = readBody<int32_t> (atom);
    else if (atom.type == types.int64 && atom.size == sizeof (int64_t))
        value = static_cast<double> (readBody<int64_t> (atom));
    else if (atom.type == types.float32 && atom.size == sizeof (float))
        value = readBody<float> (atom);
    else if (atom.type == types.float64 && atom.size == sizeof (double))
        value = readBody<double> (atom);

    if (! (std::abs (value) <= static_cast<double> (std::numeric_limits<float>::max())))
        return std::numeric_limits<float>::quiet_NaN();

    return static_cast<float> (value);
}

void ParameterMessages::readMessage (const LV2_Atom_Object& object, bool fromHost) noexcept
{
    const bool isGet = object.body.otype == patchGet;
    if (! isGet && object.body.otype != patchSet)
        return;

    const auto* subject = findProperty (object, patchSubject);
    const auto* property = findProperty (object, patchProperty);
    const auto* value = findProperty (object, patchValue);

    if (! isAboutThisPlugin (subject))
        return;

    const bool namesProperty = property != nullptr && property->type == types.urid && property->size == sizeof (LV2_URID);
    const int index = namesProperty ? indexOf (reinterpret_cast<const LV2_Atom_URID*> (property)->body) : -1;

    if (isGet)
    {
        if (! fromHost)
            return;

        if (property == nullptr)
            std::fill (requested.begin(), requested.end(), uint8_t { 1 });
        else if (index >= 0)
            requested[(std::size_t) index] = 1;

        return;
    }

    // A patch:Set JUCE applies (only atom:Object ones) or wrote: the host now holds it.
    if (index >= 0 && value != nullptr && object.atom.type == types.object)
        hostKnows[(std::size_t) index] = numericValue (*value);
}

void ParameterMessages::readHostMessages (const LV2_Atom_Sequence& input) noexcept
{
    forEachEvent (input, [this] (const LV2_Atom_Event& event)
    {
        if (event.body.type == types.object || event.body.type == types.blank)
            readMessage (*reinterpret_cast<const LV2_Atom_Object*> (&event.body), true);
    });
}

void ParameterMessages::writeMessages (LV2_Atom_Sequence& output, uint32_t capacity) noexcept
{
    // JUCE takes the announced size as the whole buffer, header included; so do we.
    if (output.atom.type != types.sequence || uint64_t { output.atom.size } + sizeof (LV2_Atom) > capacity
        || ! isWalkableSequence (output, types.object, types.blank))
        return;

    int64_t time = 0;
    forEachEvent (output, [this, &time] (const LV2_Atom_Event& event)
    {
        time = std::max (time, event.time.frames);
        if (event.body.type == types.object)
            readMessage (*reinterpret_cast<const LV2_Atom_Object*> (&event.body), false);
    });

    // Continue JUCE's sequence: its size grows with every event appended.
    auto* bytes = reinterpret_cast<uint8_t*> (&output);

    for (std::size_t i = 0; i < parameterUrids.size(); ++i)
    {
        const float value = currentValue (static_cast<int> (i));
        if (! std::isfinite (value) || (requested[i] == 0 && value == hostKnows[i]))
            continue;

        const uint64_t used = sizeof (LV2_Atom) + uint64_t { output.atom.size };
        if (capacity - used < sizeof (PatchSetEvent))
            break;

        PatchSetEvent message {};
        message.header.time.frames = time;
        message.header.body = { static_cast<uint32_t> (sizeof (PatchSetEvent) - sizeof (LV2_Atom_Event)), types.object };
        message.object = { 0, patchSet };
        message.property = { patchProperty, 0, { sizeof (LV2_URID), types.urid } };
        message.propertyValue = parameterUrids[i];
        message.value = { patchValue, 0, { sizeof (float), types.float32 } };
        message.valueValue = value;
        std::memcpy (bytes + used, &message, sizeof (message));
        output.atom.size += static_cast<uint32_t> (sizeof (message));

        hostKnows[i] = value;
        requested[i] = 0;
    }
}
} // namespace dunskara::lv2
