// A watch library whose symbol tables the test scripts: the 13 VYNWATCH_ exports over files,
// line records, functions and symbols that SCRIPTW_ exports set. Variables are read and written
// through the IDE's memory function, as the real library does. Built as a real shared library
// and loaded by path.

#include "watch_abi.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace kiv;

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct LineRecord {
    int file;
    int line;
    int list;
    uint32_t address;
};

struct Function {
    std::string name;
    uint32_t start;
    uint32_t exit;
};

struct Symbol {
    uint32_t address;
    int symbolClass;
};

struct Eval {
    std::string result;
    int ok;
};

struct State {
    std::vector<std::string> files;
    std::vector<LineRecord> lines;
    std::vector<Function> functions;
    std::map<std::string, Symbol> symbols;
    std::map<std::string, Eval> evals;
    std::vector<std::string> calls;
    std::string loaded;
    bool failLoad = false;
    uint32_t loadError = 0;
};

State &S()
{
    static State state;
    return state;
}

void Put(char *buffer, int capacity, const std::string &text)
{
    if (!buffer || capacity <= 0)
        return;
    const size_t n = std::min<size_t>(text.size(), size_t(capacity) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

const Function *FunctionAt(uint32_t address)
{
    for (const Function &f : S().functions) {
        if (address >= f.start && address <= f.exit)
            return &f;
    }
    return nullptr;
}

}  // namespace

// --- the script -------------------------------------------------------------------------------

EXPORT void SCRIPTW_RESET()
{
    S() = State{};
}

EXPORT void SCRIPTW_ADD_FILE(const char *name)
{
    S().files.push_back(name);
}

EXPORT void SCRIPTW_ADD_LINE(int file, int line, int list, uint32_t address)
{
    S().lines.push_back(LineRecord{file, line, list, address});
}

EXPORT void SCRIPTW_ADD_FUNCTION(const char *name, uint32_t start, uint32_t exit)
{
    S().functions.push_back(Function{name, start, exit});
}

EXPORT void SCRIPTW_ADD_SYMBOL(const char *name, uint32_t address, int symbolClass)
{
    S().symbols[name] = Symbol{address, symbolClass};
}

/// A fixed answer for an expression.
EXPORT void SCRIPTW_SET_EVAL(const char *expression, const char *result, int ok)
{
    S().evals[expression] = Eval{result, ok};
}

/// The next loads fail with `code`.
EXPORT void SCRIPTW_FAIL_LOAD(uint32_t code)
{
    S().failLoad = true;
    S().loadError = code;
}

EXPORT int SCRIPTW_LOADED(char *out, int capacity)
{
    Put(out, capacity, S().loaded);
    return int(S().loaded.size());
}

EXPORT int SCRIPTW_CALLS(char *out, int capacity)
{
    std::string all;
    for (const std::string &c : S().calls)
        all += c + "\n";
    Put(out, capacity, all);
    return int(all.size()) + 1;
}

// --- the watch library ------------------------------------------------------------------------

namespace {

uint16_t Load(const char *path, uint32_t *error)
{
    S().calls.push_back(std::string("LOAD ") + path);
    if (S().failLoad) {
        if (error)
            *error = S().loadError;
        return 0;
    }
    if (FILE *f = std::fopen(path, "rb")) {
        std::fclose(f);
        S().loaded = path;
        return 1;
    }
    if (error)
        *error = uint32_t(ENOENT) << 8;
    return 0;
}

}  // namespace

EXPORT uint16_t VYNWATCH_LOAD_COD(int16_t two, const char *path)
{
    return two == 2 ? Load(path, nullptr) : 0;
}

EXPORT uint16_t VYNWATCH_LOAD_COFF(const char *path, uint32_t *error)
{
    return Load(path, error);
}

EXPORT uint16_t VYNWATCH_GET_FILENAME(int32_t number, char *name)
{
    if (number < 0 || size_t(number) >= S().files.size())
        return 0;
    Put(name, kWatchFileNameSize, S().files[size_t(number)]);
    return 1;
}

EXPORT uint16_t VYNWATCH_FIND_LINE(int32_t mode, int32_t *file, int32_t *line, int32_t *list,
                                   uint32_t *address, uint8_t *extra)
{
    S().calls.push_back("FIND_LINE " + std::to_string(mode));
    for (const LineRecord &r : S().lines) {
        const bool match = (mode == wfLineToAddress && r.file == *file && r.line == *line)
                           || (mode == wfListLineToAddress && r.list == *list)
                           || (mode == wfAddressToLine && r.address == *address);
        if (match) {
            *file = r.file;
            *line = r.line;
            *list = r.list;
            *address = r.address;
            *extra = 0;
            return 1;
        }
    }
    return 0;
}

EXPORT uint16_t VYNWATCH_FIND_FUNCTION(uint32_t address, uint32_t *exit, char *name, char *second)
{
    S().calls.push_back("FIND_FUNCTION " + std::to_string(address));
    const Function *f = FunctionAt(address);
    *exit = f ? f->exit : 0;
    Put(name, kWatchFunctionNameSize, f ? f->name : "");
    Put(second, kWatchFunctionNameSize, "");
    return 1;
}

EXPORT uint16_t VYNWATCH_GET_FUNCTION_ADDR(const char *name, int32_t *address)
{
    for (const Function &f : S().functions) {
        if (f.name == name) {
            *address = int32_t(f.start);
            return 1;
        }
    }
    return 0;
}

EXPORT uint16_t VYNWATCH_EVALUATE2(int32_t file, int32_t line, const char *expression, char *result,
                                   int32_t capacity, int32_t zero, TWatchMemoryFunction memory,
                                   void *context)
{
    std::string text = expression;
    S().calls.push_back("EVALUATE " + std::to_string(file) + " " + std::to_string(line) + " " + text);
    if (auto it = S().evals.find(text); it != S().evals.end()) {
        Put(result, capacity + 1, it->second.result);
        return uint16_t(it->second.ok);
    }
    // name, name++ and an optional ",h" or ",b" display suffix.
    std::string suffix;
    if (const size_t comma = text.rfind(','); comma != std::string::npos) {
        suffix = text.substr(comma + 1);
        text.resize(comma);
    }
    bool increment = false;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "++") == 0) {
        increment = true;
        text.resize(text.size() - 2);
    }
    auto it = S().symbols.find(text);
    if (it == S().symbols.end()) {
        Put(result, capacity + 1, "ERROR: Unknown symbol " + text);
        return 0;
    }
    uint8_t *bytes = nullptr;
    if (!memory || !memory(context, int32_t(it->second.address), 1, &bytes) || !bytes) {
        Put(result, capacity + 1, "ERROR: Memory not readable");
        return 0;
    }
    const unsigned value = bytes[0];
    if (increment)
        bytes[0] = uint8_t(value + 1);
    char formatted[64];
    if (suffix == "h")
        std::snprintf(formatted, sizeof formatted, "0x%02X", value);
    else if (suffix == "b") {
        std::string bits;
        for (int b = 7; b >= 0; --b)
            bits += ((value >> b) & 1) ? '1' : '0';
        std::snprintf(formatted, sizeof formatted, "%s", bits.c_str());
    } else
        std::snprintf(formatted, sizeof formatted, "%u", value);
    Put(result, capacity + 1, formatted);
    return 1;
}

EXPORT uint16_t VYNWATCH_INTERPRET_STACK2(uint32_t pc, uint8_t count, const uint32_t *entries, char *output,
                                          int32_t capacity, TWatchMemoryFunction memory, void *context)
{
    std::string text;
    const Function *current = FunctionAt(pc);
    text += std::string(current ? current->name : "?") + "()\r\n";
    for (int i = count - 1; i >= 0; --i) {
        const Function *f = FunctionAt(entries[i]);
        text += "  " + std::string(f ? f->name : "?") + "()\r\n";
    }
    Put(output, capacity, text);
    return 1;
}

EXPORT uint16_t VYNWATCH_GET_SYMBOL_LIST(int32_t file, int32_t line, int32_t symbolClass, char *buffer,
                                         int32_t capacity)
{
    std::string text;
    for (const auto &[name, symbol] : S().symbols) {
        if (symbol.symbolClass & symbolClass)
            text += name + "\r\n";
    }
    Put(buffer, capacity, text);
    return 1;
}

// Required, never called.
EXPORT uint16_t VYNWATCH_EVALUATE() { return 0; }
EXPORT uint16_t VYNWATCH_ADD_DEFINE() { return 0; }
EXPORT uint16_t VYNWATCH_INTERPRET_STACK() { return 0; }
EXPORT uint16_t VYNWATCH_DEBUGGER_IO() { return 0; }
