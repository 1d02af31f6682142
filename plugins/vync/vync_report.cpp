#include "vync_report.h"

#include <charconv>
#include <sstream>

namespace kiv::vync {

namespace {

std::string Clean(std::string s)
{
    for (char &c : s) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return s;
}

std::vector<std::string> Fields(const std::string &line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return fields;
}

long Number(const std::string &s)
{
    long v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

int Int(const std::string &s)
{
    return static_cast<int>(Number(s));
}

}  // namespace

std::string ReportText(const TReport &r)
{
    std::string s = "vync\t1\n";
    s += "part\t" + Clean(r.part) + "\n";
    s += "lines\t" + std::to_string(r.lines) + "\n";
    for (const std::string &f : r.files)
        s += "file\t" + Clean(f) + "\n";
    for (const auto &m : r.messages) {
        s += std::string("message\t") + (m.isError ? "E" : "W") + "\t" + std::to_string(m.number) + "\t" +
             Clean(m.file) + "\t" + std::to_string(m.line) + "\t" + std::to_string(m.column) + "\t" +
             std::to_string(m.endColumn) + "\t" + Clean(m.text) + "\n";
    }
    for (const auto &v : r.variables) {
        s += "var\t" + Clean(v.name) + "\t" + Clean(v.label) + "\t" + Clean(v.type) + "\t" + Clean(v.function) + "\t" +
             std::to_string(v.address) + "\t" + std::to_string(v.bit) + "\t" + std::to_string(v.size) + "\t" +
             (v.overlaid ? "1" : "0") + "\n";
    }
    for (const auto &t : r.routines) {
        std::string calls;
        for (const std::string &c : t.calls)
            calls += (calls.empty() ? "" : ",") + Clean(c);
        s += "routine\t" + Clean(t.name) + "\t" + Clean(t.label) + "\t" + (t.runtime ? "1" : "0") + "\t" +
             Clean(t.interrupt) + "\t" + std::to_string(t.address) + "\t" + std::to_string(t.words) + "\t" +
             std::to_string(t.frameBase) + "\t" + std::to_string(t.frameSize) + "\t" + std::to_string(t.depth) +
             "\t" + calls + "\n";
    }
    for (const auto &t : r.tables) {
        s += "table\t" + Clean(t.name) + "\t" + Clean(t.label) + "\t" + std::to_string(t.address) + "\t" +
             std::to_string(t.words) + "\n";
    }
    s += "rom\t" + std::to_string(r.romUsed) + "\t" + std::to_string(r.romSize) + "\n";
    s += "ram\t" + std::to_string(r.ramUsed) + "\t" + std::to_string(r.ramSize) + "\n";
    s += "stack\t" + std::to_string(r.stackUsed) + "\t" + std::to_string(r.stackSize) + "\n";
    return s;
}

bool ParseReport(const std::string &text, TReport *report, std::string *error)
{
    *report = TReport();
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> f = Fields(line);
        const std::string &kind = f[0];
        if (first) {
            if (kind != "vync" || f.size() < 2) {
                *error = "not a report of the C compiler";
                return false;
            }
            first = false;
            continue;
        }
        const auto at = [&f](std::size_t i) -> const std::string & {
            static const std::string empty;
            return i < f.size() ? f[i] : empty;
        };
        if (kind == "part") {
            report->part = at(1);
        } else if (kind == "lines") {
            report->lines = Number(at(1));
        } else if (kind == "file") {
            report->files.push_back(at(1));
        } else if (kind == "message" && f.size() >= 8) {
            TReport::TMessage m;
            m.isError = at(1) != "W";
            m.number = Int(at(2));
            m.file = at(3);
            m.line = Int(at(4));
            m.column = Int(at(5));
            m.endColumn = Int(at(6));
            m.text = at(7);
            report->messages.push_back(m);
        } else if (kind == "var" && f.size() >= 9) {
            TReport::TVariable v;
            v.name = at(1);
            v.label = at(2);
            v.type = at(3);
            v.function = at(4);
            v.address = Int(at(5));
            v.bit = Int(at(6));
            v.size = Int(at(7));
            v.overlaid = at(8) == "1";
            report->variables.push_back(v);
        } else if (kind == "routine" && f.size() >= 11) {
            TReport::TRoutine r;
            r.name = at(1);
            r.label = at(2);
            r.runtime = at(3) == "1";
            r.interrupt = at(4);
            r.address = Int(at(5));
            r.words = Int(at(6));
            r.frameBase = Int(at(7));
            r.frameSize = Int(at(8));
            r.depth = Int(at(9));
            std::size_t start = 0;
            const std::string &calls = at(10);
            while (start < calls.size()) {
                std::size_t comma = calls.find(',', start);
                if (comma == std::string::npos)
                    comma = calls.size();
                r.calls.push_back(calls.substr(start, comma - start));
                start = comma + 1;
            }
            report->routines.push_back(r);
        } else if (kind == "table" && f.size() >= 5) {
            report->tables.push_back({at(1), at(2), Int(at(3)), Int(at(4))});
        } else if (kind == "rom") {
            report->romUsed = Int(at(1));
            report->romSize = Int(at(2));
        } else if (kind == "ram") {
            report->ramUsed = Int(at(1));
            report->ramSize = Int(at(2));
        } else if (kind == "stack") {
            report->stackUsed = Int(at(1));
            report->stackSize = Int(at(2));
        }
    }
    if (first) {
        *error = "the report is empty";
        return false;
    }
    return true;
}

}  // namespace kiv::vync
