// The exports of debuggers/SIMDLL/kivsim.so, the debugger library of the "Simulator" type. Each
// checks its pointers, counts and buffers, then hands over to the one session object; a false
// result always comes with a message.

#include "debugger_abi.h"
#include "simsession.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace kiv;
using namespace kiv::sim;

#define KIV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Copies a message into the caller's buffer: at most `capacity` characters (and never more than
// the 255 the interface allows) and a terminating NUL.
void PutMessage(char *msg, int32_t capacity, const std::string &text)
{
    if (!msg || capacity <= 0)
        return;
    const size_t n = std::min<size_t>(text.size(), size_t(std::min<int32_t>(capacity, kDbgMessageCapacity)));
    std::memcpy(msg, text.data(), n);
    msg[n] = '\0';
}

int32_t Result(bool ok, char *msg, int32_t capacity, const std::string &text)
{
    if (!ok)
        PutMessage(msg, capacity, text.empty() ? "The simulator could not do that." : text);
    else if (msg && capacity > 0)
        msg[0] = '\0';
    return ok ? 1 : 0;
}

int32_t Fail(char *msg, int32_t capacity, const std::string &text)
{
    PutMessage(msg, capacity, text);
    return 0;
}

// A text argument of at most 4096 characters.
bool Text(const char *text, std::string &out)
{
    if (!text)
        return false;
    const size_t n = strnlen(text, 4096);
    if (n == 4096)
        return false;
    out.assign(text, n);
    return true;
}

int32_t NotSupported(char *msg, int32_t capacity, const char *what)
{
    return Fail(msg, capacity, std::string("The simulator has no ") + what + ".");
}

}  // namespace

KIV_EXPORT int32_t DBG_NAME(char *name)
{
    if (!name)
        return 0;
    std::strcpy(name, TSimSession::Name());
    return 1;
}

KIV_EXPORT int32_t DBG_GET_OPTIONS(char *rows, int32_t *count)
{
    if (!rows || !count)
        return 0;
    const std::vector<std::string> options = TSimSession::OptionRows();
    int32_t n = 0;
    for (const std::string &row : options) {
        if (n >= kDbgOptionRows)
            break;
        char *slot = rows + size_t(n) * kDbgTextSize;
        const size_t len = std::min<size_t>(row.size(), kDbgTextSize - 1);
        std::memcpy(slot, row.data(), len);
        slot[len] = '\0';
        ++n;
    }
    *count = n;
    return 1;
}

KIV_EXPORT int32_t DBG_ESTABLISH_COMMUNICATION(const char *settingsFile, char *msg, int32_t msgCapacity)
{
    std::string path;
    if (!Text(settingsFile, path))
        return Fail(msg, msgCapacity, "No settings file was given to the simulator.");
    std::string text;
    return Result(Session().EstablishCommunication(path, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_SET_DIRECTORY(const char *devicesDat)
{
    std::string path;
    if (!Text(devicesDat, path))
        return 0;
    Session().SetDeviceFile(path);
    return 1;
}

KIV_EXPORT int32_t DBG_SET_WARNING_CALLBACK(TDbgWarningFunction warning, char *msg, int32_t msgCapacity)
{
    Session().SetWarningFunction(warning);
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_STARTLOG(char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().StartLog(text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_RESET(char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().Reset(text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_STOP(char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().Stop(text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_GET_TARGET_NAME(char *name, int32_t capacity, uint8_t, char *msg, int32_t msgCapacity)
{
    if (!name || capacity <= 0)
        return Fail(msg, msgCapacity, "No buffer was given for the target name.");
    std::string text, part;
    if (!Session().TargetName(part, text))
        return Fail(msg, msgCapacity, text);
    const size_t n = std::min<size_t>(part.size(), size_t(std::min(capacity, kDbgMessageCapacity)));
    std::memcpy(name, part.data(), n);
    name[n] = '\0';
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_FORCE_CHIP(const char *name, char *msg, int32_t msgCapacity)
{
    std::string part;
    if (!Text(name, part) || part.empty())
        return Fail(msg, msgCapacity, "No part name was given to the simulator.");
    std::string text;
    return Result(Session().ForceChip(part, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_GET_SUPPORTED_TARGETS(uint8_t *families, uint8_t *other, char *msg, int32_t msgCapacity)
{
    if (!families)
        return Fail(msg, msgCapacity, "No buffer was given for the supported targets.");
    *families = kDbgFamilyPic16 | kDbgFamilyPic18;
    if (other)
        *other = 0;
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_READ_REVISION(uint8_t *revision, char *msg, int32_t msgCapacity)
{
    if (!revision)
        return Fail(msg, msgCapacity, "No buffer was given for the revision.");
    *revision = 0;
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_PALEX_DEACTIVATE(uint8_t, char *msg, int32_t msgCapacity)
{
    return NotSupported(msg, msgCapacity, "Palex programmer");
}

KIV_EXPORT int32_t DBG_PALEX_SET_TARGET(uint8_t, uint16_t, char *msg, int32_t msgCapacity)
{
    return NotSupported(msg, msgCapacity, "Palex programmer");
}

KIV_EXPORT int32_t DBG_SET_ERASE_MODE(uint8_t eraseMode, uint8_t programMode, char *msg, int32_t msgCapacity)
{
    // A download always replaces the whole program memory; the modes change nothing.
    if (eraseMode > 2 || programMode > 1)
        return Fail(msg, msgCapacity, "Unknown erase mode " + std::to_string(eraseMode) + " or program mode "
                                          + std::to_string(programMode) + ".");
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_READ_VDD(int32_t, double *volts, char *msg, int32_t msgCapacity)
{
    if (!volts)
        return Fail(msg, msgCapacity, "No buffer was given for the voltage.");
    std::string text;
    const bool ok = Session().SupplyVolts(*volts, text);
    return Result(ok, msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_GET_CLOCK_SPEED(int32_t, double *mhz, char *msg, int32_t msgCapacity)
{
    if (!mhz)
        return Fail(msg, msgCapacity, "No buffer was given for the clock speed.");
    std::string text;
    return Result(Session().ClockSpeed(*mhz, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_DOWNLOAD_TO_TARGET(const char *file, uint8_t *inOut, TDbgProgressFunction progress,
                                          char *msg, int32_t msgCapacity)
{
    std::string path;
    if (!Text(file, path) || path.empty())
        return Fail(msg, msgCapacity, "No program file was given to the simulator.");
    std::string text;
    const bool ok = Session().Download(path, progress, text);
    if (inOut)
        *inOut = ok ? 1 : 0;
    return Result(ok, msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_GET_VERIFICATION_RESULTS(char *text, int32_t capacity, int32_t *count, char *msg)
{
    // The simulator's program memory is what was loaded: there is nothing to report.
    if (!count)
        return 0;
    *count = 0;
    if (text && capacity > 0)
        text[0] = '\0';
    (void)msg;
    return 1;
}

KIV_EXPORT int32_t DBG_GO1(uint32_t *pc, uint8_t *w, uint8_t *status, char *msg, int32_t msgCapacity, uint8_t)
{
    if (!pc || !w || !status)
        return Fail(msg, msgCapacity, "No buffers were given for the PC, W and status.");
    uint32_t newPc = 0;
    uint8_t newW = 0, newStatus = 0;
    std::string text;
    if (!Session().Go(newPc, newW, newStatus, text))
        return Fail(msg, msgCapacity, text);
    *pc = newPc;
    *w = newW;
    *status = newStatus;
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_STEP(uint32_t *pc, uint8_t *w, uint8_t, char *msg, int32_t msgCapacity)
{
    if (!pc || !w)
        return Fail(msg, msgCapacity, "No buffers were given for the PC and W.");
    uint32_t newPc = 0;
    uint8_t newW = 0;
    std::string text;
    if (!Session().Step(newPc, newW, text))
        return Fail(msg, msgCapacity, text);
    *pc = newPc;
    *w = newW;
    return Result(true, msg, msgCapacity, {});
}

KIV_EXPORT int32_t DBG_SET_BREAK(int32_t address, char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().SetBreak(address, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_CLEAR_BREAK(int32_t address, char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().ClearBreak(address, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_READ_RAM(int32_t address, int32_t count, uint8_t *data, char *msg, int32_t msgCapacity)
{
    if (!data && count > 0)
        return Fail(msg, msgCapacity, "No buffer was given for the RAM bytes.");
    std::string text;
    return Result(Session().ReadRam(address, count, data, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_WRITE_RAM(int32_t address, int32_t count, const uint8_t *data, char *msg,
                                 int32_t msgCapacity)
{
    if (!data && count > 0)
        return Fail(msg, msgCapacity, "No bytes were given to write to RAM.");
    std::string text;
    return Result(Session().WriteRam(address, count, data, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_VALID_RAM(int32_t start, int32_t count, uint8_t *valid, char *msg, int32_t msgCapacity)
{
    if (!valid && count > 0)
        return Fail(msg, msgCapacity, "No buffer was given for the RAM map.");
    std::string text;
    return Result(Session().ValidRam(start, count, valid, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_READ_EEPROM(uint8_t, int32_t address, int32_t count, uint8_t *data, char *msg,
                                   int32_t msgCapacity)
{
    if (!data && count > 0)
        return Fail(msg, msgCapacity, "No buffer was given for the EEPROM bytes.");
    std::string text;
    return Result(Session().ReadEeprom(address, count, data, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_WRITE_EEPROM(uint8_t, int32_t address, int32_t count, const uint8_t *data, char *msg,
                                    int32_t msgCapacity)
{
    if (!data && count > 0)
        return Fail(msg, msgCapacity, "No bytes were given to write to the EEPROM.");
    std::string text;
    return Result(Session().WriteEeprom(address, count, data, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_READ_STACK(int32_t *count, uint32_t *entries, char *msg, int32_t msgCapacity)
{
    if (!count)
        return Fail(msg, msgCapacity, "No buffer was given for the stack count.");
    std::string text;
    return Result(Session().ReadStack(*count, entries, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_SET_TARGET_OUTPUT(TDbgCharFunction character)
{
    return Session().SetTargetOutput(character) ? 1 : 0;
}

KIV_EXPORT int32_t DBG_SEND_TARGET_INPUT(uint8_t character, char *msg, int32_t msgCapacity)
{
    std::string text;
    return Result(Session().SendInput(character, text), msg, msgCapacity, text);
}

KIV_EXPORT int32_t DBG_LAUNCH_CONFIGURATION(const char *, int32_t *value, char *msg, int32_t msgCapacity)
{
    if (value)
        *value = 0;
    return NotSupported(msg, msgCapacity, "hardware to configure and no programming tool");
}

// Exports the interface requires but the IDE never calls. They take a message buffer and its
// capacity and report that the simulator has no such function.

#define KIV_UNUSED_EXPORT(name, what)                                                             \
    KIV_EXPORT int32_t name(char *msg, int32_t msgCapacity)                                        \
    {                                                                                              \
        return NotSupported(msg, msgCapacity, what);                                               \
    }

KIV_EXPORT int32_t DBG_DLL_VERSION(char *msg, int32_t msgCapacity)
{
    PutMessage(msg, msgCapacity, "kivsim 1.0");
    return 1;
}
KIV_UNUSED_EXPORT(DBG_UPDATE_FIRMWARE, "firmware")
KIV_UNUSED_EXPORT(DBG_TEST_TARGET, "target test")
KIV_UNUSED_EXPORT(DBG_TEST_ICD, "debugger unit test")
KIV_UNUSED_EXPORT(DBG_TEST_PRODUCTION, "production test")
KIV_UNUSED_EXPORT(DBG_IS_PORT_AVALIBLE, "communication port")
KIV_UNUSED_EXPORT(DBG_TEST_COMM, "communication test")
KIV_UNUSED_EXPORT(DBG_WRITE_REVISION, "hardware revision to write")
KIV_UNUSED_EXPORT(DBG_RUN, "free run without DBG_GO1")
KIV_UNUSED_EXPORT(DBG_GO, "run without DBG_GO1")
KIV_UNUSED_EXPORT(DBG_READ_ROM, "program memory read through this call")
KIV_UNUSED_EXPORT(DBG_WRITE_ROM, "program memory write through this call")
KIV_UNUSED_EXPORT(DBG_LOCK, "lock")
KIV_UNUSED_EXPORT(DBG_SET_BREAK_MODE, "breakpoint modes")
KIV_UNUSED_EXPORT(DBG_WRITE_HSTACK, "hardware stack write")

KIV_EXPORT int32_t DBG_HALT(char *msg, int32_t msgCapacity)
{
    return DBG_STOP(msg, msgCapacity);
}

KIV_EXPORT int32_t DBG_FINISHLOG(char *msg, int32_t msgCapacity)
{
    return Result(true, msg, msgCapacity, {});
}

// The exports have exactly the types the IDE calls them with.
static_assert(std::is_same_v<decltype(&DBG_NAME), TDbgName>);
static_assert(std::is_same_v<decltype(&DBG_GET_OPTIONS), TDbgGetOptions>);
static_assert(std::is_same_v<decltype(&DBG_ESTABLISH_COMMUNICATION), TDbgEstablishCommunication>);
static_assert(std::is_same_v<decltype(&DBG_SET_DIRECTORY), TDbgSetDirectory>);
static_assert(std::is_same_v<decltype(&DBG_SET_WARNING_CALLBACK), TDbgSetWarningCallback>);
static_assert(std::is_same_v<decltype(&DBG_STARTLOG), TDbgMsgOnly>);
static_assert(std::is_same_v<decltype(&DBG_RESET), TDbgMsgOnly>);
static_assert(std::is_same_v<decltype(&DBG_STOP), TDbgMsgOnly>);
static_assert(std::is_same_v<decltype(&DBG_GET_TARGET_NAME), TDbgGetTargetName>);
static_assert(std::is_same_v<decltype(&DBG_FORCE_CHIP), TDbgForceChip>);
static_assert(std::is_same_v<decltype(&DBG_GET_SUPPORTED_TARGETS), TDbgGetSupportedTargets>);
static_assert(std::is_same_v<decltype(&DBG_READ_REVISION), TDbgReadRevision>);
static_assert(std::is_same_v<decltype(&DBG_PALEX_DEACTIVATE), TDbgPalexDeactivate>);
static_assert(std::is_same_v<decltype(&DBG_PALEX_SET_TARGET), TDbgPalexSetTarget>);
static_assert(std::is_same_v<decltype(&DBG_SET_ERASE_MODE), TDbgSetEraseMode>);
static_assert(std::is_same_v<decltype(&DBG_READ_VDD), TDbgReadDouble>);
static_assert(std::is_same_v<decltype(&DBG_GET_CLOCK_SPEED), TDbgReadDouble>);
static_assert(std::is_same_v<decltype(&DBG_DOWNLOAD_TO_TARGET), TDbgDownloadToTarget>);
static_assert(std::is_same_v<decltype(&DBG_GET_VERIFICATION_RESULTS), TDbgGetVerificationResults>);
static_assert(std::is_same_v<decltype(&DBG_GO1), TDbgGo1>);
static_assert(std::is_same_v<decltype(&DBG_STEP), TDbgStep>);
static_assert(std::is_same_v<decltype(&DBG_SET_BREAK), TDbgBreak>);
static_assert(std::is_same_v<decltype(&DBG_CLEAR_BREAK), TDbgBreak>);
static_assert(std::is_same_v<decltype(&DBG_READ_RAM), TDbgReadRam>);
static_assert(std::is_same_v<decltype(&DBG_WRITE_RAM), TDbgWriteRam>);
static_assert(std::is_same_v<decltype(&DBG_VALID_RAM), TDbgValidRam>);
static_assert(std::is_same_v<decltype(&DBG_READ_EEPROM), TDbgReadEeprom>);
static_assert(std::is_same_v<decltype(&DBG_WRITE_EEPROM), TDbgWriteEeprom>);
static_assert(std::is_same_v<decltype(&DBG_READ_STACK), TDbgReadStack>);
static_assert(std::is_same_v<decltype(&DBG_SET_TARGET_OUTPUT), TDbgSetTargetOutput>);
static_assert(std::is_same_v<decltype(&DBG_SEND_TARGET_INPUT), TDbgSendTargetInput>);
static_assert(std::is_same_v<decltype(&DBG_LAUNCH_CONFIGURATION), TDbgLaunchConfiguration>);
