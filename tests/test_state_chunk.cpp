// The saved state: exact chunk text, round trips and damaged chunks.
#include "plugin/VarnocAudioProcessor.h"

#include "plugin/ChunkReader.h"
#include "plugin/NumberText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
juce::MemoryBlock saveState (VarnocAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

juce::String chunkText (const juce::MemoryBlock& block)
{
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}

juce::MemoryBlock chunkFromXml (const juce::String& xml)
{
    juce::MemoryBlock block;
    if (auto element = juce::parseXML (xml))
        juce::AudioProcessor::copyXmlToBinary (*element, block);
    return block;
}

void loadState (VarnocAudioProcessor& p, const juce::MemoryBlock& block)
{
    p.setStateInformation (block.getData(), (int) block.getSize());
}

// Raw text in JUCE's framing: magic, length, the bytes as given, a terminating 0.
juce::MemoryBlock framed (const std::string& text)
{
    juce::MemoryBlock block;
    const juce::uint32 header[2] = { juce::ByteOrder::swapIfBigEndian (0x21324356u),
                                     juce::ByteOrder::swapIfBigEndian ((juce::uint32) text.size()) };
    block.append (header, sizeof (header));
    block.append (text.data(), text.size());
    block.append ("", 1);
    return block;
}

// Everything a chunk can change, as one comparable string: names, then the raw bits of
// every stored and live value, then the current program (cheap enough for long loops).
std::string snapshot (VarnocAudioProcessor& p)
{
    std::string s;
    auto appendValue = [&s] (float v) { s.append (reinterpret_cast<const char*> (&v), sizeof (v)); };
    for (int prog = 0; prog < 10; ++prog)
    {
        s += p.programBank->getName (prog).toStdString();
        s += '\0';
        for (int i = 0; i < 35; ++i)
            appendValue (p.programBank->getValue (prog, i));
    }
    for (int i = 0; i < 35; ++i)
        appendValue (p.parameterValues[i].load());
    s += std::to_string (p.currentProgram.load());
    return s;
}
} // namespace

TEST (StateChunk, FreshProcessorWritesTheExactAttributeText)
{
    VarnocAudioProcessor p;
    const auto block = saveState (p);
    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (block.getData()), 0x21324356u); // JUCE's magic
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (block.getData(), 4)), (juce::uint32) block.getSize() - 9);

    const auto text = chunkText (block);
    const auto element = text.fromFirstOccurrenceOf ("<MYPLUGINSETTINGS", true, false);
    EXPECT_TRUE (element.startsWith ("<MYPLUGINSETTINGS pname0=\"user1\" pg_floats00=\"0.419999987\" "
                                     "pg_floats01=\"0.600000024\" pg_floats02=\"1\" pg_floats03=\"0\" "
                                     "pg_floats04=\"0.5\" "))
        << element.substring (0, 200);
    EXPECT_TRUE (element.contains ("pg_floats030=\"0.0299999993\" pg_floats031=\"0.400000006\" "
                                   "pg_floats032=\"1\" pg_floats033=\"0.5\" pg_floats034=\"0.5\" pname1=\"user2\" "
                                   "pg_floats10=\"0.419999987\""));
    EXPECT_TRUE (element.contains ("pg_floats027=\"0.25\""));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "MYPLUGINSETTINGS");
    EXPECT_EQ (xml->getNumAttributes(), 361);
    EXPECT_EQ (xml->getNumChildElements(), 0);
    EXPECT_EQ (xml->getAttributeName (359), "pg_floats934");
    EXPECT_EQ (xml->getAttributeName (36), "pname1");
    // after the bank: the current program
    EXPECT_EQ (xml->getAttributeName (360), "currentProgram");
    EXPECT_TRUE (element.endsWith ("pg_floats934=\"0.5\" currentProgram=\"0\"/>")) << element.getLastCharacters (80);
}

TEST (StateChunk, RoundTripRestoresNamesAndValuesExactly)
{
    VarnocAudioProcessor source;
    source.changeProgramName (2, "Drums & \"Bass\" <1>");
    source.setParameter (0, 0.123456789f);
    source.setParameter (30, 0.1f);
    source.setCurrentProgram (2);
    source.setParameter (5, 1.0e-7f);
    source.setParameter (6, 1.75f); // values are not clamped
    source.setCurrentProgram (0);
    const auto block = saveState (source);

    VarnocAudioProcessor target;
    loadState (target, block);
    EXPECT_EQ (snapshot (target), snapshot (source));
    EXPECT_EQ (target.getProgramName (2), "Drums & \"Bass\" <1>");
    EXPECT_EQ (target.programBank->getValue (2, 6), 1.75f);
    // the signal chain follows the restored values
    EXPECT_EQ (target.lowCrossoverHz.load(), params::crossoverHz (0.1f));
}

TEST (StateChunk, LiveValuesOfTheCurrentProgramAreSaved)
{
    VarnocAudioProcessor p;
    p.setCurrentProgram (3);
    p.parameterValues[7].store (0.9f); // live value not yet synced into the bank
    const auto xml = juce::AudioProcessor::getXmlFromBinary (saveState (p).getData(), (int) saveState (p).getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("pg_floats37"), "0.899999976");
}

TEST (StateChunk, ChunkReopensOnTheProgramItWasSavedIn)
{
    VarnocAudioProcessor source;
    source.setCurrentProgram (3);
    source.setParameter (1, 0.9f);
    const auto block = saveState (source);
    EXPECT_NE (chunkText (block).indexOf ("currentProgram=\"3\""), -1);

    VarnocAudioProcessor target;
    target.setParameter (1, 0.2f); // program 0, overwritten by the chunk's program 0
    loadState (target, block);
    EXPECT_EQ (target.getCurrentProgram(), 3);
    EXPECT_EQ (target.getParameter (1), 0.9f);
    EXPECT_EQ (target.programBank->getValue (0, 1), 0.6f);
    EXPECT_EQ (snapshot (target), snapshot (source));

    // and back: a chunk saved on program 0 moves a processor on program 3 to program 0
    VarnocAudioProcessor fresh;
    loadState (target, saveState (fresh));
    EXPECT_EQ (target.getCurrentProgram(), 0);
    EXPECT_EQ (target.getParameter (1), 0.6f);
}

TEST (StateChunk, ChunkWithoutAUsableCurrentProgramKeepsTheCurrentOne)
{
    VarnocAudioProcessor source;
    source.setCurrentProgram (3);
    source.setParameter (1, 0.9f);
    const auto text = chunkText (saveState (source));

    // older sessions, other writers and damaged values: the live values become the
    // loaded bank's row of the processor's own current program
    const char* const values[] = { nullptr, "10", "-1", "abc", "3x", "", " 3", "3.0", "+3", "99999999999" };
    for (const char* value : values)
    {
        auto xml = juce::parseXML (text);
        ASSERT_NE (xml, nullptr);
        if (value == nullptr)
            xml->removeAttribute ("currentProgram");
        else
            xml->setAttribute ("currentProgram", value);

        VarnocAudioProcessor target;
        target.setCurrentProgram (2);
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*xml, block);
        loadState (target, block);
        const auto label = value == nullptr ? "(absent)" : value;
        EXPECT_EQ (target.getCurrentProgram(), 2) << label;
        EXPECT_EQ (target.getParameter (1), 0.6f) << label;
        EXPECT_EQ (target.programBank->getValue (3, 1), 0.9f) << label;
    }

    // lower case, leading zeros: still the program
    VarnocAudioProcessor target;
    loadState (target, chunkFromXml ("<MYPLUGINSETTINGS pg_floats71=\"0.125\" CURRENTPROGRAM=\"07\"/>"));
    EXPECT_EQ (target.getCurrentProgram(), 7);
    EXPECT_EQ (target.getParameter (1), 0.125f);
}

TEST (StateChunk, LenientReading)
{
    VarnocAudioProcessor p;
    // lower-case tag and attribute names, "abc" reads as 0, missing attributes keep their values
    loadState (p, chunkFromXml ("<mypluginsettings PNAME1=\"Keys\" pg_floats05=\"abc\" PG_FLOATS06=\"0.25\"/>"));
    EXPECT_EQ (p.getParameter (5), 0.0f);
    EXPECT_EQ (p.getParameter (6), 0.25f);
    EXPECT_EQ (p.getProgramName (1), "Keys");
    EXPECT_EQ (p.getProgramName (0), "user1");
    EXPECT_EQ (p.getParameter (0), 0.42f);
}

TEST (StateChunk, NonFiniteValuesKeepThePreviousValueAndTheRestLoads)
{
    VarnocAudioProcessor p;
    loadState (p, chunkFromXml ("<MYPLUGINSETTINGS pg_floats00=\"nan\" pg_floats01=\"inf\" "
                                "pg_floats02=\"1e999\" pg_floats03=\"-1e300\" pg_floats04=\"0.75\"/>"));
    EXPECT_EQ (p.getParameter (0), 0.42f);
    EXPECT_EQ (p.getParameter (1), 0.6f);
    EXPECT_EQ (p.getParameter (2), 1.0f);
    EXPECT_EQ (p.getParameter (3), 0.0f);
    EXPECT_EQ (p.getParameter (4), 0.75f);
}

TEST (StateChunk, UnusableChunksChangeNothing)
{
    VarnocAudioProcessor p;
    p.setParameter (0, 0.3f);
    p.changeProgramName (0, "Mine");
    const auto before = snapshot (p);

    const auto good = saveState (p);
    auto truncated = good;
    truncated.setSize (good.getSize() / 2);
    juce::MemoryBlock garbage;
    for (int i = 0; i < 500; ++i)
        garbage.append (&i, 1);
    juce::MemoryBlock wrongMagic (good);
    static_cast<char*> (wrongMagic.getData())[0] ^= 0x55;
    juce::MemoryBlock hugeLength (good);
    static_cast<juce::uint32*> (hugeLength.getData())[1] = 0x7fffffff;

    for (const auto* block : { &truncated, &garbage, &wrongMagic })
    {
        loadState (p, *block);
        EXPECT_EQ (snapshot (p), before);
    }
    loadState (p, chunkFromXml ("<OTHERPLUGIN pg_floats00=\"0.9\"/>"));
    EXPECT_EQ (snapshot (p), before);

    p.setStateInformation (nullptr, 100);
    p.setStateInformation (good.getData(), 0);
    p.setStateInformation (good.getData(), -5);
    p.setStateInformation (good.getData(), 8);
    EXPECT_EQ (snapshot (p), before);

    // a length field beyond the data is limited to the data: still a complete chunk
    loadState (p, hugeLength);
    EXPECT_EQ (snapshot (p), before);
}

//==============================================================================
// Damaged chunks: each one is refused as a whole, whatever part of it is readable.

class DamagedChunk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor.setParameter (0, 0.3f);
        processor.changeProgramName (0, "Mine");
        processor.setCurrentProgram (4);
        before = snapshot (processor);
    }

    void expectRefused (const juce::MemoryBlock& block, const std::string& label)
    {
        loadState (processor, block);
        EXPECT_EQ (snapshot (processor), before) << label;
        EXPECT_EQ (processor.getCurrentProgram(), 4) << label;
        EXPECT_FALSE (chunk::readChunk (block.getData(), block.getSize()).has_value()) << label;
    }

    VarnocAudioProcessor processor;
    std::string before;
};

TEST_F (DamagedChunk, HostileTextsFromTheFieldAreRefused)
{
    const auto seventeen = framed ("<-><?" "?>e");
    ASSERT_EQ (seventeen.getSize(), 17u);
    const auto doctype = framed ("<!DOCTYPE\xBE");
    ASSERT_EQ (doctype.getSize(), 19u);

    expectRefused (seventeen, "17 bytes");
    expectRefused (doctype, "doctype");
    expectRefused (framed ("<M<!--\xE1-->"), "comment in a tag");

    const std::string start = "<MYPLUGINSETTINGS pg_floats00=\"0.9\" pname1=\"x\"";
    const std::pair<std::string, const char*> texts[] = {
        { start + "><?pi data?>text</MYPLUGINSETTINGS>", "PI then text" },
        { start + ">text</MYPLUGINSETTINGS>", "text" },
        { start + "><child/></MYPLUGINSETTINGS>", "child element" },
        { "<MYPLUGINSETTINGS pname0=\"R\xBB\xA6\" pg_floats00=\"0.9\"/>", "non-UTF-8 in a value" },
        { start + " pg_floats01=0.5/>", "unquoted value" },
        { start + " pname2=\"&#1;\"/>", "character reference to U+0001" },
        { start + " pname2=\"&#xZZ;\"/>", "bad character reference" },
        { start + " pname2=\"&#99999999;\"/>", "character reference out of range" },
        { start + " pname2=\"&nbsp;\"/>", "undeclared entity" },
        { start + " pname2=\"\xC0\xAF\"/>", "overlong UTF-8" },
        { start + " pname2=\"\xED\xA0\x80\"/>", "UTF-8 surrogate" },
        { start + " pname2=\"\xF4\x90\x80\x80\"/>", "UTF-8 beyond U+10FFFF" },
        { start + " pname2=\"a\x01\"/>", "control character" },
        { start + " pg_floats00=\"0.1\"/>", "attribute given twice" },
        { start + "/><MYPLUGINSETTINGS/>", "two root elements" },
        { start + "/>trailing", "text after the element" },
        { start, "end inside a tag" },
        { "<MYPLUGINSETTINGS pg_floats00=\"0.9", "end inside a value" },
        { start + ">", "element not closed" },
        { "<!DOCTYPE a [<!ENTITY x \"0.9\">]><MYPLUGINSETTINGS pg_floats00=\"&x;\"/>", "document type declaration" },
        { "", "empty" },
        { "   ", "whitespace only" },
    };
    for (const auto& [text, label] : texts)
        expectRefused (framed (text), label);

    // a whole element is only whole with its terminating 0 inside the data
    auto noTerminator = framed (start + "/>");
    noTerminator.setSize (noTerminator.getSize() - 1);
    expectRefused (noTerminator, "no terminating 0");
    // a 0 inside the text ends it where the length field says more
    expectRefused (framed (start + std::string (1, '\0') + "/>"), "0 inside a tag");
}

TEST_F (DamagedChunk, FramingIsCheckedAsJuceWritesIt)
{
    const auto good = saveState (processor);
    auto withLength = [&] (juce::uint32 length)
    {
        auto block = good;
        static_cast<juce::uint32*> (block.getData())[1] = juce::ByteOrder::swapIfBigEndian (length);
        return block;
    };
    const auto textLength = (juce::uint32) good.getSize() - 9;

    expectRefused (withLength (0), "length 0");
    expectRefused (withLength (0x80000000u), "negative length");
    expectRefused (withLength (textLength - 1), "length one short");

    // a length beyond the data is limited to the data; bytes after the 0 are not read
    VarnocAudioProcessor target;
    loadState (target, withLength (0xffffffu));
    EXPECT_EQ (snapshot (target), before);
    auto padded = withLength (textLength + 100);
    padded.append ("\xFF garbage", 9);
    VarnocAudioProcessor second;
    loadState (second, padded);
    EXPECT_EQ (snapshot (second), before);
    EXPECT_EQ (second.getCurrentProgram(), 4);

    // the same bytes with any real magic and size check
    const auto text = std::string (static_cast<const char*> (good.getData()) + 8, textLength);
    EXPECT_EQ (chunk::unwrapText (good.getData(), good.getSize()), std::optional<std::string_view> (text));
}

TEST_F (DamagedChunk, TruncationAtEveryLengthChangesNothing)
{
    VarnocAudioProcessor source;
    source.setCurrentProgram (2);
    source.setParameter (3, 0.75f);
    source.changeProgramName (9, "Last");
    const auto good = saveState (source);

    for (size_t length = 0; length < good.getSize(); ++length)
    {
        processor.setStateInformation (good.getData(), (int) length);
        ASSERT_EQ (snapshot (processor), before) << "cut at " << length;
    }
    loadState (processor, good);
    EXPECT_EQ (snapshot (processor), snapshot (source));
    EXPECT_EQ (processor.getCurrentProgram(), 2);
}

TEST_F (DamagedChunk, DeepNestingAndHugeAttributeCountsAreRefusedQuickly)
{
    std::string nested;
    for (int i = 0; i < 30000; ++i)
        nested += "<MYPLUGINSETTINGS>";
    for (int i = 0; i < 30000; ++i)
        nested += "</MYPLUGINSETTINGS>";
    expectRefused (framed (nested), "30,000 nested elements");

    std::string many = "<MYPLUGINSETTINGS";
    for (int i = 0; i < 40000; ++i)
        many += " a" + std::to_string (i) + "=\"0.5\"";
    many += " pg_floats00=\"0.9\"/>";
    expectRefused (framed (many), "40,000 attributes");

    expectRefused (framed (std::string (chunk::maxTextBytes + 1, ' ')), "text beyond the size limit");

    // up to the limit the attributes are looked up in one pass; unknown ones are ignored
    std::string full = "<MYPLUGINSETTINGS";
    for (size_t i = 0; i + 1 < chunk::maxAttributes; ++i)
        full += " a" + std::to_string (i) + "=\"0.5\"";
    full += " PG_FLOATS00=\"0.875\"/>";
    loadState (processor, framed (full));
    EXPECT_EQ (processor.programBank->getValue (0, 0), 0.875f);
}

TEST (StateChunk, ReaderAcceptsWhatXmlAllowsAroundTheElement)
{
    const auto element = chunk::parseElement (
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- saved -->\n"
        "<MYPLUGINSETTINGS a=\"&#220;&#x65E5;&lt;&amp;&quot;\" b='single' c=\"\xC3\x9C\">\r\n"
        "  <!-- c --> <?pi x?> <![CDATA[ ]]>\t</MYPLUGINSETTINGS>\n<?after?>  ");
    ASSERT_TRUE (element.has_value());
    EXPECT_EQ (element->tag, "MYPLUGINSETTINGS");
    ASSERT_EQ (element->attributes.size(), 3u);
    EXPECT_EQ (element->attributes[0].first, "a");
    EXPECT_EQ (element->attributes[0].second, juce::String (juce::CharPointer_UTF8 ("\xC3\x9C\xE6\x97\xA5<&\"")));
    EXPECT_EQ (element->attributes[1].second, "single");
    // the declaration's encoding is overridden: chunks are UTF-8
    EXPECT_EQ (element->attributes[2].second, juce::String (juce::CharPointer_UTF8 ("\xC3\x9C")));
}

//==============================================================================
// Values: read exactly as juce::String::getDoubleValue reads them, without its overflow.

TEST (StateChunk, ValueTextsReadAsJuceReadsThem)
{
    const char* texts[] = {
        "0.419999987", "0.600000024", "0.0299999993", "0.400000006", "0.25", "1", "0", "-0", "-0.0",
        "abc", "", " ", "  0.5", "\t-1.5e3", "+2", "1.", ".5", "-.5", "5e", "5e+", "5e-3", "1E2", "e5",
        "0e5", "000.125", "0.000000000000000000012345", "123456789012345678901234567890",
        "1.23456789012345678901234567890", "1e308", "1.8e308", "1e309", "1e-320", "1e-400", "4.9e-324",
        "nan", "NaN", "-nan", "na", "inf", "-Inf", "infinity", "in", "0x10", "1,5", "12abc", "--1",
        "3.40282347e+38", "3.40282357e+38", "1e0000000000000000005", "1e-0000000000000000005",
    };
    for (const char* t : texts)
    {
        const juce::String text (t);
        const double expected = text.getDoubleValue();
        const double actual = numbertext::readDouble (text);
        if (std::isnan (expected))
            EXPECT_TRUE (std::isnan (actual)) << t;
        else
            EXPECT_EQ (std::memcmp (&expected, &actual, sizeof (double)), 0) << t << ": " << expected << " vs " << actual;
    }

    // every float written as "%.9g", and random ordinary texts
    std::mt19937 random (7);
    const std::string alphabet = "0123456789.eE+- x";
    for (int n = 0; n < 20000; ++n)
    {
        std::string t;
        if (n % 2 == 0)
        {
            char buffer[40];
            std::uint32_t bits = random();
            float f;
            std::memcpy (&f, &bits, sizeof (f));
            std::snprintf (buffer, sizeof (buffer), "%.9g", (double) f);
            t = buffer;
        }
        else
        {
            // short enough that JUCE's own exponent reading cannot overflow
            const auto length = 1 + random() % 9;
            for (size_t i = 0; i < length; ++i)
                t += alphabet[random() % alphabet.size()];
        }
        const juce::String text (t);
        const double expected = text.getDoubleValue();
        const double actual = numbertext::readDouble (text);
        if (std::isnan (expected))
            ASSERT_TRUE (std::isnan (actual)) << t;
        else
            ASSERT_EQ (std::memcmp (&expected, &actual, sizeof (double)), 0) << t;
    }
}

TEST (StateChunk, HugeExponentsAreOutOfRangeNotUndefined)
{
    EXPECT_EQ (numbertext::readDouble ("1e9999999999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ (numbertext::readDouble ("-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ (numbertext::readDouble ("1e-9999999999"), 0.0);
    EXPECT_EQ (numbertext::readDouble (juce::String::repeatedString ("9", 400)), std::numeric_limits<double>::infinity());

    VarnocAudioProcessor p;
    loadState (p, chunkFromXml ("<MYPLUGINSETTINGS pg_floats00=\"1e9999999999\" pg_floats01=\"-1e9999999999\" "
                                "pg_floats02=\"1e-9999999999\" pg_floats04=\"0.75\"/>"));
    EXPECT_EQ (p.getParameter (0), 0.42f);
    EXPECT_EQ (p.getParameter (1), 0.6f);
    EXPECT_EQ (p.getParameter (2), 0.0f);
    EXPECT_EQ (p.getParameter (4), 0.75f);
}

//==============================================================================
// Program names: always stored as text the chunk can carry.

TEST (StateChunk, ProgramNamesAreStoredAsValidTextAndRoundTrip)
{
    juce::String everyCharacter;
    for (juce::juce_wchar c = 1; c <= 255; ++c)
        everyCharacter += juce::String::charToString (c);

    const juce::juce_wchar awkward[] = { 0x1, 'a', 0x1f, 0xD800, 'b', 0xDFFF, 0xFFFE, 0xFFFF, 0x10FFFF, 0x110000, 0 };
    // (A juce::String cannot be built from invalid UTF-8 at all: JUCE's own conversion
    // overruns its buffer on such bytes, so hosts' bytes are decoded before they get here.)
    const juce::String accented (juce::CharPointer_UTF8 ("caf\xC3\xA9"));

    const juce::String names[] = {
        everyCharacter,
        juce::String (juce::CharPointer_UTF32 (reinterpret_cast<const juce::CharPointer_UTF32::CharType*> (awkward))),
        accented,
        juce::String::repeatedString ("long", 1000),
        juce::String (juce::CharPointer_UTF8 ("\xC3\x9C")),
        juce::String (juce::CharPointer_UTF8 ("\xE6\x97\xA5\xE6\x9C\xAC")),
        juce::String (juce::CharPointer_UTF8 ("tab\there\nnew\rline \xF0\x9F\x8E\xB8")),
        "Drums & \"Bass\" <1>",
    };

    VarnocAudioProcessor source;
    for (int p = 0; p < (int) std::size (names); ++p)
        source.changeProgramName (p, names[p]);

    // what is stored is valid UTF-8, holds only characters XML allows, and is bounded
    for (int p = 0; p < (int) std::size (names); ++p)
    {
        const auto stored = source.getProgramName (p);
        EXPECT_TRUE (juce::CharPointer_UTF8::isValidString (stored.toRawUTF8(), (int) stored.getNumBytesAsUTF8())) << p;
        EXPECT_LE (stored.length(), ProgramBank::maxNameLength) << p;
        EXPECT_EQ (ProgramBank::sanitiseName (stored), stored) << p;
        for (auto c : stored)
            EXPECT_TRUE (c == 9 || c == 10 || c == 13 || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c < 0xFFFE)
                         || (c >= 0x10000 && c <= 0x10FFFF)) << p << ": " << (int) c;
    }

    // the allowed characters keep their place; the others become U+FFFD
    const auto replaced = source.getProgramName (0);
    EXPECT_EQ (replaced.length(), 255);
    EXPECT_EQ (replaced[0], (juce::juce_wchar) 0xFFFD);
    EXPECT_EQ (replaced[8], (juce::juce_wchar) 9);
    EXPECT_EQ (replaced.substring (31), everyCharacter.substring (31));
    EXPECT_EQ (source.getProgramName (1), juce::String (juce::CharPointer_UTF8 ("\xEF\xBF\xBD" "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"
                                                                                 "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF\xEF\xBF\xBD")));
    EXPECT_EQ (source.getProgramName (3), juce::String::repeatedString ("long", 64));
    EXPECT_EQ (source.getProgramName (2), accented);
    for (int p = 4; p < 8; ++p)
        EXPECT_EQ (source.getProgramName (p), names[p]) << p;

    const auto block = saveState (source);
    EXPECT_TRUE (chunk::readChunk (block.getData(), block.getSize()).has_value());
    VarnocAudioProcessor target;
    loadState (target, block);
    for (int p = 0; p < 10; ++p)
        EXPECT_EQ (target.getProgramName (p), source.getProgramName (p)) << p;
    EXPECT_EQ (snapshot (target), snapshot (source));
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
