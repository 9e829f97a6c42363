// The value labels as users read them: drawn in the embedded font, and every text a
// control can produce fits its label at full size (JUCE squeezes a text that is wider
// than the label's area inside its border, and cuts it with an ellipsis when
// squeezing is not enough).
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace
{
// Every label a user sees: the editor's, the panels' and the handles' (the knobs' own
// labels stay hidden).
std::vector<juce::Label*> visibleLabels (juce::Component& root)
{
    std::vector<juce::Label*> labels;
    std::function<void (juce::Component&)> visit = [&] (juce::Component& c)
    {
        for (auto* child : c.getChildren())
        {
            if (! child->isVisible())
                continue;
            if (auto* label = dynamic_cast<juce::Label*> (child))
                labels.push_back (label);
            visit (*child);
        }
    };
    visit (root);
    return labels;
}

// The letters as the editor draws them lie inside the label: drawn at full size, with
// nothing squeezed or cut (the editor falls back to JUCE's fitting otherwise).
struct Fit
{
    juce::Rectangle<float> ink;
    juce::Rectangle<float> bounds;
    float spare() const
    {
        return juce::jmin (ink.getX() - bounds.getX(), bounds.getRight() - ink.getRight(),
                           ink.getY() - bounds.getY(), bounds.getBottom() - ink.getBottom());
    }
    bool fits() const { return ! ink.isEmpty() && spare() >= 0.0f; }
};

Fit fitOf (EditorLookAndFeel& lookAndFeel, juce::Label& label)
{
    return { lookAndFeel.getTextInkBounds (label), label.getLocalBounds().toFloat() };
}

juce::String where (const juce::Label& label)
{
    auto* parent = label.getParentComponent();
    return juce::String (parent != nullptr ? typeid (*parent).name() : "?") + " label at "
         + label.getBounds().toString() + " \"" + label.getText() + "\"";
}
} // namespace

TEST (EditorLabels, EveryArialLabelIsDrawnInTheEmbeddedFont)
{
    VarnocAudioProcessor processor;
    VarnocAudioProcessorEditor editor (processor);
    auto& lookAndFeel = editor.getEditorLookAndFeel();

    const auto labels = visibleLabels (editor);
    ASSERT_EQ (labels.size(), 3u + 3u * 7u + 2u);

    for (auto* label : labels)
    {
        ASSERT_EQ (label->getFont().getTypefaceName(), "Arial") << where (*label);
        EXPECT_EQ (&label->getLookAndFeel(), &lookAndFeel) << where (*label);
        const auto drawn = lookAndFeel.getLabelFont (*label);
        EXPECT_EQ (drawn.getTypefaceName(), "Liberation Sans") << where (*label);
        EXPECT_EQ (drawn.getHeight(), label->getFont().getHeight()) << where (*label);
    }
}

TEST (EditorLabels, EveryValueTextFitsAtFullSize)
{
    VarnocAudioProcessor processor;
    VarnocAudioProcessorEditor editor (processor);
    auto& lookAndFeel = editor.getEditorLookAndFeel();
    const auto labels = visibleLabels (editor);

    float worstMargin = 1.0e9f;
    juce::String worst;
    const auto checkAll = [&]
    {
        for (auto* label : labels)
        {
            const auto fit = fitOf (lookAndFeel, *label);
            EXPECT_TRUE (fit.fits()) << where (*label) << ": ink " << fit.ink.toString();
            if (fit.spare() < worstMargin)
            {
                worstMargin = fit.spare();
                worst = where (*label);
            }
        }
    };

    // The defaults, then every value a control can take (steps of 0.001 reach every
    // crossover pixel too), the minimum and maximum included.
    checkAll();
    for (int step = 0; step <= 1000; ++step)
    {
        const float v = (float) step / 1000.0f;
        for (int i = 0; i < params::numParameters; ++i)
            processor.setParameter (i, v);
        editor.refreshFromProcessor();
        checkAll();
        if (::testing::Test::HasFailure())
            break;
    }
    EXPECT_GE (worstMargin, 0.0f) << worst;
}
