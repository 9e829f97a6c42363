#include "RenderTestSupport.h"

using render_test::parse;

TEST (RenderOptions, ReadsFilesOptionsAndSettingsInOrder)
{
    const auto result = parse ({ "in.wav", "out/x.flac", "--program", "3", "--set", "thresh_1=0.4",
                                 "--block=64", "--set=ratio_0= 1", "--set", "add_2=.25e0", "--state", "/abs/s.chunk",
                                 "--save-state", "t.chunk", "--editor-png", "e.png", "--dry", "d.wav" });
    ASSERT_TRUE (result.ok()) << result.error;
    const auto& o = result.options;
    EXPECT_FALSE (o.rendersDemo());
    ASSERT_EQ (o.inputs.size(), 1u);
    EXPECT_EQ (o.inputs[0].getFullPathName(), "/work/in.wav");
    EXPECT_EQ (o.output.getFullPathName(), "/work/out/x.flac");
    EXPECT_EQ (*o.program, 3);
    EXPECT_EQ (o.blockFrames, 64);
    ASSERT_EQ (o.settings.size(), 3u);
    EXPECT_EQ (o.settings[0].name, "thresh_1");
    EXPECT_FLOAT_EQ (o.settings[0].value, 0.4f);
    EXPECT_EQ (o.settings[1].name, "ratio_0");
    EXPECT_EQ (o.settings[1].value, 1.0f);
    EXPECT_EQ (o.settings[2].value, 0.25f);
    EXPECT_EQ (o.stateIn->getFullPathName(), "/abs/s.chunk");
    EXPECT_EQ (o.stateOut->getFullPathName(), "/work/t.chunk");
    EXPECT_EQ (o.editorPng->getFullPathName(), "/work/e.png");
    EXPECT_EQ (o.dryFile()->getFullPathName(), "/work/d.wav");
}

TEST (RenderOptions, DemoDefaultsAndDryName)
{
    const auto demo = parse ({ "out/demo.aiff" });
    ASSERT_TRUE (demo.ok());
    EXPECT_TRUE (demo.options.rendersDemo());
    EXPECT_EQ (demo.options.blockFrames, 512);
    EXPECT_FALSE (demo.options.setsParameters());
    EXPECT_EQ (demo.options.dryFile()->getFullPathName(), "/work/out/demo-dry.aiff");

    // With an input file the dry copy is only written on request.
    const auto file = parse ({ "a.wav", "b.wav" });
    ASSERT_TRUE (file.ok());
    EXPECT_FALSE (file.options.dryFile().has_value());

    EXPECT_EQ (demo.options.editorScale, 1.0f);
    EXPECT_EQ (parse ({ "out.wav", "--editor-png", "e.png", "--scale", "1.5" }).options.editorScale, 1.5f);
    EXPECT_EQ (parse ({ "out.wav", "--editor-png=e.png", "--scale=2" }).options.editorScale, 2.0f);

    EXPECT_TRUE (parse ({ "--help" }).options.showHelp);
    EXPECT_TRUE (parse ({ "-h", "--bogus" }).options.showHelp);
}

TEST (RenderOptions, RefusesBadCommandLines)
{
    const std::vector<std::pair<juce::StringArray, const char*>> cases {
        { {}, "no output" },
        { { "a.wav", "b.wav", "c.wav" }, "too many" },
        { { "out.wav", "--frobnicate" }, "unknown option" },
        { { "out.wav", "-x" }, "unknown option" },
        { { "out.wav", "--program" }, "needs a value" },
        { { "out.wav", "--program", "10" }, "--program" },
        { { "out.wav", "--program", "-1" }, "--program" },
        { { "out.wav", "--program", "2.5" }, "--program" },
        { { "out.wav", "--program", "two" }, "--program" },
        { { "out.wav", "--block", "0" }, "--block" },
        { { "out.wav", "--block", "-512" }, "--block" },
        { { "out.wav", "--block", "99999999999" }, "--block" },
        { { "out.wav", "--set", "thresh_1" }, "NAME=VALUE" },
        { { "out.wav", "--set", "=0.5" }, "name" },
        { { "out.wav", "--set", "thresh_1=1.5" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=-0.1" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=nan" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=inf" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=0.4dB" }, "-25.0dB to 0.0dB" },
        { { "out.wav", "--set", "thresh_1=" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=0.5 0.6" }, "0 to 1" },
        { { "out.wav", "--set", "thresh_1=1.0000001" }, "0 to 1" },
        { { "out.wav", "--state=" }, "file name" },
        { { "out.wav", "--editor-png", "e.png", "--scale", "0" }, "--scale" },
        { { "out.wav", "--editor-png", "e.png", "--scale", "4.5" }, "--scale" },
        { { "out.wav", "--editor-png", "e.png", "--scale", "nan" }, "--scale" },
        { { "out.wav", "--editor-png", "e.png", "--scale", "2x" }, "--scale" },
        { { "out.wav", "--scale" }, "needs a value" },
        { { "-", "out.wav" }, "standard input" },
    };

    for (const auto& [args, expected] : cases)
    {
        const auto result = parse (args);
        EXPECT_FALSE (result.ok()) << args.joinIntoString (" ");
        EXPECT_TRUE (result.error.contains (expected)) << args.joinIntoString (" ") << " -> " << result.error;
        EXPECT_FALSE (result.error.containsChar ('\n'));
    }
}
