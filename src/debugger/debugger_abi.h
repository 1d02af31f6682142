#pragma once

// The binary interface between the IDE and a debugger library (one library per debugger type,
// for example debuggers/SIMDLL/kivsim.so). Plain C++ without Qt: the IDE and the libraries both
// include this header.
//
// Every export is an extern "C" function looked up by name. A library must export all 49 names
// of kDbgExportNames; the IDE refuses a library that lacks any of them, also the ones it never
// calls. Results are int32_t: non-zero means done (true), 0 failed; a failing call writes the
// reason into its message buffer `msg` (up to `msgCapacity` = 255 characters plus a NUL).
//
// Threads. DBG_GO1 and DBG_DOWNLOAD_TO_TARGET block until the target stops or the download
// ends, so the IDE makes those two calls on a worker thread of its own and keeps its interface
// thread running. While one of them is pending the IDE calls only DBG_STOP and
// DBG_SEND_TARGET_INPUT, from its interface thread; no other two calls ever overlap. DBG_STOP
// must not wait for the pending call: it asks a pending DBG_GO1 to return (status 0) soon and a
// pending download to give up. The call-backs (warning, character, progress) may be called on
// the thread of the call in progress; the IDE hands them to its interface thread itself.

#include <cstdint>

namespace kiv {

/// Size of every text buffer the IDE passes (255 characters and a NUL), and the capacity it
/// passes with a message buffer.
inline constexpr int kDbgTextSize = 256;
inline constexpr int32_t kDbgMessageCapacity = 255;
/// DBG_GET_OPTIONS fills up to this many rows of kDbgTextSize bytes each.
inline constexpr int kDbgOptionRows = 256;

/// DBG_GO1 status: the target stopped on a breakpoint.
inline constexpr uint8_t kDbgStoppedOnBreak = 1;
/// DBG_GET_SUPPORTED_TARGETS family bits.
inline constexpr uint8_t kDbgFamilyPic16 = 2;
inline constexpr uint8_t kDbgFamilyPic18 = 4;

/// Given to DBG_SET_WARNING_CALLBACK: shows a warning; returns 1 to stop, 0 to go on.
using TDbgWarningFunction = int32_t (*)(const char *text, const char *caption);
/// Given to DBG_SET_TARGET_OUTPUT: one byte of output from the program on the target.
using TDbgCharFunction = void (*)(uint8_t character);
/// Given to DBG_DOWNLOAD_TO_TARGET: progress in percent; returns non-zero to go on, 0 to stop
/// (the IDE answers 0 once the session is being stopped).
using TDbgProgressFunction = int32_t (*)(int32_t percent, int32_t value, const char *text);

// The calls the IDE makes, in argument order. `msg` is a kDbgTextSize buffer, `msgCapacity`
// kDbgMessageCapacity.
using TDbgName = int32_t (*)(char *name);   // out display name (kDbgTextSize buffer)
using TDbgGetOptions = int32_t (*)(char *rows, int32_t *count);   // rows: kDbgOptionRows x kDbgTextSize
using TDbgEstablishCommunication = int32_t (*)(const char *settingsFile, char *msg, int32_t msgCapacity);
using TDbgSetDirectory = int32_t (*)(const char *devicesDat);
using TDbgSetWarningCallback = int32_t (*)(TDbgWarningFunction warning, char *msg, int32_t msgCapacity);
using TDbgMsgOnly = int32_t (*)(char *msg, int32_t msgCapacity);   // DBG_STARTLOG, DBG_RESET, DBG_STOP
using TDbgGetTargetName = int32_t (*)(char *name, int32_t capacity /*255*/, uint8_t one, char *msg,
                                      int32_t msgCapacity);
using TDbgForceChip = int32_t (*)(const char *name, char *msg, int32_t msgCapacity);
using TDbgGetSupportedTargets = int32_t (*)(uint8_t *families, uint8_t *other, char *msg, int32_t msgCapacity);
using TDbgReadRevision = int32_t (*)(uint8_t *revision, char *msg, int32_t msgCapacity);
using TDbgPalexDeactivate = int32_t (*)(uint8_t two, char *msg, int32_t msgCapacity);
using TDbgPalexSetTarget = int32_t (*)(uint8_t character, uint16_t value /*500*/, char *msg,
                                       int32_t msgCapacity);
using TDbgSetEraseMode = int32_t (*)(uint8_t eraseMode, uint8_t programMode, char *msg, int32_t msgCapacity);
/// DBG_READ_VDD (volts) and DBG_GET_CLOCK_SPEED (MHz).
using TDbgReadDouble = int32_t (*)(int32_t zero, double *value, char *msg, int32_t msgCapacity);
/// `inOut` is 1 on entry.
using TDbgDownloadToTarget = int32_t (*)(const char *file, uint8_t *inOut, TDbgProgressFunction progress,
                                         char *msg, int32_t msgCapacity);
/// Without `text` (nullptr, capacity 0) only `count` is set. `msg` holds on entry the message
/// for a failure ("There were program verification errors"), which the library may replace.
using TDbgGetVerificationResults = int32_t (*)(char *text, int32_t capacity, int32_t *count, char *msg);
/// Runs until a breakpoint, DBG_STOP or a failure; `status` = kDbgStoppedOnBreak when a
/// breakpoint stopped it. `mode` is 1 with the user stream (monitor) on, else 0.
using TDbgGo1 = int32_t (*)(uint32_t *pc, uint8_t *w, uint8_t *status, char *msg, int32_t msgCapacity,
                            uint8_t mode);
/// One instruction; `mode` is 0.
using TDbgStep = int32_t (*)(uint32_t *pc, uint8_t *w, uint8_t mode, char *msg, int32_t msgCapacity);
/// DBG_SET_BREAK and DBG_CLEAR_BREAK (-1 clears all).
using TDbgBreak = int32_t (*)(int32_t address, char *msg, int32_t msgCapacity);
using TDbgReadRam = int32_t (*)(int32_t address, int32_t count, uint8_t *data, char *msg, int32_t msgCapacity);
using TDbgWriteRam = int32_t (*)(int32_t address, int32_t count, const uint8_t *data, char *msg,
                                 int32_t msgCapacity);
/// One byte per address from `start`: non-zero where RAM exists.
using TDbgValidRam = int32_t (*)(int32_t start, int32_t count, uint8_t *valid, char *msg, int32_t msgCapacity);
using TDbgReadEeprom = int32_t (*)(uint8_t one, int32_t address, int32_t count, uint8_t *data, char *msg,
                                   int32_t msgCapacity);
using TDbgWriteEeprom = int32_t (*)(uint8_t one, int32_t address, int32_t count, const uint8_t *data,
                                    char *msg, int32_t msgCapacity);
/// Without `entries` only `count` is set; with them `count` is their number on entry and the
/// number filled on return.
using TDbgReadStack = int32_t (*)(int32_t *count, uint32_t *entries, char *msg, int32_t msgCapacity);
/// Returns non-zero when the target's output can reach `character`.
using TDbgSetTargetOutput = int32_t (*)(TDbgCharFunction character);
using TDbgSendTargetInput = int32_t (*)(uint8_t character, char *msg, int32_t msgCapacity);
/// Runs the programming tool from `folder`; returns when it ends.
using TDbgLaunchConfiguration = int32_t (*)(const char *folder, int32_t *value, char *msg, int32_t msgCapacity);

/// The 49 exports every debugger library has: the 32 the IDE calls, then the 17 it requires but
/// never calls (their arguments are the library's own).
inline constexpr const char *kDbgExportNames[] = {
    "DBG_NAME", "DBG_GET_OPTIONS", "DBG_ESTABLISH_COMMUNICATION", "DBG_SET_DIRECTORY",
    "DBG_SET_WARNING_CALLBACK", "DBG_STARTLOG", "DBG_RESET", "DBG_STOP", "DBG_GET_TARGET_NAME",
    "DBG_FORCE_CHIP", "DBG_GET_SUPPORTED_TARGETS", "DBG_READ_REVISION", "DBG_PALEX_DEACTIVATE",
    "DBG_PALEX_SET_TARGET", "DBG_SET_ERASE_MODE", "DBG_READ_VDD", "DBG_GET_CLOCK_SPEED",
    "DBG_DOWNLOAD_TO_TARGET", "DBG_GET_VERIFICATION_RESULTS", "DBG_GO1", "DBG_STEP",
    "DBG_SET_BREAK", "DBG_CLEAR_BREAK", "DBG_READ_RAM", "DBG_WRITE_RAM", "DBG_VALID_RAM",
    "DBG_READ_EEPROM", "DBG_WRITE_EEPROM", "DBG_READ_STACK", "DBG_SET_TARGET_OUTPUT",
    "DBG_SEND_TARGET_INPUT", "DBG_LAUNCH_CONFIGURATION",
    // required, never called
    "DBG_DLL_VERSION", "DBG_UPDATE_FIRMWARE", "DBG_TEST_TARGET", "DBG_TEST_ICD",
    "DBG_TEST_PRODUCTION", "DBG_IS_PORT_AVALIBLE", "DBG_TEST_COMM", "DBG_WRITE_REVISION",
    "DBG_HALT", "DBG_RUN", "DBG_GO", "DBG_READ_ROM", "DBG_WRITE_ROM", "DBG_FINISHLOG", "DBG_LOCK",
    "DBG_SET_BREAK_MODE", "DBG_WRITE_HSTACK",
};
inline constexpr int kDbgExportCount = int(sizeof(kDbgExportNames) / sizeof(kDbgExportNames[0]));
static_assert(kDbgExportCount == 49);

}  // namespace kiv
