#include "vync_runner.h"

#include "devicesdat_writer.h"

#include <QDir>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace kiv::vynctest {

namespace fs = std::filesystem;

int Shell(const std::string &command, std::string *output)
{
    output->clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output->append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

void WriteDevices(const std::string &path)
{
    // Two parts with the fuses the programs use: the classic PIC16F877A and the enhanced
    // PIC16F1827 and PIC16F1825 (two configuration words).
    TDevicesDatWriter writer;
    const QStringList names = {"NOWDT", "WDT", "HS", "XT", "NOLVP", "LVP", "NOPROTECT", "PUT", "NOPUT", "INTRC_IO"};
    writer.SetFuseNames(names);
    const auto add = [&](const QString &part, const std::vector<std::tuple<QString, uint16_t, uint16_t, uint8_t>> &fuses) {
        DeviceRecord r;
        r.setName(part);
        r.SetByte(devrec::kind, 1);
        int entry = 1;
        for (const auto &[name, mask, value, word] : fuses) {
            TFuseEntry f;
            f.mask = mask;
            f.value = value;
            f.word = word;
            f.namePosition = writer.FuseNamePosition(name);
            SetFuseEntry(r, entry++, f);
        }
        writer.AddRecord(r);
    };
    add("PIC16F877A", {{"NOWDT", 0x0004, 0x0000, 1}, {"WDT", 0x0004, 0x0004, 1}, {"HS", 0x0003, 0x0002, 1},
                       {"XT", 0x0003, 0x0001, 1}, {"NOLVP", 0x0080, 0x0000, 1}, {"LVP", 0x0080, 0x0080, 1},
                       {"NOPROTECT", 0x2000, 0x2000, 1}, {"PUT", 0x0008, 0x0000, 1}, {"NOPUT", 0x0008, 0x0008, 1}});
    add("PIC16F1827", {{"NOWDT", 0x0018, 0x0000, 1}, {"WDT", 0x0018, 0x0018, 1}, {"HS", 0x0007, 0x0002, 1},
                       {"XT", 0x0007, 0x0001, 1}, {"INTRC_IO", 0x0007, 0x0004, 1}, {"NOLVP", 0x2000, 0x0000, 2},
                       {"LVP", 0x2000, 0x2000, 2}});
    add("PIC16F1825", {{"NOWDT", 0x0018, 0x0000, 1}, {"WDT", 0x0018, 0x0018, 1}, {"HS", 0x0007, 0x0002, 1},
                       {"INTRC_IO", 0x0007, 0x0004, 1}, {"NOLVP", 0x2000, 0x0000, 2}, {"LVP", 0x2000, 0x2000, 2}});
    add("PIC16F628A", {{"NOWDT", 0x0004, 0x0000, 1}, {"NOLVP", 0x0080, 0x0000, 1}, {"INTRC_IO", 0x0013, 0x0010, 1}});
    writer.Save(QString::fromStdString(path));
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

bool TRunResult::Value(const std::string &name, std::int64_t *value, bool isSigned) const
{
    for (const auto &v : report.variables) {
        if (v.name != name)
            continue;
        std::uint64_t u = 0;
        if (v.bit >= 0) {
            if (v.address < 0 || v.address >= static_cast<int>(ram.size()))
                return false;
            *value = (ram[static_cast<std::size_t>(v.address)] >> v.bit) & 1;
            return true;
        }
        for (int i = 0; i < v.size; ++i) {
            const int a = v.address + i;
            if (a < 0 || a >= static_cast<int>(ram.size()) || ram[static_cast<std::size_t>(a)] < 0)
                return false;
            u |= static_cast<std::uint64_t>(ram[static_cast<std::size_t>(a)]) << (8 * i);
        }
        std::int64_t s = static_cast<std::int64_t>(u);
        if (isSigned && v.size < 8 && (u >> (8 * v.size - 1)) & 1)
            s = static_cast<std::int64_t>(u | (~std::uint64_t(0) << (8 * v.size)));
        *value = s;
        return true;
    }
    return false;
}

TVyncRunner::TVyncRunner()
{
    char pattern[] = "/tmp/vynctestXXXXXX";
    const char *dir = mkdtemp(pattern);
    m_folder = dir ? dir : "/tmp";
    fs::create_directories(fs::path(m_folder) / "utils");
    WriteDevices((fs::path(m_folder) / "utils" / "devices.dat").string());
}

TVyncRunner::~TVyncRunner()
{
    if (!getenv("VYNC_KEEP")) {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
}

vync::TCompileOutcome TVyncRunner::Compile(const std::string &source, const std::string &name)
{
    const std::string path = (fs::path(m_folder) / name).string();
    std::ofstream(path, std::ios::binary) << source;
    vync::TCompileOptions options;
    options.mainFile = path;
    options.installDir = m_folder;
    return vync::CompileC(options);
}

TRunResult TVyncRunner::Run(const std::string &source, long cycles)
{
    TRunResult r;
    const std::string dir = (fs::path(m_folder) / ("p" + std::to_string(++m_counter))).string();
    fs::create_directories(dir);
    r.folder = dir;
    const std::string path = dir + "/prog.c";
    std::ofstream(path, std::ios::binary) << source;
    vync::TCompileOptions options;
    options.mainFile = path;
    options.installDir = m_folder;
    vync::TCompileOutcome outcome = vync::CompileC(options);
    for (const auto &m : outcome.messages.All())
        r.messages += vync::MessageLine(outcome.messages, m) + "\n";
    if (!outcome.ok)
        return r;
    r.compiled = true;
    r.report = outcome.program;
    std::ofstream(dir + "/prog.asm", std::ios::binary) << outcome.assembly;
    std::string out;
    if (Shell("cd '" + dir + "' && gpasm -c -g -o prog.o prog.asm && gplink -c -m -o prog.hex prog.o", &out) != 0) {
        r.messages += out;
        return r;
    }
    r.built = true;
    RunInGpsim(dir, "prog", cycles, &r);
    return r;
}

bool InstallationReady()
{
    return fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / "16F877A.h") && fs::exists(KIV_DEVICES_DAT);
}

TRunResult RunInstalled(const std::string &source, long cycles, const std::string &script)
{
    TRunResult r;
    char pattern[] = "/tmp/vyncinstXXXXXX";
    const char *made = mkdtemp(pattern);
    if (!made) {
        r.messages = "no work folder";
        return r;
    }
    const std::string root = made;
    fs::create_directories(fs::path(root) / "utils");
    fs::create_directory_symlink(KIV_VYNC_DEVICES_DIR, fs::path(root) / "devices");
    fs::copy_file(KIV_DEVICES_DAT, fs::path(root) / "utils" / "devices.dat");
    const std::string dir = root + "/program";
    fs::create_directories(dir);
    r.folder = dir;
    std::ofstream(dir + "/prog.c", std::ios::binary) << source;
    vync::TCompileOptions options;
    options.mainFile = dir + "/prog.c";
    options.installDir = root;
    const vync::TCompileOutcome outcome = vync::CompileC(options);
    for (const auto &m : outcome.messages.All())
        r.messages += vync::MessageLine(outcome.messages, m) + "\n";
    if (outcome.ok) {
        r.compiled = true;
        r.report = outcome.program;
        std::ofstream(dir + "/prog.asm", std::ios::binary) << outcome.assembly;
        std::string out;
        if (Shell("cd '" + dir + "' && gpasm -c -g -o prog.o prog.asm && gplink -c -m -o prog.hex prog.o", &out) != 0) {
            r.messages += out;
        } else {
            r.built = true;
            RunInGpsim(dir, "prog", cycles, &r, script);
        }
    }
    if (!getenv("VYNC_KEEP")) {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    return r;
}

void RunInGpsim(const std::string &dir, const std::string &base, long cycles, TRunResult *result, const std::string &script)
{
    TRunResult &r = *result;
    std::string out;
    int end = -1;
    {
        std::istringstream map(ReadAll(dir + "/" + base + ".map"));
        std::string line;
        while (std::getline(map, line)) {
            std::istringstream words(line);
            std::string name, address;
            words >> name >> address;
            if (name == "?end") {
                end = static_cast<int>(std::stol(address, nullptr, 16));
                break;
            }
        }
    }
    std::ofstream(dir + "/run.stc") << script << (script.empty() || script.back() == '\n' ? "" : "\n") << "break e " << end
                                    << "\nbreak c " << cycles << "\nrun\npc\ndump r\nquit\n";
    Shell("cd '" + dir + "' && gpsim -i -S disable -s " + base + ".cod -c run.stc", &out);
    r.output = out;
    r.trace = ReadAll(dir + "/trace.log");
    std::istringstream lines(out);
    std::string line;
    r.ram.assign(0x1000, -1);
    while (std::getline(lines, line)) {
        if (line.rfind("pc = ", 0) == 0)
            r.finished = std::stol(line.substr(5), nullptr, 16) == end;
        if (line.size() < 8 || line[4] != ':')
            continue;
        std::size_t consumed = 0;
        int base = 0;
        try {
            base = std::stoi(line.substr(0, 4), &consumed, 16);
        } catch (...) {
            continue;
        }
        if (consumed != 4)
            continue;
        for (int i = 0; i < 16; ++i) {
            const std::size_t at = 7 + static_cast<std::size_t>(i) * 3;
            if (at + 2 > line.size())
                break;
            const std::string byte = line.substr(at, 2);
            if (byte == "--" || base + i >= static_cast<int>(r.ram.size()))
                continue;
            try {
                r.ram[static_cast<std::size_t>(base + i)] = std::stoi(byte, nullptr, 16);
            } catch (...) {
            }
        }
    }
    if (!r.finished)
        r.messages += out.substr(0, 4000);
}

}  // namespace kiv::vynctest
