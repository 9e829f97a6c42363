/*
    DUNSKARA: the project's own clean-room declarations of the VST 2.4 plug-in
    binary interface, 2.x extensions. Same scope and rules as aeffect.h: only
    the names JUCE 7.0.5's VST2 client wrapper uses, x86_64 Linux (LP64), no
    system headers (JUCE includes this file inside `namespace Vst2`).

    Constants are unscoped enumerators with `int` as the underlying type: the
    wrapper stores them in plain 32-bit fields, combines them with `|`, and
    uses them as `case` labels in switches over 32-bit values.
*/

#ifndef DUNSKARA_VST2_AEFFECTX_H
#define DUNSKARA_VST2_AEFFECTX_H

#include "aeffect.h"

//==============================================================================
// Dispatcher opcodes 25..79 (only those in use; the numbers have gaps).
enum AEffectXOpcodes : int
{
    effProcessEvents            = 25,  // ptr: VstEvents* for the next block
    effCanBeAutomated           = 26,  // index: parameter
    effString2Parameter         = 27,  // index: parameter, ptr: text to parse
    effGetProgramNameIndexed    = 29,  // index: program, ptr: buffer; returns 1 if the program exists
    effGetInputProperties       = 33,  // index: channel, ptr: VstPinProperties*
    effGetOutputProperties      = 34,  // index: channel, ptr: VstPinProperties*
    effGetPlugCategory          = 35,  // returns a VstPlugCategory
    effSetSpeakerArrangement    = 42,  // value: inputs' VstSpeakerArrangement*, ptr: outputs'
    effSetBypass                = 44,  // value: 1 = bypassed
    effGetEffectName            = 45,  // ptr: buffer
    effGetVendorString          = 47,  // ptr: buffer
    effGetProductString         = 48,  // ptr: buffer
    effGetVendorVersion         = 49,
    effVendorSpecific           = 50,
    effCanDo                    = 51,  // ptr: query text; returns 1 yes, -1 no, 0 unknown
    effGetTailSize              = 52,  // returns the tail in samples
    effGetParameterProperties   = 56,  // index: parameter, ptr: VstParameterProperties*; returns 1 if filled
    effKeysRequired             = 57,
    effGetVstVersion            = 58,
    effGetCurrentMidiProgram    = 63,
    effGetSpeakerArrangement    = 69,  // value: inputs' VstSpeakerArrangement**, ptr: outputs'
    effSetTotalSampleToProcess  = 73,
    effSetProcessPrecision      = 77,  // value: VstProcessPrecision; only while suspended
    effGetNumMidiInputChannels  = 78,
    effGetNumMidiOutputChannels = 79
};

// Host callback opcodes of the 2.x interface (only those in use). The wrapper
// keeps some of them in a variable of this enum type.
enum AudioMasterOpcodesX : int
{
    audioMasterWantMidi               = 6,   // value: 1 = the plug-in wants MIDI
    audioMasterGetTime                = 7,   // value: wanted VstTimeInfoFlags; host returns VstTimeInfo* or 0
    audioMasterProcessEvents          = 8,   // ptr: VstEvents* sent to the host
    audioMasterIOChanged              = 13,  // channels or initialDelay changed
    audioMasterSizeWindow             = 15,  // index: width, value: height
    audioMasterGetCurrentProcessLevel = 23,  // host answers a process level; 4 = offline
    audioMasterVendorSpecific         = 35,
    audioMasterCanDo                  = 37,  // ptr: query text
    audioMasterUpdateDisplay          = 42,  // names or programs changed
    audioMasterBeginEdit              = 43,  // index: parameter
    audioMasterEndEdit                = 44   // index: parameter
};

//==============================================================================
// Answers to effGetPlugCategory. All are declared because a build may name any
// of them as its category. (kPlugSurroundFx has no "Categ" in its name.)
enum VstPlugCategory : int
{
    kPlugCategUnknown        = 0,
    kPlugCategEffect         = 1,
    kPlugCategSynth          = 2,
    kPlugCategAnalysis       = 3,
    kPlugCategMastering      = 4,
    kPlugCategSpacializer    = 5,
    kPlugCategRoomFx         = 6,
    kPlugSurroundFx          = 7,
    kPlugCategRestoration    = 8,
    kPlugCategOfflineProcess = 9,
    kPlugCategShell          = 10,
    kPlugCategGenerator      = 11,
    kPlugCategMaxCount       = 12
};

// Channel layouts; the comment lists the channels in order.
enum VstSpeakerArrangementType : int
{
    kSpeakerArrUserDefined    = -2,
    kSpeakerArrEmpty          = -1,
    kSpeakerArrMono           = 0,   // M
    kSpeakerArrStereo         = 1,   // L R
    kSpeakerArrStereoSurround = 2,   // Ls Rs
    kSpeakerArrStereoCenter   = 3,   // Lc Rc
    kSpeakerArrStereoSide     = 4,   // Sl Sr
    kSpeakerArrStereoCLfe     = 5,   // C Lfe
    kSpeakerArr30Cine         = 6,   // L R C
    kSpeakerArr30Music        = 7,   // L R S
    kSpeakerArr31Cine         = 8,   // L R C Lfe
    kSpeakerArr31Music        = 9,   // L R Lfe S
    kSpeakerArr40Cine         = 10,  // L R C S
    kSpeakerArr40Music        = 11,  // L R Ls Rs
    kSpeakerArr41Cine         = 12,  // L R C Lfe S
    kSpeakerArr41Music        = 13,  // L R Lfe Ls Rs
    kSpeakerArr50             = 14,  // L R C Ls Rs
    kSpeakerArr51             = 15,  // L R C Lfe Ls Rs
    kSpeakerArr60Cine         = 16,  // L R C Ls Rs Cs
    kSpeakerArr60Music        = 17,  // L R Ls Rs Sl Sr
    kSpeakerArr61Cine         = 18,  // L R C Lfe Ls Rs Cs
    kSpeakerArr61Music        = 19,  // L R Lfe Ls Rs Sl Sr
    kSpeakerArr70Cine         = 20,  // L R C Ls Rs Lc Rc
    kSpeakerArr70Music        = 21,  // L R C Ls Rs Sl Sr
    kSpeakerArr71Cine         = 22,  // L R C Lfe Ls Rs Lc Rc
    kSpeakerArr71Music        = 23,  // L R C Lfe Ls Rs Sl Sr
    kSpeakerArr80Cine         = 24,  // L R C Ls Rs Lc Rc Cs
    kSpeakerArr80Music        = 25,  // L R C Ls Rs Cs Sl Sr
    kSpeakerArr81Cine         = 26,  // L R C Lfe Ls Rs Lc Rc Cs
    kSpeakerArr81Music        = 27,  // L R C Lfe Ls Rs Cs Sl Sr
    kSpeakerArr102            = 28   // L R C Lfe Ls Rs Tfl Tfc Tfr Trl Trr Lfe2
};

// Single speakers (VstSpeakerProperties::type).
enum VstSpeakerType : int
{
    kSpeakerL    = 1,   // left
    kSpeakerR    = 2,   // right
    kSpeakerC    = 3,   // centre
    kSpeakerLfe  = 4,   // low-frequency effects
    kSpeakerLs   = 5,   // left surround
    kSpeakerRs   = 6,   // right surround
    kSpeakerLc   = 7,   // left of centre
    kSpeakerRc   = 8,   // right of centre
    kSpeakerS    = 9,   // surround, centre rear
    kSpeakerSl   = 10,  // side left
    kSpeakerSr   = 11,  // side right
    kSpeakerTm   = 12,  // top middle
    kSpeakerTfl  = 13,  // top front left
    kSpeakerTfc  = 14,  // top front centre
    kSpeakerTfr  = 15,  // top front right
    kSpeakerTrl  = 16,  // top rear left
    kSpeakerTrc  = 17,  // top rear centre
    kSpeakerTrr  = 18,  // top rear right
    kSpeakerLfe2 = 19   // second low-frequency effects
};

// VstTimeInfo::flags, and the request mask of audioMasterGetTime. Transport
// state and field validity share one enum because they are OR-ed together.
enum VstTimeInfoFlags : int
{
    kVstTransportPlaying     = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording   = 1 << 3,
    kVstNanosValid           = 1 << 8,
    kVstPpqPosValid          = 1 << 9,
    kVstTempoValid           = 1 << 10,
    kVstBarsValid            = 1 << 11,
    kVstCyclePosValid        = 1 << 12,
    kVstTimeSigValid         = 1 << 13,
    kVstSmpteValid           = 1 << 14,
    kVstClockValid           = 1 << 15
};

// VstTimeInfo::smpteFrameRate. 8 and 9 are unassigned.
enum VstSmpteFrameRate : int
{
    kVstSmpte24fps    = 0,
    kVstSmpte25fps    = 1,
    kVstSmpte2997fps  = 2,
    kVstSmpte30fps    = 3,
    kVstSmpte2997dfps = 4,   // drop-frame
    kVstSmpte30dfps   = 5,   // drop-frame
    kVstSmpteFilm16mm = 6,
    kVstSmpteFilm35mm = 7,
    kVstSmpte239fps   = 10,  // 23.976
    kVstSmpte249fps   = 11,  // 24.976
    kVstSmpte599fps   = 12,  // 59.94
    kVstSmpte60fps    = 13
};

// VstPinProperties::flags.
enum VstPinPropertiesFlags : int
{
    kVstPinIsActive   = 1 << 0,
    kVstPinIsStereo   = 1 << 1,  // first channel of a stereo pair
    kVstPinUseSpeaker = 1 << 2   // arrangementType is valid
};

// Text buffer lengths, not counting the terminating NUL.
enum VstStringLengths : int
{
    kVstMaxShortLabelLen = 8,
    kVstMaxCategLabelLen = 24,
    kVstMaxLabelLen      = 64
};

// VstParameterProperties::flags: which of its fields the plug-in filled in.
enum VstParameterFlags : int
{
    kVstParameterIsSwitch                = 1 << 0,  // two states: off and on
    kVstParameterUsesIntegerMinMax       = 1 << 1,  // minInteger, maxInteger
    kVstParameterUsesFloatStep           = 1 << 2,  // stepFloat, smallStepFloat, largeStepFloat
    kVstParameterUsesIntStep             = 1 << 3,  // stepInteger, largeStepInteger
    kVstParameterSupportsDisplayIndex    = 1 << 4,  // displayIndex
    kVstParameterSupportsDisplayCategory = 1 << 5,  // category, numParametersInCategory, categoryLabel
    kVstParameterCanRamp                 = 1 << 6   // may change smoothly
};

// VstEvent::type.
enum VstEventTypes : int
{
    kVstMidiType  = 1,
    kVstSysExType = 6
};

// Value of effSetProcessPrecision.
enum VstProcessPrecision : int
{
    kVstProcessPrecision64 = 1   // double-precision processing
};

//==============================================================================
// Editor bounds; width = right - left, height = bottom - top. Must stay an
// aggregate of four shorts in this order (JUCE brace-initialises it).
struct ERect
{
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

// Transport and time state, allocated by the host (audioMasterGetTime).
struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;              // in quarter notes
    double tempo;               // beats per minute
    double barStartPos;         // ppq position of the last bar start
    double cycleStartPos;       // ppq
    double cycleEndPos;         // ppq
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;       // in 1/80 of a frame
    VstInt32 smpteFrameRate;    // VstSmpteFrameRate
    VstInt32 samplesToNextClock;
    VstInt32 flags;             // VstTimeInfoFlags bits
};

// Header shared by all events; concrete events have the same first 16 bytes.
struct VstEvent
{
    VstInt32 type;              // VstEventTypes
    VstInt32 byteSize;          // sizeof the concrete event
    VstInt32 deltaFrames;       // offset inside the current block
    VstInt32 flags;
    char data[16];
};

// Event list. Really variable length: numEvents pointers from `events` on.
struct VstEvents
{
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

struct VstMidiEvent
{
    VstInt32 type;              // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;        // samples, 0 = unknown
    VstInt32 noteOffset;        // samples into the note
    char midiData[4];           // 1 to 3 MIDI bytes, then zero
    char detune;                // cents, -64..+63
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent
{
    VstInt32 type;              // kVstSysExType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;         // length of sysexDump
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

// One audio channel, filled by the plug-in into a host-owned struct. The
// wrapper writes one byte past label and past shortLabel (a NUL); the
// following members keep that byte inside the struct.
struct VstPinProperties
{
    char label[kVstMaxLabelLen];
    VstInt32 flags;             // VstPinPropertiesFlags bits
    VstInt32 arrangementType;   // VstSpeakerArrangementType of the bus
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};

// How a host may present one parameter (effGetParameterProperties), filled by the
// plug-in into a host-owned struct. JUCE's wrapper does not use it; our entry layer
// answers the opcode itself. Written from public documentation of the interface
// (Ardour's API documentation of its vestige.h, the vst2-sys crate's documentation);
// the fact sheet this folder was otherwise written from leaves it out.
struct VstParameterProperties
{
    float stepFloat;            // ordinary step, in the 0..1 value
    float smallStepFloat;       // fine step
    float largeStepFloat;       // coarse step
    char label[kVstMaxLabelLen];
    VstInt32 flags;             // VstParameterFlags bits
    VstInt32 minInteger;
    VstInt32 maxInteger;
    VstInt32 stepInteger;
    VstInt32 largeStepInteger;
    char shortLabel[kVstMaxShortLabelLen];
    VstInt16 displayIndex;      // position in the host's list, from 0
    VstInt16 category;          // 0: none, else the category's number from 1
    VstInt16 numParametersInCategory;
    VstInt16 reserved;
    char categoryLabel[kVstMaxCategLabelLen];
    char future[16];
};

struct VstSpeakerProperties
{
    float azimuth;              // radians
    float elevation;            // radians
    float radius;               // metres
    float reserved;
    char name[64];
    VstInt32 type;              // VstSpeakerType
    char future[28];
};

// Exactly eight speakers: JUCE sizes longer arrangements as this struct plus
// (channels - 8) extra VstSpeakerProperties.
struct VstSpeakerArrangement
{
    VstInt32 type;              // VstSpeakerArrangementType
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

//==============================================================================
static_assert (sizeof (ERect) == 8, "ERect layout");
static_assert (__builtin_offsetof (ERect, left) == 2, "ERect layout");
static_assert (__builtin_offsetof (ERect, bottom) == 4, "ERect layout");
static_assert (__builtin_offsetof (ERect, right) == 6, "ERect layout");

static_assert (sizeof (VstTimeInfo) == 88, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, sampleRate) == 8, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, nanoSeconds) == 16, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, ppqPos) == 24, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, tempo) == 32, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, barStartPos) == 40, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, cycleStartPos) == 48, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, cycleEndPos) == 56, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, timeSigDenominator) == 68, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, smpteOffset) == 72, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, smpteFrameRate) == 76, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, samplesToNextClock) == 80, "VstTimeInfo layout");
static_assert (__builtin_offsetof (VstTimeInfo, flags) == 84, "VstTimeInfo layout");

static_assert (sizeof (VstEvent) == 32, "VstEvent layout");
static_assert (__builtin_offsetof (VstEvent, byteSize) == 4, "VstEvent layout");
static_assert (__builtin_offsetof (VstEvent, deltaFrames) == 8, "VstEvent layout");
static_assert (__builtin_offsetof (VstEvent, flags) == 12, "VstEvent layout");
static_assert (__builtin_offsetof (VstEvent, data) == 16, "VstEvent layout");

static_assert (sizeof (VstEvents) == 32, "VstEvents layout");
static_assert (__builtin_offsetof (VstEvents, reserved) == 8, "VstEvents layout");
static_assert (__builtin_offsetof (VstEvents, events) == 16, "VstEvents layout");

static_assert (sizeof (VstMidiEvent) == 32, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, flags) == 12, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, noteLength) == 16, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, noteOffset) == 20, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, detune) == 28, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, noteOffVelocity) == 29, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, reserved1) == 30, "VstMidiEvent layout");
static_assert (__builtin_offsetof (VstMidiEvent, reserved2) == 31, "VstMidiEvent layout");

static_assert (sizeof (VstMidiSysexEvent) == 48, "VstMidiSysexEvent layout");
static_assert (__builtin_offsetof (VstMidiSysexEvent, flags) == 12, "VstMidiSysexEvent layout");
static_assert (__builtin_offsetof (VstMidiSysexEvent, dumpBytes) == 16, "VstMidiSysexEvent layout");
static_assert (__builtin_offsetof (VstMidiSysexEvent, resvd1) == 24, "VstMidiSysexEvent layout");
static_assert (__builtin_offsetof (VstMidiSysexEvent, sysexDump) == 32, "VstMidiSysexEvent layout");
static_assert (__builtin_offsetof (VstMidiSysexEvent, resvd2) == 40, "VstMidiSysexEvent layout");

static_assert (sizeof (VstPinProperties) == 128, "VstPinProperties layout");
static_assert (__builtin_offsetof (VstPinProperties, flags) == 64, "VstPinProperties layout");
static_assert (__builtin_offsetof (VstPinProperties, arrangementType) == 68, "VstPinProperties layout");
static_assert (__builtin_offsetof (VstPinProperties, shortLabel) == 72, "VstPinProperties layout");
static_assert (__builtin_offsetof (VstPinProperties, future) == 80, "VstPinProperties layout");

static_assert (sizeof (VstParameterProperties) == 152, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, smallStepFloat) == 4, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, largeStepFloat) == 8, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, label) == 12, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, flags) == 76, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, minInteger) == 80, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, maxInteger) == 84, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, stepInteger) == 88, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, largeStepInteger) == 92, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, shortLabel) == 96, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, displayIndex) == 104, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, category) == 106, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, numParametersInCategory) == 108, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, reserved) == 110, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, categoryLabel) == 112, "VstParameterProperties layout");
static_assert (__builtin_offsetof (VstParameterProperties, future) == 136, "VstParameterProperties layout");

static_assert (sizeof (VstSpeakerProperties) == 112, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, elevation) == 4, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, radius) == 8, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, reserved) == 12, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, name) == 16, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, type) == 80, "VstSpeakerProperties layout");
static_assert (__builtin_offsetof (VstSpeakerProperties, future) == 84, "VstSpeakerProperties layout");

static_assert (sizeof (VstSpeakerArrangement) == 904, "VstSpeakerArrangement layout");
static_assert (__builtin_offsetof (VstSpeakerArrangement, numChannels) == 4, "VstSpeakerArrangement layout");
static_assert (__builtin_offsetof (VstSpeakerArrangement, speakers) == 8, "VstSpeakerArrangement layout");

#endif // DUNSKARA_VST2_AEFFECTX_H
