#include "RenderTestSupport.h"

#include "plugin/ParameterTable.h"
#include "tools/render/AudioFiles.h"
#include "tools/render/DemoMix.h"
#include "tools/render/ProcessorSettings.h"

using namespace render_test;

namespace
{
    const Settings compressing { { "thresh_0", 0.2f }, { "thresh_1", 0.25f }, { "thresh_2", 0.3f },
                                 { "ratio_1", 0.1f }, { "FinalMix", 0.9f } };

    juce::StringArray settingArgs (const Settings& settings)
    {
        juce::StringArray args;
        for (const auto& [name, value] : settings)
            args.add ("--set=" + name + "=" + juce::String (value));
        return args;
    }

    juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock data;
        file.loadFileAsData (data);
        return data;
    }

    // JUCE's binary framing around any text: magic, length, the text, a 0 byte.
    juce::MemoryBlock framed (const juce::String& text)
    {
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) text.getNumBytesAsUTF8());
        out << text;
        out.writeByte (0);
        return out.getMemoryBlock();
    }

    // A chunk from a processor with a few values changed in two programs.
    juce::MemoryBlock makeChunk()
    {
        VarnocAudioProcessor source;
        source.setParameter (params::bandIndex (1, params::thresh), 0.4f);   // program 0
        source.setCurrentProgram (3);
        source.setParameter (params::bandIndex (0, params::ratio), 0.1f);    // program 3
        source.setParameter (params::bandIndex (2, params::gain), 0.7f);
        source.changeProgramName (3, "Loud");
        juce::MemoryBlock chunk;
        source.getStateInformation (chunk);
        return chunk;
    }
} // namespace

TEST (RenderDemo, IsDeterministicAndShapedAsPromised)
{
    const auto first = render::makeDemoMix();
    const auto second = render::makeDemoMix();

    ASSERT_EQ (first.getNumChannels(), 2);
    ASSERT_EQ (first.getNumSamples(), 480000);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (std::memcmp (first.getReadPointer (c), second.getReadPointer (c), sizeof (float) * 480000), 0);

    const float peak = std::max (first.getMagnitude (0, 0, 480000), first.getMagnitude (1, 0, 480000));
    EXPECT_NEAR (juce::Decibels::gainToDecibels (peak), -3.0f, 0.01f);
    // Panned parts: the channels differ; every half second (a kick) has sound.
    EXPECT_GT (maxDifference (first, 0, first, 1), 0.01f);
    for (int beat = 0; beat < 20; ++beat)
        EXPECT_GT (first.getRMSLevel (0, beat * 24000, 24000), 0.02f) << "beat " << beat;
}

TEST (RenderDemo, WritesProcessedAndDryFilesThatDifferAudibly)
{
    ScratchFolder folder;
    const auto result = run ({ "demo.wav" }, folder.file (""));
    ASSERT_EQ (result.exitCode, 0) << result.error;
    EXPECT_TRUE (result.summary.contains ("demo setting"));

    const auto processed = readAudio (folder.file ("demo.wav"));
    const auto dry = readAudio (folder.file ("demo-dry.wav"));
    ASSERT_EQ (processed.audio.getNumSamples(), 480000);
    EXPECT_EQ (processed.sampleRate, 48000.0);
    EXPECT_EQ (processed.bitsPerSample, 24u);

    const auto mix = render::makeDemoMix();
    EXPECT_LT (maxDifference (dry.audio, 0, mix, 0), twentyFourBitTolerance);
    EXPECT_LT (maxDifference (dry.audio, 1, mix, 1), twentyFourBitTolerance);

    // The demo setting compresses and makes up: denser, and nowhere near clipping.
    juce::AudioBuffer<float> difference (processed.audio);
    difference.addFrom (0, 0, dry.audio, 0, 0, 480000, -1.0f);
    EXPECT_GT (difference.getRMSLevel (0, 0, 480000), 0.01f);
    EXPECT_LT (processed.audio.getMagnitude (0, 480000), 1.0f);

    // The same render through the processor directly, with the demo setting.
    Settings demoSetting;
    for (int i = 0; i < render::numDemoSettings; ++i)
        demoSetting.push_back ({ render::demoSettings[i].name, render::demoSettings[i].value });
    const auto expected = processDirectly (mix, 48000.0, 512, demoSetting);
    EXPECT_LT (maxDifference (processed.audio, 0, expected, 0), twentyFourBitTolerance);
    EXPECT_LT (maxDifference (processed.audio, 1, expected, 1), twentyFourBitTolerance);
}

TEST (RenderFile, EqualsProcessingTheSameAudioDirectly)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 66150, 44100.0), 44100.0, 24);
    const auto input = readAudio (folder.file ("in.wav"));

    auto args = settingArgs (compressing);
    args.insert (0, "in.wav");
    args.insert (1, "out.wav");
    const auto result = run (args, folder.file (""));
    ASSERT_EQ (result.exitCode, 0) << result.error;

    const auto output = readAudio (folder.file ("out.wav"));
    ASSERT_EQ (output.audio.getNumChannels(), 2);
    EXPECT_EQ (output.sampleRate, 44100.0);
    const auto expected = processDirectly (input.audio, 44100.0, 512, compressing);
    ASSERT_LT (expected.getMagnitude (0, expected.getNumSamples()), 1.0f); // nothing clipped in the file
    EXPECT_LT (maxDifference (output.audio, 0, expected, 0), twentyFourBitTolerance);
    EXPECT_LT (maxDifference (output.audio, 1, expected, 1), twentyFourBitTolerance);

    // The settings took effect: the result is not the input.
    EXPECT_GT (maxDifference (output.audio, 0, input.audio, 0), 0.05f);
}

TEST (RenderFile, BlockLengthDoesNotChangeTheResult)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 20000, 48000.0), 48000.0, 16);

    for (const char* block : { "512", "1", "37", "8192" })
    {
        auto args = settingArgs (compressing);
        args.addArray ({ "in.wav", juce::String ("out") + block + ".wav", "--block", block });
        const auto result = run (args, folder.file (""));
        ASSERT_EQ (result.exitCode, 0) << result.error;
    }
    const auto reference = bytesOf (folder.file ("out512.wav"));
    for (const char* block : { "1", "37", "8192" })
        EXPECT_TRUE (bytesOf (folder.file (juce::String ("out") + block + ".wav")) == reference) << "block " << block;
}

TEST (RenderFile, MonoInputGivesEqualChannelsAtTheInputRate)
{
    ScratchFolder folder;
    writeWav (folder.file ("mono.wav"), makeTestSignal (1, 30000, 22050.0), 22050.0, 16);
    const auto input = readAudio (folder.file ("mono.wav"));

    auto args = settingArgs (compressing);
    args.addArray ({ "mono.wav", "out.flac" });
    const auto result = run (args, folder.file (""));
    ASSERT_EQ (result.exitCode, 0) << result.error;
    EXPECT_TRUE (result.summary.contains ("mono in"));

    const auto output = readAudio (folder.file ("out.flac"));
    EXPECT_EQ (output.formatName, "FLAC file");
    ASSERT_EQ (output.audio.getNumChannels(), 2);
    EXPECT_EQ (output.sampleRate, 22050.0);
    EXPECT_EQ (output.bitsPerSample, 24u);
    EXPECT_EQ (maxDifference (output.audio, 0, output.audio, 1), 0.0f);

    const auto expected = processDirectly (input.audio, 22050.0, 512, compressing);
    ASSERT_LT (expected.getMagnitude (0, expected.getNumSamples()), 1.0f);
    EXPECT_LT (maxDifference (output.audio, 0, expected, 0), twentyFourBitTolerance);
    EXPECT_GT (output.audio.getRMSLevel (1, 0, 30000), 0.05f);
}

TEST (RenderFile, FormatsFollowTheExtensionAndCarryTheSameSamples)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 10000, 96000.0), 96000.0, 32);

    for (const char* name : { "out.wav", "out.aiff", "out.aif", "out.flac" })
        ASSERT_EQ (run ({ "in.wav", name }, folder.file ("")).exitCode, 0) << name;

    const auto wav = readAudio (folder.file ("out.wav"));
    EXPECT_EQ (wav.formatName, "WAV file");
    for (const char* name : { "out.aiff", "out.aif", "out.flac" })
    {
        const auto other = readAudio (folder.file (name));
        EXPECT_EQ (other.sampleRate, 96000.0) << name;
        EXPECT_EQ (other.bitsPerSample, 24u) << name;
        EXPECT_EQ (maxDifference (other.audio, 0, wav.audio, 0), 0.0f) << name;
        EXPECT_EQ (maxDifference (other.audio, 1, wav.audio, 1), 0.0f) << name;
    }
}

TEST (RenderSettings, StateThenProgramThenSetsReachTheSignalChain)
{
    ScratchFolder folder;
    const auto chunk = makeChunk();
    folder.file ("bank.chunk").replaceWithData (chunk.getData(), chunk.getSize());

    const auto parsed = parse ({ "in.wav", "out.wav", "--set", "ratio_0=0.3", "--program", "3",
                                 "--state", folder.file ("bank.chunk").getFullPathName() });
    ASSERT_TRUE (parsed.ok());

    VarnocAudioProcessor processor;
    ASSERT_TRUE (render::applySettings (processor, parsed.options).wasOk());

    EXPECT_EQ (processor.getCurrentProgram(), 3);
    EXPECT_EQ (processor.getProgramName (3), "Loud");
    // From the chunk's program 3, then overridden by --set.
    EXPECT_FLOAT_EQ (processor.getParameter (params::bandIndex (2, params::gain)), 0.7f);
    EXPECT_FLOAT_EQ (processor.getParameter (params::bandIndex (0, params::ratio)), 0.3f);
    EXPECT_FLOAT_EQ (processor.getParameter (params::bandIndex (1, params::thresh)), 1.0f);
    // The values drive the audio without an editor.
    EXPECT_EQ (processor.bandDynamics[0]->ratio.load(), params::ratioSetting (0.3f));
    EXPECT_EQ (processor.bandGain[2].load(), params::bandGain (0.7f));
}

TEST (RenderSettings, SavedStateLoadsBackToTheSameAudioAndBytes)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 20000, 44100.0), 44100.0, 24);

    auto first = run ({ "in.wav", "a.wav", "--program", "2", "--set", "thresh_1=0.2", "--set", "ratio_1=0",
                        "--save-state", "a.chunk" }, folder.file (""));
    ASSERT_EQ (first.exitCode, 0) << first.error;
    // The chunk does not hold the current program: it is chosen again.
    auto second = run ({ "in.wav", "b.wav", "--state", "a.chunk", "--program", "2", "--save-state", "b.chunk" },
                       folder.file (""));
    ASSERT_EQ (second.exitCode, 0) << second.error;

    EXPECT_TRUE (bytesOf (folder.file ("a.chunk")) == bytesOf (folder.file ("b.chunk")));
    EXPECT_TRUE (bytesOf (folder.file ("a.wav")) == bytesOf (folder.file ("b.wav")));

    const auto xml = juce::AudioProcessor::getXmlFromBinary (bytesOf (folder.file ("a.chunk")).getData(),
                                                             (int) folder.file ("a.chunk").getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("pg_floats214"), "0.200000003");
    EXPECT_EQ (xml->getStringAttribute ("pg_floats014"), "1");
}

TEST (RenderSettings, DamagedOrForeignChunksAreRefused)
{
    ScratchFolder folder;
    const auto good = makeChunk();

    juce::MemoryBlock foreign;
    juce::AudioProcessor::copyXmlToBinary (juce::XmlElement ("OTHERSETTINGS"), foreign);
    juce::MemoryBlock lowerCase;
    juce::AudioProcessor::copyXmlToBinary (juce::XmlElement ("mypluginsettings"), lowerCase);

    const std::vector<std::pair<juce::MemoryBlock, const char*>> bad {
        { juce::MemoryBlock(), "damaged" },
        { juce::MemoryBlock (good.getData(), good.getSize() - 20), "cut short" },
        { juce::MemoryBlock (good.getData(), 8), "damaged" },
        { juce::MemoryBlock ("<MYPLUGINSETTINGS/>", 19), "damaged" },
        { framed ("<MYPLUGINSETTINGS pname0=\"user1"), "unreadable XML" },
        { foreign, "OTHERSETTINGS" },
    };

    juce::MemoryBlock loaded;
    for (const auto& [bytes, expected] : bad)
    {
        folder.file ("bad.chunk").deleteFile();
        if (bytes.isEmpty())
            folder.file ("bad.chunk").create(); // replaceWithData would delete it
        else
            folder.file ("bad.chunk").replaceWithData (bytes.getData(), bytes.getSize());
        const auto checked = render::readStateChunk (folder.file ("bad.chunk"), loaded);
        EXPECT_TRUE (checked.failed());
        EXPECT_TRUE (checked.getErrorMessage().contains (expected)) << expected << " / " << checked.getErrorMessage();

        const auto result = run ({ "out.wav", "--state", "bad.chunk" }, folder.file (""));
        EXPECT_EQ (result.exitCode, render::exitFailure);
        EXPECT_FALSE (folder.file ("out.wav").exists());
    }

    folder.file ("ok.chunk").replaceWithData (lowerCase.getData(), lowerCase.getSize());
    EXPECT_TRUE (render::readStateChunk (folder.file ("ok.chunk"), loaded).wasOk());
    const auto plain = framed ("<MYPLUGINSETTINGS pname0=\"x\"/>");
    folder.file ("ok.chunk").replaceWithData (plain.getData(), plain.getSize());
    EXPECT_TRUE (render::readStateChunk (folder.file ("ok.chunk"), loaded).wasOk());
    EXPECT_TRUE (render::readStateChunk (folder.file ("missing.chunk"), loaded).getErrorMessage().contains ("no such"));
}

TEST (RenderFailures, LeaveNoFileBehindAndTheInputUntouched)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 5000, 44100.0), 44100.0, 24);
    writeWav (folder.file ("three.wav"), makeTestSignal (3, 5000, 44100.0), 44100.0, 24);
    folder.file ("noise.wav").replaceWithText ("this is not audio");
    folder.file ("out.wav").replaceWithText ("an earlier result");
    juce::File::createSymbolicLink (folder.file ("link.wav"), folder.file ("in.wav").getFullPathName(), true);
    const auto inputBytes = bytesOf (folder.file ("in.wav"));
    const auto before = folder.listing();

    const std::vector<std::tuple<juce::StringArray, int, const char*>> cases {
        { { "missing.wav", "out.wav" }, render::exitFailure, "no such file" },
        { { "noise.wav", "out.wav" }, render::exitFailure, "not a readable" },
        { { "three.wav", "out.wav" }, render::exitFailure, "3 channels" },
        { { "in.wav", "out.mp3" }, render::exitUsage, "unsupported audio format" },
        { { "in.wav", "out" }, render::exitUsage, "unsupported audio format" },
        { { "in.wav", "in.wav" }, render::exitUsage, "overwrite the input" },
        { { "in.wav", "../" + folder.file ("").getFileName() + "/in.wav" }, render::exitUsage, "overwrite the input" },
        { { "in.wav", "link.wav" }, render::exitUsage, "overwrite the input" },
        { { "in.wav", "out.wav", "--dry", "out.wav" }, render::exitUsage, "two outputs" },
        { { "in.wav", "out.wav", "--set", "thresh_9=0.5" }, render::exitUsage, "unknown parameter 'thresh_9'" },
        { { "in.wav", "out.wav", "--set", "Thresh_1=0.5" }, render::exitUsage, "unknown parameter" },
        { { "in.wav", "out.wav", "--state", "missing.chunk" }, render::exitFailure, "no such state file" },
        { { "in.wav", "out.wav", "--save-state", "nowhere/s.chunk" }, render::exitFailure, "no such folder" },
        { { "in.wav", "out.wav", "--editor-png", folder.file ("").getFullPathName() }, render::exitFailure, "folder" },
        { { "out.wav", "--dry", "dry.ogg" }, render::exitUsage, "unsupported audio format" },
    };

    for (const auto& [args, code, expected] : cases)
    {
        const auto result = run (args, folder.file (""));
        EXPECT_EQ (result.exitCode, code) << args.joinIntoString (" ");
        EXPECT_TRUE (result.error.contains (expected)) << args.joinIntoString (" ") << " -> " << result.error;
        EXPECT_EQ (folder.listing(), before) << args.joinIntoString (" ");
    }

    EXPECT_EQ (folder.file ("out.wav").loadFileAsString(), "an earlier result");
    EXPECT_TRUE (bytesOf (folder.file ("in.wav")) == inputBytes);
}

TEST (RenderFailures, UncommittedOutputsVanishAndCommittedOnesReplace)
{
    ScratchFolder folder;
    folder.file ("out.wav").replaceWithText ("old");
    const auto audio = makeTestSignal (2, 4096, 48000.0);
    juce::String error;

    {
        auto writer = render::AudioFileWriter::create (folder.file ("out.wav"), 48000.0, 2, error);
        ASSERT_NE (writer, nullptr) << error;
        EXPECT_TRUE (writer->write (audio, 4096));
        EXPECT_TRUE (writer->getOutput().getTemporary().getFileName().startsWith (".out"));
        // Abandoned half-way, as when a later step fails.
    }
    EXPECT_EQ (folder.listing(), juce::StringArray ("out.wav"));
    EXPECT_EQ (folder.file ("out.wav").loadFileAsString(), "old");

    auto writer = render::AudioFileWriter::create (folder.file ("out.wav"), 48000.0, 2, error);
    ASSERT_NE (writer, nullptr);
    ASSERT_TRUE (writer->write (audio, 4096));
    ASSERT_TRUE (writer->finish().wasOk());
    ASSERT_TRUE (writer->getOutput().commit().wasOk());
    EXPECT_EQ (folder.listing(), juce::StringArray ("out.wav"));
    EXPECT_EQ (readAudio (folder.file ("out.wav")).audio.getNumSamples(), 4096);
}

TEST (RenderEditor, DrawsThePluginWindowIntoAPng)
{
    ScratchFolder folder;
    const auto result = run ({ "out.wav", "--editor-png", "editor.png", "--set", "thresh_0=0" }, folder.file (""));
    ASSERT_EQ (result.exitCode, 0) << result.error;

    const auto image = juce::ImageFileFormat::loadFrom (folder.file ("editor.png"));
    EXPECT_EQ (image.getWidth(), 914);
    EXPECT_EQ (image.getHeight(), 650);
}
