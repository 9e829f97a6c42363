#include "widgets/imageAnimator.h"

#include "plugin/VarnocAudioProcessor.h"
#include "widgets/SkinLayout.h"

#include <cmath>

namespace
{
// Eased motion: a damped spring, stiffer for the high band whose level runs lower.
constexpr float highBandStiffness = 0.142f;
constexpr float stiffness = 0.092f;
constexpr float damping = 0.32f;
constexpr float highBandEasedScale = skinlayout::highBandLevelScale;
constexpr float easedScale = skinlayout::levelScale;
constexpr float directScale = skinlayout::reductionScale;

bool isBandIndex (int band) noexcept
{
    return band >= 0 && band < params::numBands;
}
} // namespace

imageAnimator::imageAnimator (juce::Image newStrip, VarnocAudioProcessor* sourceProcessor,
                              int newFrameHeight, int newMode, int newBand)
    : processor (sourceProcessor),
      frameHeight (newFrameHeight),
      strip (std::move (newStrip)),
      stripWidth (strip.getWidth()),
      stripHeight (strip.getHeight()),
      mode (newMode),
      band (newBand)
{
    startTimer (tickIntervalMs);
}

imageAnimator::~imageAnimator()
{
    stopTimer();
    restingClock->remove (*this);
}

void imageAnimator::timerCallback()
{
    const float previousTarget = target;
    updateTarget();
    movePosition();

    // The spring keeps moving by tiny amounts long after the needle looks still;
    // only a different frame needs drawing, which keeps an idle window quiet.
    const int frame = getFrameIndex();
    const bool frameChanged = frame != requestedFrame;
    if (frameChanged)
    {
        requestedFrame = frame;
        ++repaintRequests;
        repaint();
    }

    // Exact comparison: any new reading from the audio thread wakes the meter.
    const bool quiet = ! frameChanged && target == previousTarget;
    const bool wasResting = isResting();
    quietTicks = quiet ? juce::jmin (quietTicks + 1, quietTicksBeforeRest) : 0;
    if (isResting() == wasResting)
        return;

    if (isResting())
    {
        stopTimer();
        restingClock->add (*this);
    }
    else
    {
        restingClock->remove (*this);
        startTimer (tickIntervalMs);
    }
}

void imageAnimator::updateTarget()
{
    // The meters are written by the audio thread; a value from the previous or the
    // current block is equally fine. A non-finite reading leaves the target alone.
    const bool canRead = processor != nullptr && isBandIndex (band);

    switch (mode)
    {
        case 0:
            if (canRead)
            {
                const float level = processor->bandLevel[band][0].load (std::memory_order_relaxed);

                if (std::isfinite (level))
                    target = level;
            }
            break;

        case 1:
        case 3:
            if (canRead && processor->bandDynamics[(size_t) band] != nullptr)
            {
                const float meanGain = processor->bandDynamics[(size_t) band]->meanGain.load (std::memory_order_relaxed);

                if (std::isfinite (meanGain))
                    target = 1.0f - meanGain;
            }
            target = juce::jlimit (0.0f, 1.0f, target);
            break;

        case 2:
            break;

        default:
            target = 0.0f;
            break;
    }
}

void imageAnimator::movePosition()
{
    if (mode == 0 || mode == 2)
    {
        const float k = band == 2 ? highBandStiffness : stiffness;
        const float d = target - position;
        velocity = velocity + d * k;
        velocity = velocity - velocity * damping;
        position = position + velocity;
        scale = band == 2 ? highBandEasedScale : easedScale;

        // Only an absurd meter value can overflow the spring; start it again at rest.
        if (! std::isfinite (position) || ! std::isfinite (velocity))
        {
            position = 0.0f;
            velocity = 0.0f;
        }
    }
    else
    {
        position = target;
        scale = directScale;
        position = juce::jlimit (0.0f, 1.0f, position);
    }
}

int imageAnimator::getFrameIndex() const noexcept
{
    if (strip.isNull() || frameHeight <= 0)
        return -1;

    // The same rule places the marks of the meter faces.
    return skinlayout::needleFrame (scale, position, stripHeight, frameHeight);
}

void imageAnimator::paint (juce::Graphics& g)
{
    const int frame = getFrameIndex();
    requestedFrame = frame;

    if (frame < 0)
        return;

    twins->drawImage (g, strip, { 0, 0, stripWidth, frameHeight }, { 0, frame * frameHeight, stripWidth, frameHeight });
}
