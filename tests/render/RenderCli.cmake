# End-to-end checks of the dunskara-render executable, run by ctest as
#   cmake -DRENDER=<executable> -DWORK=<scratch folder> -P RenderCli.cmake
# Runs without a display (DISPLAY unset), as on a build server.

if(NOT RENDER OR NOT WORK)
  message(FATAL_ERROR "RENDER and WORK must be given")
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

set(failures 0)

function(fail text)
  message(SEND_ERROR "${text}")
endfunction()

# run(<expected exit code> <args...>): sets last_out, last_err in the caller.
function(run expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY "${RENDER}" ${ARGN}
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "${expected}")
    fail("dunskara-render ${ARGN}: exit ${rc}, expected ${expected}\n${out}${err}")
  endif()
  set(last_out "${out}" PARENT_SCOPE)
  set(last_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_file name)
  if(NOT EXISTS "${WORK}/${name}")
    fail("${name} was not written")
  endif()
endfunction()

function(expect_magic name hex)
  string(LENGTH "${hex}" hexLength)
  math(EXPR byteCount "${hexLength} / 2")
  file(READ "${WORK}/${name}" head LIMIT ${byteCount} HEX)
  if(NOT head STREQUAL "${hex}")
    fail("${name} starts with ${head}, expected ${hex}")
  endif()
endfunction()

# A refused command: the expected exit code, one line on stderr, nothing written.
function(expect_refused expected output)
  run(${expected} ${ARGN})
  if(NOT last_err MATCHES "^dunskara-render: [^\n]+\n$")
    fail("dunskara-render ${ARGN}: expected one error line, got '${last_err}'")
  endif()
  if(EXISTS "${WORK}/${output}")
    fail("dunskara-render ${ARGN}: left ${output} behind")
  endif()
endfunction()

# The main job: the demo, its dry twin, the editor picture and the state.
run(0 demo.wav --editor-png editor.png --save-state demo.chunk)
if(NOT last_out MATCHES "output +peak")
  fail("no summary after the demo render: ${last_out}")
endif()
foreach(name demo.wav demo-dry.wav editor.png demo.chunk)
  expect_file(${name})
endforeach()
expect_magic(demo.wav 52494646)            # RIFF
expect_magic(demo-dry.wav 52494646)
expect_magic(editor.png 89504e470d0a1a0a)  # PNG signature
expect_magic(demo.chunk 56433221)          # JUCE's XML chunk magic
file(SIZE "${WORK}/demo.wav" demoSize)
if(demoSize LESS 2880000)                  # 480000 frames x 2 channels x 3 bytes
  fail("demo.wav has only ${demoSize} bytes")
endif()

# A file in, the state back in and out unchanged; FLAC and AIFF out.
run(0 demo-dry.wav again.flac --state demo.chunk --save-state again.chunk --block 1000)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/demo.chunk" "${WORK}/again.chunk"
                RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  fail("the state saved after loading demo.chunk differs from it")
endif()
expect_magic(again.flac 664c6143)          # fLaC
run(0 demo-dry.wav again.aiff --program 4 --set thresh_2=0.1)
expect_magic(again.aiff 464f524d)          # FORM

run(0 --help)
if(NOT last_out MATCHES "--state, then --program, then each --set")
  fail("--help does not give the order of the settings")
endif()

# Bad input: refused with exit code 1 (files) or 2 (command line), nothing written.
file(WRITE "${WORK}/damaged.chunk" "VC2!garbage that is no state")
file(SHA256 "${WORK}/demo-dry.wav" inputHashBefore)
expect_refused(1 out1.wav missing.wav out1.wav)
expect_refused(1 out1.wav editor.png out1.wav)
expect_refused(1 out1.wav demo-dry.wav out1.wav --state damaged.chunk)
expect_refused(1 out1.wav demo-dry.wav out1.wav --state missing.chunk)
expect_refused(2 out1.wav demo-dry.wav out1.wav --bogus)
expect_refused(2 out1.wav demo-dry.wav out1.wav --set nope=0.5)
expect_refused(2 out1.wav demo-dry.wav out1.wav --set thresh_1=2)
expect_refused(2 out1.wav demo-dry.wav out1.wav --set thresh_1=abc)
expect_refused(2 out1.wav demo-dry.wav out1.wav --program 10)
expect_refused(2 out1.wav demo-dry.wav out1.wav --block 0)
expect_refused(2 out1.mp3 demo-dry.wav out1.mp3)
expect_refused(2 out1.wav demo-dry.wav out1.wav extra.wav)
run(2 demo-dry.wav demo-dry.wav)
file(SHA256 "${WORK}/demo-dry.wav" inputHashAfter)
if(NOT inputHashBefore STREQUAL inputHashAfter)
  fail("the input was changed by a refused render")
endif()

# Values in the readouts' units, and the list of them.
run(0 demo-dry.wav units.wav --quiet --set thresh_0=-12dB --set ratio_0=4:1 --set attack_0=10ms
    --set release_0=120ms --set gain_0=+3dB --set Fq_Low=300Hz --set Fq_High=2.5kHz --set FinalMix=50%
    --set limonoff_0=on --report units.json)
if(NOT last_out STREQUAL "")
  fail("--quiet printed '${last_out}'")
endif()
file(READ "${WORK}/units.json" report)
string(JSON thresholdReadout GET "${report}" settings parameters 5 readout)
if(NOT thresholdReadout STREQUAL "-12.0dB")
  fail("thresh_0=-12dB reads back as ${thresholdReadout}")
endif()
run(0 --list-params)
if(NOT last_out MATCHES "thresh_0 +threshold +-25.0dB to 0.0dB")
  fail("--list-params does not give the threshold's range: ${last_out}")
endif()
expect_refused(2 out1.wav demo-dry.wav out1.wav --set add_0=-6dB)
expect_refused(2 out1.wav demo-dry.wav out1.wav --scale 2)
expect_refused(1 out1.wav demo-dry.wav nowhere/out1.wav)

# A batch with a bad file among good ones: the good ones are written, exit code 1.
run(1 demo-dry.wav editor.png units.wav --out-dir batch -j 2)
foreach(name demo-dry.wav units.wav)
  expect_file(batch/${name})
endforeach()
if(NOT last_err MATCHES "1 of 3 files failed: editor.png")
  fail("no summary of the failed files: ${last_err}")
endif()

# A failed render keeps an earlier result as it was.
file(WRITE "${WORK}/keep.wav" "an earlier result")
run(1 missing.wav keep.wav)
file(READ "${WORK}/keep.wav" kept)
if(NOT kept STREQUAL "an earlier result")
  fail("a failed render replaced keep.wav")
endif()

# No temporary files are left behind.
file(GLOB leftovers "${WORK}/.*" "${WORK}/batch/.*")
if(leftovers)
  fail("temporary files left behind: ${leftovers}")
endif()
