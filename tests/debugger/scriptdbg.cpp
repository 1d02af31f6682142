// A debugger library whose behaviour the test scripts: every DBG_ export the IDE resolves,
// plus SCRIPT_ exports through which a test sets results, stops and memory, and reads back the
// calls that were made. Built as a real shared library and loaded by path, like a debugger
// library of the installation.
//
// Variants: SCRIPTDBG_OMIT_HSTACK leaves out DBG_WRITE_HSTACK (an export the IDE never calls),
// SCRIPTDBG_OMIT_NAME leaves out DBG_NAME; SCRIPTDBG_DEFAULT_NAME is the name DBG_NAME gives.

#include "debugger_abi.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace kiv;

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef SCRIPTDBG_DEFAULT_NAME
#define SCRIPTDBG_DEFAULT_NAME "Script"
#endif

namespace {

struct Stop {
    uint32_t pc;
    uint8_t w;
    uint8_t status;
};

struct Failure {
    int count = 0;   // calls still to fail; -1 always
    std::string msg;
};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> calls;
    std::map<std::string, Failure> failures;
    std::map<std::string, std::string> texts;
    std::map<std::string, long> ints;
    std::deque<Stop> stops;
    std::deque<Stop> steps;
    std::vector<uint8_t> ram = std::vector<uint8_t>(4096, 0);
    std::vector<uint8_t> valid = std::vector<uint8_t>(4096, 1);
    std::vector<uint8_t> eeprom = std::vector<uint8_t>(256, 0);
    std::vector<uint32_t> stack;
    std::vector<int32_t> breaks;
    std::string input;
    bool stopRequested = false;
    bool released = false;
    bool goRunning = false;
    std::thread::id mainThread;
    bool goOnOtherThread = false;
    bool downloadOnOtherThread = false;
    int lastWarningAnswer = -1;
    int lastProgressAnswer = -1;
    TDbgWarningFunction warning = nullptr;
    TDbgCharFunction output = nullptr;
};

State &S()
{
    static State state;
    return state;
}

void Log(const std::string &entry)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.push_back(entry);
}

void Put(char *buffer, int capacity, const std::string &text)
{
    if (!buffer || capacity <= 0)
        return;
    const size_t n = std::min<size_t>(text.size(), size_t(capacity));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

/// True when the call must fail; the failure message goes to `msg`.
bool Fails(const char *name, char *msg, int32_t capacity)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    auto it = S().failures.find(name);
    if (it == S().failures.end() || it->second.count == 0)
        return false;
    if (it->second.count > 0)
        --it->second.count;
    Put(msg, capacity, it->second.msg);
    return true;
}

std::string Text(const std::string &key, const std::string &def = {})
{
    std::lock_guard<std::mutex> lock(S().mutex);
    auto it = S().texts.find(key);
    return it == S().texts.end() ? def : it->second;
}

long Int(const std::string &key, long def = 0)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    auto it = S().ints.find(key);
    return it == S().ints.end() ? def : it->second;
}

void Emit(const std::string &text)
{
    TDbgCharFunction output;
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        output = S().output;
    }
    if (output) {
        for (char c : text)
            output(uint8_t(c));
    }
}

}  // namespace

// --- the script -------------------------------------------------------------------------------

EXPORT void SCRIPT_RESET()
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
    s.failures.clear();
    s.texts.clear();
    s.ints.clear();
    s.stops.clear();
    s.steps.clear();
    std::fill(s.ram.begin(), s.ram.end(), 0);
    std::fill(s.valid.begin(), s.valid.end(), 1);
    std::fill(s.eeprom.begin(), s.eeprom.end(), 0);
    s.stack.clear();
    s.breaks.clear();
    s.input.clear();
    s.stopRequested = false;
    s.released = false;
    s.mainThread = std::this_thread::get_id();
    s.goOnOtherThread = false;
    s.downloadOnOtherThread = false;
    s.lastWarningAnswer = -1;
    s.lastProgressAnswer = -1;
    s.warning = nullptr;
    s.output = nullptr;
}

/// The next `count` calls of `name` fail with `msg` (-1: every call).
EXPORT void SCRIPT_FAIL(const char *name, int count, const char *msg)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().failures[name] = Failure{count, msg ? msg : ""};
}

/// Texts: "name", "target", "options" (rows separated by "\n"), "verification", "output"
/// (sent through the character function by the next DBG_GO1), "warning" (asked by the next
/// DBG_ESTABLISH_COMMUNICATION and DBG_GO1).
EXPORT void SCRIPT_SET_TEXT(const char *key, const char *value)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().texts[key] = value ? value : "";
}

/// Numbers: "clock" and "vdd" (in hundredths), "revision", "families", "verifycount",
/// "ignorestop" (DBG_GO1 keeps running after DBG_STOP until SCRIPT_RELEASE), "goms" (DBG_GO1
/// runs this long before it takes its next scripted stop), "targetoutput" (result of
/// DBG_SET_TARGET_OUTPUT, default 1).
EXPORT void SCRIPT_SET_INT(const char *key, long value)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().ints[key] = value;
}

/// The next DBG_GO1 returns with this PC, W and status; without one it runs until DBG_STOP.
EXPORT void SCRIPT_PUSH_STOP(uint32_t pc, uint8_t w, uint8_t status)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().stops.push_back(Stop{pc, w, status});
}

/// The next DBG_STEP returns with this PC and W; without one the PC goes up by 1.
EXPORT void SCRIPT_PUSH_STEP(uint32_t pc, uint8_t w)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().steps.push_back(Stop{pc, w, 0});
}

/// Lets a DBG_GO1 that ignores DBG_STOP return.
EXPORT void SCRIPT_RELEASE()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().released = true;
    S().changed.notify_all();
}

EXPORT uint8_t *SCRIPT_RAM()
{
    return S().ram.data();
}

EXPORT uint8_t *SCRIPT_VALID()
{
    return S().valid.data();
}

EXPORT uint8_t *SCRIPT_EEPROM()
{
    return S().eeprom.data();
}

EXPORT void SCRIPT_SET_STACK(const uint32_t *entries, int count)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().stack.assign(entries, entries + count);
}

/// The calls so far, one per line ("NAME arguments"); returns the length needed.
EXPORT int SCRIPT_CALLS(char *out, int capacity)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    std::string all;
    for (const std::string &c : S().calls)
        all += c + "\n";
    Put(out, capacity - 1, all);
    return int(all.size()) + 1;
}

/// Queries: "gootherthread", "downloadotherthread", "goRunning", "warninganswer",
/// "progressanswer", "breakcount".
EXPORT long SCRIPT_QUERY(const char *key)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    const std::string k = key;
    if (k == "gootherthread")
        return s.goOnOtherThread;
    if (k == "downloadotherthread")
        return s.downloadOnOtherThread;
    if (k == "gorunning")
        return s.goRunning;
    if (k == "warninganswer")
        return s.lastWarningAnswer;
    if (k == "progressanswer")
        return s.lastProgressAnswer;
    if (k == "breakcount")
        return long(s.breaks.size());
    return -1;
}

/// The characters DBG_SEND_TARGET_INPUT received.
EXPORT int SCRIPT_INPUT(char *out, int capacity)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    Put(out, capacity - 1, S().input);
    return int(S().input.size());
}

// --- the debugger library ---------------------------------------------------------------------

#ifndef SCRIPTDBG_OMIT_NAME
EXPORT int32_t DBG_NAME(char *name)
{
    Log("DBG_NAME");
    Put(name, kDbgTextSize - 1, Text("name", SCRIPTDBG_DEFAULT_NAME));
    return 1;
}
#endif

EXPORT int32_t DBG_GET_OPTIONS(char *rows, int32_t *count)
{
    Log("DBG_GET_OPTIONS");
    const std::string all = Text("options");
    int n = 0;
    size_t start = 0;
    while (start < all.size() && n < kDbgOptionRows) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        Put(rows + size_t(n) * kDbgTextSize, kDbgTextSize - 1, all.substr(start, end - start));
        ++n;
        start = end + 1;
    }
    *count = n;
    return 1;
}

EXPORT int32_t DBG_ESTABLISH_COMMUNICATION(const char *settings, char *msg, int32_t cap)
{
    Log(std::string("DBG_ESTABLISH_COMMUNICATION ") + settings);
    const std::string warning = Text("warning");
    if (!warning.empty()) {
        TDbgWarningFunction function;
        {
            std::lock_guard<std::mutex> lock(S().mutex);
            function = S().warning;
        }
        if (function) {
            const int answer = function(warning.c_str(), "Script warning");
            std::lock_guard<std::mutex> lock(S().mutex);
            S().lastWarningAnswer = answer;
        }
    }
    return !Fails("DBG_ESTABLISH_COMMUNICATION", msg, cap);
}

EXPORT int32_t DBG_SET_DIRECTORY(const char *path)
{
    Log(std::string("DBG_SET_DIRECTORY ") + path);
    return 1;
}

EXPORT int32_t DBG_SET_WARNING_CALLBACK(TDbgWarningFunction warning, char *msg, int32_t cap)
{
    Log("DBG_SET_WARNING_CALLBACK");
    std::lock_guard<std::mutex> lock(S().mutex);
    S().warning = warning;
    return 1;
}

#define MSG_ONLY(NAME)                                 \
    EXPORT int32_t NAME(char *msg, int32_t cap)        \
    {                                                  \
        Log(#NAME);                                    \
        return !Fails(#NAME, msg, cap);                \
    }
MSG_ONLY(DBG_STARTLOG)
MSG_ONLY(DBG_RESET)

EXPORT int32_t DBG_STOP(char *msg, int32_t cap)
{
    Log("DBG_STOP");
    std::lock_guard<std::mutex> lock(S().mutex);
    S().stopRequested = true;
    S().changed.notify_all();
    return 1;
}

EXPORT int32_t DBG_GET_TARGET_NAME(char *name, int32_t capacity, uint8_t one, char *msg, int32_t cap)
{
    Log("DBG_GET_TARGET_NAME");
    if (Fails("DBG_GET_TARGET_NAME", msg, cap))
        return 0;
    Put(name, capacity, Text("target"));
    return 1;
}

EXPORT int32_t DBG_FORCE_CHIP(const char *name, char *msg, int32_t cap)
{
    Log(std::string("DBG_FORCE_CHIP ") + name);
    return !Fails("DBG_FORCE_CHIP", msg, cap);
}

EXPORT int32_t DBG_GET_SUPPORTED_TARGETS(uint8_t *families, uint8_t *other, char *msg, int32_t cap)
{
    Log("DBG_GET_SUPPORTED_TARGETS");
    *families = uint8_t(Int("families", kDbgFamilyPic16 | kDbgFamilyPic18));
    *other = 0;
    return !Fails("DBG_GET_SUPPORTED_TARGETS", msg, cap);
}

EXPORT int32_t DBG_READ_REVISION(uint8_t *revision, char *msg, int32_t cap)
{
    Log("DBG_READ_REVISION");
    *revision = uint8_t(Int("revision", 0));
    return !Fails("DBG_READ_REVISION", msg, cap);
}

EXPORT int32_t DBG_PALEX_DEACTIVATE(uint8_t two, char *msg, int32_t cap)
{
    Log("DBG_PALEX_DEACTIVATE " + std::to_string(two));
    return !Fails("DBG_PALEX_DEACTIVATE", msg, cap);
}

EXPORT int32_t DBG_PALEX_SET_TARGET(uint8_t c, uint16_t value, char *msg, int32_t cap)
{
    Log(std::string("DBG_PALEX_SET_TARGET ") + char(c) + " " + std::to_string(value));
    return !Fails("DBG_PALEX_SET_TARGET", msg, cap);
}

EXPORT int32_t DBG_SET_ERASE_MODE(uint8_t erase, uint8_t program, char *msg, int32_t cap)
{
    Log("DBG_SET_ERASE_MODE " + std::to_string(erase) + " " + std::to_string(program));
    return !Fails("DBG_SET_ERASE_MODE", msg, cap);
}

EXPORT int32_t DBG_READ_VDD(int32_t zero, double *volts, char *msg, int32_t cap)
{
    Log("DBG_READ_VDD");
    *volts = double(Int("vdd", 500)) / 100.0;
    return !Fails("DBG_READ_VDD", msg, cap);
}

EXPORT int32_t DBG_GET_CLOCK_SPEED(int32_t zero, double *mhz, char *msg, int32_t cap)
{
    Log("DBG_GET_CLOCK_SPEED");
    *mhz = double(Int("clock", 2000)) / 100.0;
    return !Fails("DBG_GET_CLOCK_SPEED", msg, cap);
}

EXPORT int32_t DBG_DOWNLOAD_TO_TARGET(const char *file, uint8_t *inOut, TDbgProgressFunction progress,
                                      char *msg, int32_t cap)
{
    Log(std::string("DBG_DOWNLOAD_TO_TARGET ") + file + " " + std::to_string(*inOut));
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().downloadOnOtherThread = std::this_thread::get_id() != S().mainThread;
    }
    const long stepMs = Int("downloadms", 0);
    for (int percent = 0; percent <= 100; percent += 25) {
        if (stepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
        const int answer = progress ? progress(percent, 0, "Loading") : 1;
        {
            std::lock_guard<std::mutex> lock(S().mutex);
            S().lastProgressAnswer = answer;
        }
        if (answer == 0) {
            Put(msg, cap, "Download cancelled");
            return 0;
        }
    }
    return !Fails("DBG_DOWNLOAD_TO_TARGET", msg, cap);
}

EXPORT int32_t DBG_GET_VERIFICATION_RESULTS(char *text, int32_t capacity, int32_t *count, char *msg)
{
    Log(std::string("DBG_GET_VERIFICATION_RESULTS ") + (text ? "text " : "count ") + msg);
    const std::string results = Text("verification");
    *count = int32_t(Int("verifycount", long(results.size())));
    if (text)
        Put(text, capacity - 1, results);
    return !Fails("DBG_GET_VERIFICATION_RESULTS", msg, kDbgMessageCapacity);
}

EXPORT int32_t DBG_GO1(uint32_t *pc, uint8_t *w, uint8_t *status, char *msg, int32_t cap, uint8_t mode)
{
    Log("DBG_GO1 " + std::to_string(*pc) + " " + std::to_string(mode));
    State &s = S();
    std::string output;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.goOnOtherThread = std::this_thread::get_id() != s.mainThread;
        s.goRunning = true;
        s.stopRequested = false;
        output = s.texts["output"];
        s.texts["output"].clear();
    }
    Emit(output);
    const std::string warning = Text("warning");
    if (!warning.empty()) {
        TDbgWarningFunction function;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            function = s.warning;
        }
        if (function) {
            const int answer = function(warning.c_str(), "Script warning");
            std::lock_guard<std::mutex> lock(s.mutex);
            s.lastWarningAnswer = answer;
        }
    }
    if (Fails("DBG_GO1", msg, cap)) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.goRunning = false;
        return 0;
    }
    const long runMs = Int("goms", 0);
    std::unique_lock<std::mutex> lock(s.mutex);
    if (runMs > 0)
        s.changed.wait_for(lock, std::chrono::milliseconds(runMs), [&s] { return s.stopRequested; });
    if (!s.stops.empty() && !s.stopRequested) {
        const Stop stop = s.stops.front();
        s.stops.pop_front();
        *pc = stop.pc;
        *w = stop.w;
        *status = stop.status;
        s.goRunning = false;
        return 1;
    }
    // Runs until DBG_STOP (and, when it ignores that, until released).
    s.changed.wait(lock, [&s] {
        const bool ignore = s.ints.count("ignorestop") && s.ints["ignorestop"];
        return ignore ? s.released : s.stopRequested;
    });
    *status = 0;
    *pc = uint32_t(s.ints.count("haltpc") ? s.ints["haltpc"] : *pc);
    s.goRunning = false;
    return 1;
}

EXPORT int32_t DBG_STEP(uint32_t *pc, uint8_t *w, uint8_t mode, char *msg, int32_t cap)
{
    Log("DBG_STEP " + std::to_string(*pc));
    if (Fails("DBG_STEP", msg, cap))
        return 0;
    std::lock_guard<std::mutex> lock(S().mutex);
    if (!S().steps.empty()) {
        *pc = S().steps.front().pc;
        *w = S().steps.front().w;
        S().steps.pop_front();
    } else {
        *pc += 1;
    }
    return 1;
}

EXPORT int32_t DBG_SET_BREAK(int32_t address, char *msg, int32_t cap)
{
    Log("DBG_SET_BREAK " + std::to_string(address));
    if (Fails("DBG_SET_BREAK", msg, cap))
        return 0;
    std::lock_guard<std::mutex> lock(S().mutex);
    S().breaks.push_back(address);
    return 1;
}

EXPORT int32_t DBG_CLEAR_BREAK(int32_t address, char *msg, int32_t cap)
{
    Log("DBG_CLEAR_BREAK " + std::to_string(address));
    if (Fails("DBG_CLEAR_BREAK", msg, cap))
        return 0;
    std::lock_guard<std::mutex> lock(S().mutex);
    auto &b = S().breaks;
    if (address == -1)
        b.clear();
    else if (auto it = std::find(b.begin(), b.end(), address); it != b.end())
        b.erase(it);
    return 1;
}

EXPORT int32_t DBG_READ_RAM(int32_t address, int32_t count, uint8_t *data, char *msg, int32_t cap)
{
    Log("DBG_READ_RAM " + std::to_string(address) + " " + std::to_string(count));
    if (Fails("DBG_READ_RAM", msg, cap))
        return 0;
    if (address < 0 || count < 0 || address + count > 4096) {
        Put(msg, cap, "RAM address out of range");
        return 0;
    }
    std::memcpy(data, S().ram.data() + address, size_t(count));
    return 1;
}

EXPORT int32_t DBG_WRITE_RAM(int32_t address, int32_t count, const uint8_t *data, char *msg, int32_t cap)
{
    Log("DBG_WRITE_RAM " + std::to_string(address) + " " + std::to_string(count) + " "
        + std::to_string(count > 0 ? data[0] : 0));
    if (Fails("DBG_WRITE_RAM", msg, cap))
        return 0;
    if (address < 0 || count < 0 || address + count > 4096) {
        Put(msg, cap, "RAM address out of range");
        return 0;
    }
    std::memcpy(S().ram.data() + address, data, size_t(count));
    return 1;
}

EXPORT int32_t DBG_VALID_RAM(int32_t start, int32_t count, uint8_t *valid, char *msg, int32_t cap)
{
    Log("DBG_VALID_RAM " + std::to_string(start) + " " + std::to_string(count));
    if (Fails("DBG_VALID_RAM", msg, cap))
        return 0;
    for (int i = 0; i < count; ++i)
        valid[i] = start + i < 4096 ? S().valid[size_t(start + i)] : 0;
    return 1;
}

EXPORT int32_t DBG_READ_EEPROM(uint8_t one, int32_t address, int32_t count, uint8_t *data, char *msg,
                               int32_t cap)
{
    Log("DBG_READ_EEPROM " + std::to_string(address) + " " + std::to_string(count));
    if (Fails("DBG_READ_EEPROM", msg, cap))
        return 0;
    if (address < 0 || count < 0 || address + count > 256)
        return 0;
    std::memcpy(data, S().eeprom.data() + address, size_t(count));
    return 1;
}

EXPORT int32_t DBG_WRITE_EEPROM(uint8_t one, int32_t address, int32_t count, const uint8_t *data,
                                char *msg, int32_t cap)
{
    Log("DBG_WRITE_EEPROM " + std::to_string(address) + " " + std::to_string(count));
    if (Fails("DBG_WRITE_EEPROM", msg, cap))
        return 0;
    if (address < 0 || count < 0 || address + count > 256)
        return 0;
    std::memcpy(S().eeprom.data() + address, data, size_t(count));
    return 1;
}

EXPORT int32_t DBG_READ_STACK(int32_t *count, uint32_t *entries, char *msg, int32_t cap)
{
    Log(std::string("DBG_READ_STACK ") + (entries ? "entries" : "count"));
    if (Fails("DBG_READ_STACK", msg, cap))
        return 0;
    std::lock_guard<std::mutex> lock(S().mutex);
    const auto &stack = S().stack;
    if (entries) {
        const int n = std::min<int>(*count, int(stack.size()));
        std::copy(stack.begin(), stack.begin() + n, entries);
        *count = n;
    } else {
        *count = int32_t(stack.size());
    }
    return 1;
}

EXPORT int32_t DBG_SET_TARGET_OUTPUT(TDbgCharFunction output)
{
    Log("DBG_SET_TARGET_OUTPUT");
    const long ok = Int("targetoutput", 1);
    std::lock_guard<std::mutex> lock(S().mutex);
    S().output = output;
    return int32_t(ok);
}

EXPORT int32_t DBG_SEND_TARGET_INPUT(uint8_t c, char *msg, int32_t cap)
{
    Log(std::string("DBG_SEND_TARGET_INPUT ") + char(c));
    if (Fails("DBG_SEND_TARGET_INPUT", msg, cap))
        return 0;
    std::lock_guard<std::mutex> lock(S().mutex);
    S().input += char(c);
    return 1;
}

EXPORT int32_t DBG_LAUNCH_CONFIGURATION(const char *folder, int32_t *value, char *msg, int32_t cap)
{
    Log(std::string("DBG_LAUNCH_CONFIGURATION ") + folder);
    *value = 0;
    return !Fails("DBG_LAUNCH_CONFIGURATION", msg, cap);
}

// Required, never called.
#define UNUSED_EXPORT(NAME) \
    EXPORT int32_t NAME() { Log(#NAME); return 0; }
UNUSED_EXPORT(DBG_DLL_VERSION)
UNUSED_EXPORT(DBG_UPDATE_FIRMWARE)
UNUSED_EXPORT(DBG_TEST_TARGET)
UNUSED_EXPORT(DBG_TEST_ICD)
UNUSED_EXPORT(DBG_TEST_PRODUCTION)
UNUSED_EXPORT(DBG_IS_PORT_AVALIBLE)
UNUSED_EXPORT(DBG_TEST_COMM)
UNUSED_EXPORT(DBG_WRITE_REVISION)
UNUSED_EXPORT(DBG_HALT)
UNUSED_EXPORT(DBG_RUN)
UNUSED_EXPORT(DBG_GO)
UNUSED_EXPORT(DBG_READ_ROM)
UNUSED_EXPORT(DBG_WRITE_ROM)
UNUSED_EXPORT(DBG_FINISHLOG)
UNUSED_EXPORT(DBG_LOCK)
UNUSED_EXPORT(DBG_SET_BREAK_MODE)
#ifndef SCRIPTDBG_OMIT_HSTACK
UNUSED_EXPORT(DBG_WRITE_HSTACK)
#endif
