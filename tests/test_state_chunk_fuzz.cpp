// Random mutations of a real chunk: never a crash, and every chunk either applies as a
// whole or changes nothing at all.
#include "plugin/ChunkReader.h"
#include "plugin/NumberText.h"
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
using Bytes = std::vector<unsigned char>;

// About a second in a release build; the sanitizer build runs several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int numMutations = 2000;
#else
constexpr int numMutations = 8000;
#endif

// All a chunk can change.
struct State
{
    juce::String names[10];
    float values[10][35] {};
    float live[35] {};
    int program = 0;

    static State of (VarnocAudioProcessor& p)
    {
        State s;
        for (int prog = 0; prog < 10; ++prog)
        {
            s.names[prog] = p.programBank->getName (prog);
            for (int i = 0; i < 35; ++i)
                s.values[prog][i] = p.programBank->getValue (prog, i);
        }
        for (int i = 0; i < 35; ++i)
            s.live[i] = p.parameterValues[i].load();
        s.program = p.currentProgram.load();
        return s;
    }

    // First difference, or empty when equal (values compared bit for bit).
    std::string differenceFrom (const State& other) const
    {
        for (int prog = 0; prog < 10; ++prog)
        {
            if (names[prog] != other.names[prog])
                return "name " + std::to_string (prog);
            for (int i = 0; i < 35; ++i)
                if (std::memcmp (&values[prog][i], &other.values[prog][i], sizeof (float)) != 0)
                    return "value " + std::to_string (prog) + "/" + std::to_string (i);
        }
        if (std::memcmp (live, other.live, sizeof (live)) != 0)
            return "live values";
        return program == other.program ? std::string() : "current program";
    }
};

Bytes saveState (VarnocAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    const auto* data = static_cast<const unsigned char*> (block.getData());
    return Bytes (data, data + block.getSize());
}

void loadState (VarnocAudioProcessor& p, const Bytes& bytes)
{
    p.setStateInformation (bytes.empty() ? nullptr : bytes.data(), (int) bytes.size());
}

std::string asciiLower (const juce::String& s)
{
    std::string text = s.toStdString();
    for (auto& c : text)
        c = (char) std::tolower ((unsigned char) c);
    return text;
}

// What loading an accepted element into a processor in state `before` must give,
// worked out separately from the processor's own code.
State expectedAfterLoad (const State& before, const chunk::Element& element)
{
    std::map<std::string, const juce::String*> firstByName;
    for (const auto& [name, value] : element.attributes)
        firstByName.emplace (asciiLower (name), &value);
    auto find = [&] (const std::string& name) -> const juce::String*
    {
        const auto it = firstByName.find (name);
        return it == firstByName.end() ? nullptr : it->second;
    };

    State s = before;
    for (int prog = 0; prog < 10; ++prog)
    {
        if (const auto* name = find ("pname" + std::to_string (prog)))
            s.names[prog] = ProgramBank::sanitiseName (*name);
        for (int i = 0; i < 35; ++i)
            if (const auto* text = find ("pg_floats" + std::to_string (prog) + std::to_string (i)))
                if (const auto v = (float) numbertext::readDouble (*text); std::isfinite (v))
                    s.values[prog][i] = v;
    }
    if (const auto* text = find ("currentprogram"))
    {
        const auto t = text->toStdString();
        if (! t.empty() && t.size() <= 3 && t.find_first_not_of ("0123456789") == std::string::npos && std::stoi (t) <= 9)
            s.program = std::stoi (t);
    }
    std::memcpy (s.live, s.values[s.program], sizeof (s.live));
    return s;
}

class Mutator
{
public:
    explicit Mutator (unsigned seed) : random (seed) {}

    size_t below (size_t n) { return n == 0 ? 0 : random() % n; }

    void mutate (Bytes& b)
    {
        static const unsigned char interesting[] = { 0, '<', '>', '"', '\'', '&', '=', '/', '!', '?', ' ', '\n',
                                                     'e', '-', '9', 0x80, 0xBF, 0xC3, 0xE1, 0xED, 0xF4, 0xFF };
        static const char* const tokens[] = { "<a>", "</a>", "<a/>", "&#1;", "&#65;", "&amp;", "&x;", "<!--", "-->",
                                              "<?p?>", "<![CDATA[", "]]>", "<!DOCTYPE x>", " pname0=\"z\"",
                                              " PG_FLOATS00=\"7\"", " currentProgram=\"9\"", "e9999999999", "\xC3\x9C" };
        switch (below (7))
        {
            case 0: if (! b.empty()) b[below (b.size())] ^= (unsigned char) (1u << below (8)); break;
            case 1: if (! b.empty()) b[below (b.size())] = interesting[below (sizeof (interesting))]; break;
            case 2:
            {
                const std::string t = tokens[below (std::size (tokens))];
                b.insert (b.begin() + (long) below (b.size() + 1), t.begin(), t.end());
                break;
            }
            case 3:
            {
                const auto at = below (b.size());
                b.erase (b.begin() + (long) at, b.begin() + (long) std::min (b.size(), at + 1 + below (16)));
                break;
            }
            case 4:
            {
                const auto at = below (b.size());
                const Bytes copy (b.begin() + (long) at, b.begin() + (long) std::min (b.size(), at + 1 + below (32)));
                b.insert (b.begin() + (long) below (b.size() + 1), copy.begin(), copy.end());
                break;
            }
            case 5: b.resize (below (b.size())); break;
            default:
                if (b.size() >= 8)
                    b[4 + below (4)] = (unsigned char) random();
                break;
        }
    }

    std::mt19937 random;
};

// The byte offsets of the digits in the element's attribute values.
std::vector<size_t> digitPositions (const Bytes& b)
{
    const std::string text (b.begin(), b.end());
    std::vector<size_t> positions;
    bool inValue = false;
    for (size_t i = text.find ("<MYPLUGINSETTINGS"); i < text.size(); ++i)
    {
        if (text[i] == '"')
            inValue = ! inValue;
        else if (inValue && std::isdigit ((unsigned char) text[i]))
            positions.push_back (i);
    }
    return positions;
}
} // namespace

TEST (StateChunkFuzz, MutatedChunksApplyWhollyOrNotAtAll)
{
    VarnocAudioProcessor source;
    for (int prog = 0; prog < 10; ++prog)
    {
        source.setCurrentProgram (prog);
        source.changeProgramName (prog, "src " + juce::String (prog));
        for (int i = 0; i < 35; ++i)
            source.setParameter (i, (float) (prog * 35 + i + 1) / 1000.0f);
    }
    source.setCurrentProgram (6);
    const auto base = saveState (source);

    VarnocAudioProcessor target;
    target.setCurrentProgram (4);
    target.setParameter (2, 0.3f);
    const auto initialChunk = saveState (target);
    const auto initial = State::of (target);
    const auto digits = digitPositions (base);
    ASSERT_GT (digits.size(), 300u);

    Mutator mutator (20261209);
    int accepted = 0, refused = 0;
    for (int n = 0; n < numMutations; ++n)
    {
        auto bytes = base;
        const int kind = (int) mutator.below (10);
        if (kind == 0)      // a digit of a value changed into another: still a good chunk
            bytes[digits[mutator.below (digits.size())]] = (unsigned char) ('0' + mutator.below (10));
        else if (kind == 1) // '<' inside an attribute value: never well-formed
            bytes[digits[mutator.below (digits.size())]] = '<';
        else
            for (int m = 1 + (int) mutator.below (3); m > 0; --m)
                mutator.mutate (bytes);

        loadState (target, bytes);
        const auto after = State::of (target);
        const auto element = chunk::readChunk (bytes.data(), bytes.size());
        const bool applies = element && element->tag.equalsIgnoreCase ("MYPLUGINSETTINGS");

        if (kind == 0)
        {
            ASSERT_TRUE (applies) << "mutation " << n;
        }
        else if (kind == 1)
        {
            ASSERT_FALSE (applies) << "mutation " << n;
        }

        if (! applies)
        {
            ASSERT_EQ (after.differenceFrom (initial), "") << "refused chunk changed the state, mutation " << n;
            ++refused;
            continue;
        }

        ++accepted;
        ASSERT_EQ (after.differenceFrom (expectedAfterLoad (initial, *element)), "") << "mutation " << n;
        // whatever was loaded, the chunk written now reads back (saving is slow: sampled)
        if (accepted % 8 == 1)
        {
            const auto resaved = saveState (target);
            ASSERT_TRUE (chunk::readChunk (resaved.data(), resaved.size()).has_value()) << "mutation " << n;
        }
        loadState (target, initialChunk);
        ASSERT_EQ (State::of (target).differenceFrom (initial), "");
    }

    // both outcomes were exercised
    EXPECT_GT (accepted, numMutations / 10);
    EXPECT_GT (refused, numMutations / 10);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
