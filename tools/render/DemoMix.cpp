#include "tools/render/DemoMix.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace render
{
namespace
{
    constexpr double pi = 3.141592653589793;
    constexpr double beatSeconds = 0.5; // 120 BPM
    constexpr int beatsPerBar = 4;
    constexpr int stepsPerBar = 8;      // eighth notes
    constexpr double stepSeconds = beatSeconds / 2.0;
    constexpr int rest = -1;

    // A minor: Am, F, C, G, Am. Bass roots as MIDI notes.
    constexpr std::array<int, 5> bassRoots { 33, 29, 36, 31, 33 };

    // Lead melody per bar in eighth notes (MIDI notes, rest = silence; a note lasts
    // until the next step that is not -2, the tie marker).
    constexpr int tie = -2;
    constexpr std::array<std::array<int, stepsPerBar>, 5> leadMelody { {
        { 69, tie, 72, 74, 76, tie, 74, 72 },
        { 69, tie, tie, 65, 67, 69, tie, rest },
        { 72, tie, 76, tie, 79, 76, 74, 72 },
        { 71, tie, 67, 71, 74, tie, 72, 71 },
        { 69, tie, tie, tie, tie, tie, rest, rest },
    } };

    double noteHz (int midiNote) { return 440.0 * std::pow (2.0, (midiNote - 69) / 12.0); }

    // Deterministic white noise in -1..1 (64-bit LCG, top bits).
    class Noise
    {
    public:
        double next()
        {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<double> (state >> 11) / static_cast<double> (1ULL << 52) - 1.0;
        }

    private:
        std::uint64_t state = 0x5eed5eedULL;
    };

    struct StereoMix
    {
        std::vector<double> left, right;

        explicit StereoMix (size_t frames) : left (frames, 0.0), right (frames, 0.0) {}

        // Constant-power pan: -1 left .. +1 right.
        void add (size_t frame, double value, double pan)
        {
            if (frame >= left.size())
                return;
            const double angle = (pan + 1.0) * pi / 4.0;
            left[frame] += value * std::cos (angle);
            right[frame] += value * std::sin (angle);
        }
    };

    size_t frameAt (double seconds) { return static_cast<size_t> (std::lround (seconds * demo::sampleRate)); }

    // Short linear ramps at both ends keep the notes free of clicks.
    double edgeRamp (double t, double duration, double attack, double release)
    {
        return std::min ({ 1.0, t / attack, std::max (0.0, (duration - t) / release) });
    }

    void addKick (StereoMix& mix, double start)
    {
        constexpr double duration = 0.45;
        for (size_t i = 0, n = frameAt (duration); i < n; ++i)
        {
            const double t = static_cast<double> (i) / demo::sampleRate;
            // Pitch falls from 155 Hz to 45 Hz; the phase is its integral.
            const double phase = 2.0 * pi * (45.0 * t + 110.0 * 0.03 * (1.0 - std::exp (-t / 0.03)));
            const double amp = std::exp (-t / 0.16) * edgeRamp (t, duration, 0.001, 0.02);
            mix.add (frameAt (start) + i, 0.9 * amp * std::sin (phase), 0.0);
        }
    }

    void addSnare (StereoMix& mix, double start, Noise& noise)
    {
        constexpr double duration = 0.3;
        double previous = 0.0;
        for (size_t i = 0, n = frameAt (duration); i < n; ++i)
        {
            const double t = static_cast<double> (i) / demo::sampleRate;
            const double white = noise.next();
            const double bright = 0.5 * (white - previous); // first difference: a rough high-pass
            previous = white;
            const double ramp = edgeRamp (t, duration, 0.0005, 0.02);
            const double body = 0.5 * std::sin (2.0 * pi * 185.0 * t) * std::exp (-t / 0.04);
            const double rattle = 0.9 * bright * std::exp (-t / 0.07);
            mix.add (frameAt (start) + i, 0.55 * ramp * (body + rattle), -0.15);
        }
    }

    // Band-limited sawtooth by its harmonics, with weight per harmonic.
    double additiveSaw (double hz, double t, int harmonics, double rolloff)
    {
        double sum = 0.0;
        for (int k = 1; k <= harmonics; ++k)
            sum += std::sin (2.0 * pi * k * hz * t) / k * std::exp (-(k - 1) / rolloff);
        return sum;
    }

    void addBassNote (StereoMix& mix, double start, double duration, int midiNote)
    {
        const double hz = noteHz (midiNote);
        for (size_t i = 0, n = frameAt (duration); i < n; ++i)
        {
            const double t = static_cast<double> (i) / demo::sampleRate;
            const double amp = edgeRamp (t, duration, 0.005, 0.03) * (0.55 + 0.45 * std::exp (-t / 0.12));
            mix.add (frameAt (start) + i, 0.32 * amp * additiveSaw (hz, t, 12, 3.0), 0.0);
        }
    }

    void addLeadNote (StereoMix& mix, double start, double duration, int midiNote)
    {
        const double hz = noteHz (midiNote);
        const int harmonics = std::min (24, static_cast<int> (14000.0 / hz));
        for (size_t i = 0, n = frameAt (duration); i < n; ++i)
        {
            const double t = static_cast<double> (i) / demo::sampleRate;
            const double amp = edgeRamp (t, duration, 0.01, 0.05) * (0.7 + 0.3 * std::exp (-t / 0.2));
            mix.add (frameAt (start) + i, 0.16 * amp * additiveSaw (hz, t, harmonics, 40.0), 0.3);
        }
    }

    void addDrums (StereoMix& mix, int bars)
    {
        Noise noise;
        for (int beat = 0; beat < bars * beatsPerBar; ++beat)
        {
            const double start = beat * beatSeconds;
            addKick (mix, start);
            if (beat % 2 == 1)
                addSnare (mix, start, noise);
        }
    }

    void addBass (StereoMix& mix)
    {
        for (size_t bar = 0; bar < bassRoots.size(); ++bar)
            for (int step = 0; step < stepsPerBar; ++step)
            {
                // Root on most eighths, the octave on the off-beats of beats 2 and 4.
                const int note = bassRoots[bar] + ((step == 3 || step == 7) ? 12 : 0);
                const double start = (static_cast<double> (bar) * stepsPerBar + step) * stepSeconds;
                addBassNote (mix, start, stepSeconds * 0.9, note);
            }
    }

    void addLead (StereoMix& mix)
    {
        for (size_t bar = 0; bar < leadMelody.size(); ++bar)
        {
            const auto& steps = leadMelody[bar];
            for (int step = 0; step < stepsPerBar; ++step)
            {
                if (steps[(size_t) step] < 0)
                    continue;
                int length = 1;
                while (step + length < stepsPerBar && steps[(size_t) (step + length)] == tie)
                    ++length;
                const double start = (static_cast<double> (bar) * stepsPerBar + step) * stepSeconds;
                addLeadNote (mix, start, length * stepSeconds * 0.95, steps[(size_t) step]);
            }
        }
    }
} // namespace

juce::AudioBuffer<float> makeDemoMix()
{
    const auto frames = frameAt (demo::lengthSeconds);
    StereoMix mix (frames);

    addDrums (mix, static_cast<int> (leadMelody.size()));
    addBass (mix);
    addLead (mix);

    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max ({ peak, std::abs (mix.left[i]), std::abs (mix.right[i]) });

    const double scale = peak > 0.0 ? std::pow (10.0, demo::peakDecibels / 20.0) / peak : 0.0;

    juce::AudioBuffer<float> buffer (2, static_cast<int> (frames));
    for (size_t i = 0; i < frames; ++i)
    {
        buffer.setSample (0, static_cast<int> (i), static_cast<float> (mix.left[i] * scale));
        buffer.setSample (1, static_cast<int> (i), static_cast<float> (mix.right[i] * scale));
    }
    return buffer;
}

// Thresholds about 16 dB below full scale at a firm ratio, 6 dB of make-up gain, and
// the band limiters on so that the make-up cannot push the bands past full scale:
// about 2 dB of mean gain reduction per band and a denser, louder mix.
const DemoSetting demoSettings[] = {
    { "thresh_0", 0.35f }, { "ratio_0", 0.2f },
    { "thresh_1", 0.35f }, { "ratio_1", 0.2f },
    { "thresh_2", 0.3f },  { "ratio_2", 0.2f },
    { "limonoff_0", 1.0f }, { "limonoff_1", 1.0f }, { "limonoff_2", 1.0f },
    { "MakeUpGain", 0.5f },
};
const int numDemoSettings = static_cast<int> (std::size (demoSettings));
} // namespace render
