#include "tools/render/EditorPng.h"

#include "editor/EditorSnapshot.h"
#include "tools/render/AudioFiles.h"

#include <juce_graphics/juce_graphics.h>

namespace render
{
juce::Result writeEditorPng (VarnocAudioProcessor& processor, PendingOutput& output, float scale)
{
    const auto image = renderEditorSnapshot (processor, 0, scale);
    if (! image.isValid())
        return juce::Result::fail ("could not draw the editor");

    juce::FileOutputStream stream (output.getTemporary());
    juce::PNGImageFormat png;
    if (stream.failedToOpen() || ! png.writeImageToStream (image, stream))
        return juce::Result::fail ("cannot write " + output.getTarget().getFullPathName());

    stream.flush();
    if (stream.getStatus().failed())
        return juce::Result::fail ("cannot write " + output.getTarget().getFullPathName());
    return juce::Result::ok();
}
} // namespace render
