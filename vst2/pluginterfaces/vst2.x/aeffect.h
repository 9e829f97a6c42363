/*
    DUNSKARA: the project's own clean-room declarations of the VST 2.4 plug-in
    binary interface, written from documented binary-interface facts (numbers,
    names and layouts). No third-party header text was used.

    Scope: only the names that JUCE 7.0.5's VST2 client wrapper and its helper
    headers use, for GCC/Clang on x86_64 Linux (LP64, little-endian).

    JUCE includes this file and aeffectx.h inside `namespace Vst2 { ... }`, so
    nothing here may include a system header: only built-in types are used.
    `kVstVersion` is a macro because the wrapper names it from outside that
    namespace.
*/

#ifndef DUNSKARA_VST2_AEFFECT_H
#define DUNSKARA_VST2_AEFFECT_H

// Lets a build check that these headers, not another pair found on the
// include path, were picked up.
#define DUNSKARA_CLEANROOM_VST2 1

// Interface version 2.4: returned by effGetVstVersion, and by hosts for
// audioMasterVersion.
#define kVstVersion 2400

static_assert (sizeof (void*) == 8 && sizeof (long long) == 8 && sizeof (int) == 4 && sizeof (short) == 2,
               "these VST 2.4 declarations describe the 64-bit (LP64) binary interface only");

//==============================================================================
// Integer types of the interface. VstIntPtr is `long long` so that JUCE's
// callbacks (taking juce::pointer_sized_int) convert to the pointer types
// below without reinterpretation.
typedef short     VstInt16;
typedef int       VstInt32;
typedef long long VstIntPtr;

static_assert (sizeof (VstIntPtr) == sizeof (void*), "VstIntPtr must be pointer-sized");

// Declared here, before any function type mentions it, so that those types
// refer to this AEffect and never to a same-named struct in an enclosing scope.
struct AEffect;

//==============================================================================
// Host callback and the plug-in functions stored in AEffect. Linux x86_64 has
// a single C calling convention, so no calling-convention keyword is needed.
typedef VstIntPtr (*audioMasterCallback)   (AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr (*AEffectDispatcherProc) (AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
typedef void  (*AEffectProcessProc)        (AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
typedef void  (*AEffectProcessDoubleProc)  (AEffect* effect, double** inputs, double** outputs, VstInt32 sampleFrames);
typedef void  (*AEffectSetParameterProc)   (AEffect* effect, VstInt32 index, float value);
typedef float (*AEffectGetParameterProc)   (AEffect* effect, VstInt32 index);

//==============================================================================
// Dispatcher opcodes 0..24 (only those in use; the numbers have gaps).
enum AEffectOpcodes : int
{
    effOpen            = 0,
    effClose           = 1,
    effSetProgram      = 2,   // value: program index
    effGetProgram      = 3,
    effSetProgramName  = 4,   // ptr: name of the current program
    effGetProgramName  = 5,   // ptr: buffer for the current program's name
    effGetParamLabel   = 6,   // index: parameter, ptr: buffer for the unit
    effGetParamDisplay = 7,   // index: parameter, ptr: buffer for the value text
    effGetParamName    = 8,   // index: parameter, ptr: buffer for the name
    effSetSampleRate   = 10,  // opt: sample rate
    effSetBlockSize    = 11,  // value: largest block size
    effMainsChanged    = 12,  // value: 1 = resume, 0 = suspend
    effEditGetRect     = 13,  // ptr: ERect** that receives the editor bounds
    effEditOpen        = 14,  // ptr: parent window (an X11 Window id on Linux)
    effEditClose       = 15,
    effEditIdle        = 19,
    effIdentify        = 22,
    effGetChunk        = 23,  // ptr: void** for the state; index: 0 = bank, else program; returns bytes
    effSetChunk        = 24   // ptr: state, value: byte count; index as for effGetChunk
};

// Host callback opcodes that belong to the 1.0 interface (only those in use).
enum AudioMasterOpcodes : int
{
    audioMasterAutomate = 0,  // index: parameter, opt: new normalised value
    audioMasterVersion  = 1   // host answers its interface version; 0 means a pre-2.x host
};

// Bits of AEffect::flags. One enum, so that OR-ing flags never mixes enum types.
enum VstAEffectFlags : int
{
    effFlagsHasEditor          = 1 << 0,
    effFlagsCanReplacing       = 1 << 4,
    effFlagsProgramChunks      = 1 << 5,
    effFlagsIsSynth            = 1 << 8,
    effFlagsNoSoundInStop      = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12
};

//==============================================================================
// The plug-in's descriptor, allocated and owned by the plug-in. Natural layout
// is the binary layout on x86_64 (no member needs more than 8-byte alignment).
struct AEffect
{
    VstInt32 magic;                 // 0x56737450 ('VstP')
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;     // old accumulating call; left null by JUCE
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;

    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;                 // VstAEffectFlags bits

    VstIntPtr resvd1;               // reserved for the host
    VstIntPtr resvd2;

    VstInt32 initialDelay;          // latency in samples
    VstInt32 realQualities;         // unused, zero
    VstInt32 offQualities;          // unused, zero
    float ioRatio;                  // unused, zero

    void* object;                   // the plug-in's own object
    void* user;

    VstInt32 uniqueID;
    VstInt32 version;

    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;

    char future[56];
};

static_assert (sizeof (AEffect) == 192, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, dispatcher) == 8, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, process) == 16, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, setParameter) == 24, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, getParameter) == 32, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, numPrograms) == 40, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, numParams) == 44, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, numInputs) == 48, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, numOutputs) == 52, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, flags) == 56, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, resvd1) == 64, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, resvd2) == 72, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, initialDelay) == 80, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, realQualities) == 84, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, offQualities) == 88, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, ioRatio) == 92, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, object) == 96, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, user) == 104, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, uniqueID) == 112, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, version) == 116, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, processReplacing) == 120, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, processDoubleReplacing) == 128, "AEffect layout");
static_assert (__builtin_offsetof (AEffect, future) == 136, "AEffect layout");

#endif // DUNSKARA_VST2_AEFFECT_H
