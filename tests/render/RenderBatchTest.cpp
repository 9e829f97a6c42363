// Many files in one run, loudness figures, refused inputs and interrupts.
#include "RenderTestSupport.h"

#include "tools/render/Interrupt.h"
#include "tools/render/Loudness.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace render_test;

namespace
{
    juce::AudioBuffer<float> sine (int channels, double seconds, double decibels, double rate = 48000.0)
    {
        const int frames = static_cast<int> (seconds * rate);
        juce::AudioBuffer<float> audio (channels, frames);
        const double amplitude = std::pow (10.0, decibels / 20.0);
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c)
                audio.setSample (c, i, static_cast<float> (amplitude * std::sin (2.0 * juce::MathConstants<double>::pi * 1000.0 * i / rate)));
        return audio;
    }

    render::LoudnessFigures measure (const juce::AudioBuffer<float>& audio, double rate)
    {
        render::LoudnessMeter meter (audio.getNumChannels(), rate);
        meter.add (audio, audio.getNumSamples());
        return meter.figures();
    }

    // The first `keep` bytes of a file, as a cut-short copy would hold them.
    void cutShort (const juce::File& from, const juce::File& to, size_t keep)
    {
        juce::MemoryBlock data;
        from.loadFileAsData (data);
        to.replaceWithData (data.getData(), std::min (keep, data.getSize()));
    }

    bool hasHiddenFiles (const ScratchFolder& folder)
    {
        for (const auto& name : folder.listing())
            if (name.startsWith ("."))
                return true;
        return false;
    }
} // namespace

// BS.1770's reference: a 0 dBFS 1 kHz sine in one channel reads -3.01 LKFS. So -20 dBFS
// in one channel reads -23.0, and in both channels of a stereo signal -20.0.
TEST (RenderLoudness, SineReadsTheStandardsFigures)
{
    struct Case { int channels; double decibels; double lufs; };
    for (const auto& c : { Case { 2, -20.0, -20.0 }, Case { 1, -20.0, -23.0 }, Case { 2, -6.0, -6.0 } })
    {
        const auto figures = measure (sine (c.channels, 10.0, c.decibels), 48000.0);
        EXPECT_NEAR (figures.integratedLufs, c.lufs, 0.1) << c.channels << " channels";
        EXPECT_NEAR (figures.truePeakDbtp, c.decibels, 0.1);
        EXPECT_NEAR (figures.rangeLu, 0.0, 0.1);
    }

    juce::AudioBuffer<float> silence (2, 48000);
    silence.clear();
    const auto none = measure (silence, 48000.0);
    EXPECT_TRUE (std::isinf (none.integratedLufs) && none.integratedLufs < 0.0);
    EXPECT_TRUE (std::isinf (none.truePeakDbtp) && none.truePeakDbtp < 0.0);
}

TEST (RenderBatch, OneBadFileDoesNotStopTheOthers)
{
    ScratchFolder folder;
    const auto signal = makeTestSignal (2, 48000, 48000.0);
    writeWav (folder.file ("a.wav"), signal, 48000.0, 24);
    writeWav (folder.file ("b.wav"), signal, 48000.0, 16);
    folder.file ("bad.wav").replaceWithText ("not audio");

    const auto result = run ({ "a.wav", "bad.wav", "b.wav", "--out-dir", "out", "-j", "2", "--quiet",
                               "--set", "thresh_0=-15dB", "--report", "report.json" }, folder.file (""));
    EXPECT_EQ (result.exitCode, render::exitFailure);
    EXPECT_EQ (result.error, "1 of 3 files failed: bad.wav");
    ASSERT_EQ (result.files.size(), 3u);
    EXPECT_TRUE (result.files[0].ok() && result.files[2].ok());
    EXPECT_TRUE (result.files[1].error.contains ("not a readable"));

    // Each good file is what a processor of its own makes of it.
    const auto expected = processDirectly (signal, 48000.0, 512, { { "thresh_0", 0.4f } });
    for (const auto* name : { "a.wav", "b.wav" })
    {
        const auto rendered = readAudio (folder.file ("out").getChildFile (name));
        ASSERT_EQ (rendered.audio.getNumSamples(), 48000) << name;
        EXPECT_LT (maxDifference (rendered.audio, 0, expected, 0), 1.0e-4f) << name;
    }
    EXPECT_FALSE (folder.file ("out/bad.wav").exists());

    const auto report = juce::JSON::parse (folder.file ("report.json"));
    ASSERT_TRUE (report.isObject());
    EXPECT_EQ (report["settings"]["set"][0].toString(), "thresh_0=-15dB");
    EXPECT_EQ (report["settings"]["parameters"][5]["readout"].toString(), "-15.0dB");
    EXPECT_FALSE ((bool) report["files"][1]["ok"]);
    EXPECT_NEAR ((double) report["files"][0]["input_loudness"]["integrated_lufs"],
                 measure (signal, 48000.0).integratedLufs, 0.01);
}

TEST (RenderBatch, RefusesNameClashesBeforeAnyWork)
{
    const std::vector<std::pair<juce::StringArray, const char*>> cases {
        { { "x/a.wav", "y/a.wav", "--out-dir", "o" }, "two inputs are named a.wav" },
        { { "--out-dir", "o" }, "at least one input" },
        { { "a.wav", "--out-dir", "o", "--dry", "d.wav" }, "--dry" },
        { { "a.wav", "b.wav", "--scale", "2" }, "--editor-png" },
        { { "out.wav", "--allow-truncated" }, "demo" },
        { { "a.wav", "--out-dir", "o", "-j", "0" }, "-j" },
    };
    for (const auto& [args, expected] : cases)
    {
        const auto result = parse (args);
        EXPECT_FALSE (result.ok()) << args.joinIntoString (" ");
        EXPECT_TRUE (result.error.contains (expected)) << args.joinIntoString (" ") << " -> " << result.error;
    }
}

TEST (RenderInputs, TruncatedAndEmptyFilesAreRefusedUnlessAllowed)
{
    ScratchFolder folder;
    const auto signal = makeTestSignal (2, 24000, 48000.0);
    writeWav (folder.file ("full.wav"), signal, 48000.0, 24);
    const auto header = static_cast<size_t> (folder.file ("full.wav").getSize()) - 6 * 24000; // 24-bit stereo frames
    cutShort (folder.file ("full.wav"), folder.file ("cut.wav"), header + 6 * 10000 + 4); // 10000 whole frames
    cutShort (folder.file ("full.wav"), folder.file ("header.wav"), header);
    {
        juce::AudioBuffer<float> nothing (2, 0);
        writeWav (folder.file ("empty.wav"), nothing, 48000.0, 24);
    }

    struct Case { const char* input; const char* expected; };
    for (const auto& c : { Case { "cut.wav", "24000 frames (0.50 s), the file holds 10000" },
                           Case { "header.wav", "the file holds 0 (0.00 s); 24000 frames are missing" },
                           Case { "empty.wav", "empty input" } })
    {
        const auto result = run ({ c.input, "out.wav" }, folder.file (""));
        EXPECT_EQ (result.exitCode, render::exitFailure) << c.input;
        EXPECT_TRUE (result.error.contains (c.expected)) << c.input << " -> " << result.error;
        EXPECT_FALSE (folder.file ("out.wav").exists());
    }

    const auto allowed = run ({ "cut.wav", "out.wav", "--allow-truncated" }, folder.file (""));
    ASSERT_EQ (allowed.exitCode, 0) << allowed.error;
    EXPECT_TRUE (allowed.files[0].warning.contains ("14000 frames are missing"));
    EXPECT_EQ (readAudio (folder.file ("out.wav")).audio.getNumSamples(), 10000);
    for (const auto* nothing : { "empty.wav", "header.wav" })
        EXPECT_EQ (run ({ nothing, "out2.wav", "--allow-truncated" }, folder.file ("")).exitCode, render::exitFailure);
    EXPECT_FALSE (folder.file ("out2.wav").exists());
}

TEST (RenderLoudness, MatchingBringsTheOutputToTheInputsLoudness)
{
    ScratchFolder folder;
    const auto signal = makeTestSignal (2, 5 * 48000, 48000.0);
    writeWav (folder.file ("in.wav"), signal, 48000.0, 24);

    const auto result = run ({ "in.wav", "out.wav", "--quiet", "--match-loudness", "--set", "gain_0=+6dB",
                               "--set", "gain_1=+6dB", "--set", "gain_2=+6dB" }, folder.file (""));
    ASSERT_EQ (result.exitCode, 0) << result.error;
    const auto& outcome = result.files[0];
    ASSERT_TRUE (outcome.matchGainDb.has_value());
    EXPECT_LT (*outcome.matchGainDb, -3.0); // the bands were raised by 6 dB

    // Measured again from the file, independently of the run's own figures.
    const auto written = readAudio (folder.file ("out.wav"));
    EXPECT_NEAR (measure (written.audio, 48000.0).integratedLufs, measure (signal, 48000.0).integratedLufs, 0.05);
    EXPECT_NEAR (outcome.output.integratedLufs, outcome.input.integratedLufs, 0.05);
}

TEST (RenderInterrupts, AnInterruptedRunLeavesNothingAndReplacesNothing)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 4 * 48000, 48000.0), 48000.0, 24);
    folder.file ("out.wav").replaceWithText ("an earlier result");

    render::interrupt::request (SIGINT);
    const auto result = run ({ "in.wav", "out.wav", "--quiet" }, folder.file (""));
    render::interrupt::reset();

    EXPECT_EQ (result.exitCode, 130);
    EXPECT_TRUE (result.error.contains ("SIGINT"));
    EXPECT_EQ (folder.file ("out.wav").loadFileAsString(), "an earlier result");
    EXPECT_FALSE (hasHiddenFiles (folder));
}

// The real executable, stopped by a signal while its temporary output is growing.
TEST (RenderInterrupts, AChildStoppedMidRenderLeavesNoTemporaryFile)
{
    ScratchFolder folder;
    writeWav (folder.file ("in.wav"), makeTestSignal (2, 120 * 48000, 48000.0), 48000.0, 24);

    for (const int signalNumber : { SIGINT, SIGTERM })
    {
        const auto in = folder.file ("in.wav").getFullPathName().toStdString();
        const auto out = folder.file ("out.wav").getFullPathName().toStdString();
        std::string program = DUNSKARA_RENDER_EXECUTABLE;
        char* argv[] = { program.data(), const_cast<char*> (in.c_str()), const_cast<char*> (out.c_str()), nullptr };
        pid_t pid = 0;
        ASSERT_EQ (posix_spawn (&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);

        // Wait for the hidden temporary file, then stop the render.
        for (int wait = 0; wait < 500 && ! hasHiddenFiles (folder); ++wait)
            juce::Thread::sleep (10);
        EXPECT_TRUE (hasHiddenFiles (folder)) << "no temporary file seen";
        ::kill (pid, signalNumber);

        int status = 0;
        ASSERT_EQ (::waitpid (pid, &status, 0), pid);
        ASSERT_TRUE (WIFEXITED (status));
        EXPECT_EQ (WEXITSTATUS (status), 128 + signalNumber);
        EXPECT_FALSE (hasHiddenFiles (folder));
        EXPECT_FALSE (folder.file ("out.wav").exists());
    }
}
