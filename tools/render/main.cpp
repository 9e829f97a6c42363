// dunskara-render: runs the DUNSKARA processor over audio files, or over a built-in
// demo mix, as a host would. See usageText() for the command line.
#include "tools/render/Interrupt.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    const auto parsed = render::parseArguments (args, juce::File::getCurrentWorkingDirectory());
    if (parsed.options.showHelp || parsed.options.listParameters)
    {
        std::fputs ((parsed.options.showHelp ? render::helpText() : render::parameterListText()).toRawUTF8(), stdout);
        return render::exitSuccess;
    }
    if (! parsed.ok())
    {
        std::fprintf (stderr, "dunskara-render: %s\n", parsed.error.toRawUTF8());
        return render::exitUsage;
    }

    render::interrupt::installHandlers();

    // The editor picture needs JUCE's GUI side; it works off screen without a display.
    const juce::ScopedJuceInitialiser_GUI juceGui;

    const auto result = render::runRenderJob (parsed.options);
    if (! parsed.options.quiet)
        std::fputs (result.summary.toRawUTF8(), stdout);
    std::fflush (stdout);
    if (result.exitCode != render::exitSuccess)
        std::fprintf (stderr, "dunskara-render: %s\n", result.error.toRawUTF8());
    return result.exitCode;
}
