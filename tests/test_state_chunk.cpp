// The saved state: exact chunk text, round trips and damaged chunks.
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

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

// Everything a chunk can change, as one comparable text.
juce::String snapshot (VarnocAudioProcessor& p)
{
    juce::String s;
    for (int prog = 0; prog < 10; ++prog)
    {
        s << p.getProgramName (prog) << ":";
        for (int i = 0; i < 35; ++i)
            s << juce::String (p.programBank->getValue (prog, i), 9) << ",";
    }
    for (int i = 0; i < 35; ++i)
        s << juce::String (p.getParameter (i), 9) << ";";
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
    EXPECT_EQ (xml->getNumAttributes(), 360);
    EXPECT_EQ (xml->getNumChildElements(), 0);
    EXPECT_EQ (xml->getAttributeName (359), "pg_floats934");
    EXPECT_EQ (xml->getAttributeName (36), "pname1");
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

TEST (StateChunk, ChunkFromAnotherProgramLoadsIntoTheCurrentOne)
{
    VarnocAudioProcessor source;
    source.setCurrentProgram (3);
    source.setParameter (1, 0.9f);
    const auto block = saveState (source);

    VarnocAudioProcessor target;
    target.setParameter (1, 0.2f); // program 0, overwritten by the chunk's program 0
    loadState (target, block);
    EXPECT_EQ (target.getCurrentProgram(), 0);
    EXPECT_EQ (target.getParameter (1), 0.6f);
    EXPECT_EQ (target.programBank->getValue (3, 1), 0.9f);
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

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
