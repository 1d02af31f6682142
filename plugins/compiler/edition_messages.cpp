#include "edition_messages.h"

#include <algorithm>

namespace kiv::compiler {

int NumberForAssemblerError(int gpasmNumber, std::string_view text)
{
    switch (gpasmNumber) {
    case 101: return mnErrorDirective;
    case 105: return mnIncludeMissing;
    case 113: return mnUndefinedSymbol;
    case 115:
    case 116: return mnDuplicateLabel;
    case 108:
    case 109: return mnSyntax;
    case 124:
    case 126:
    case 127:
    case 128: return mnArgument;
    case 131: return mnNoProcessor;
    case 152:
    case 154: return mnSection;
    case 122:
    case 181: return mnUnknownOpcode;
    default: break;
    }
    // gpasm numbers its parser's errors from 1101 on.
    if (gpasmNumber >= 1101 && gpasmNumber <= 1199)
        return mnSyntax;
    if (text.find("section") != std::string_view::npos || text.find("Section") != std::string_view::npos)
        return mnSection;
    return mnAssemblerOther;
}

int NumberForLinkerError(std::string_view text)
{
    if (text.find("Missing definition for symbol") != std::string_view::npos)
        return mnMissingDefinition;
    if (text.find("No target memory available") != std::string_view::npos)
        return mnMemoryFull;
    return mnLinkerOther;
}

std::string MessageLine(const TBuildMessage &message, bool withColumns)
{
    std::string line = message.severity == TSeverity::Error ? "*** Error " : ">>> Warning ";
    line += std::to_string(message.number);
    line += " \"" + message.where.file + "\" Line " + std::to_string(message.where.line);
    if (withColumns && message.where.HasColumns()) {
        line += "(" + std::to_string(message.where.startColumn) + "," +
                std::to_string(message.where.endColumn) + ")";
    }
    line += ": " + message.text;
    // A message line is one line whatever the tools said.
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line;
}

TErrorFileFormat TErrorFileFormat::FromArgument(std::uint32_t errorFormat)
{
    TErrorFileFormat format;
    format.withColumns = errorFormat != 0;
    format.allErrors = (errorFormat & 0x8000) != 0;
    format.warnings = (errorFormat & 0x4000) != 0;
    return format;
}

std::vector<const TBuildMessage *> MessagesInErrorFile(const std::vector<TBuildMessage> &messages,
                                                       const TErrorFileFormat &format)
{
    // Errors come first: the IDE judges the compile by the error file's first line.
    std::vector<const TBuildMessage *> chosen;
    for (const TBuildMessage &message : messages) {
        if (message.severity != TSeverity::Error)
            continue;
        chosen.push_back(&message);
        if (!format.allErrors)
            break;
    }
    if (format.warnings) {
        for (const TBuildMessage &message : messages) {
            if (message.severity == TSeverity::Warning)
                chosen.push_back(&message);
        }
    }
    return chosen;
}

std::string SummaryText(const std::vector<TBuildMessage> &messages)
{
    const auto errors = std::count_if(messages.begin(), messages.end(), [](const TBuildMessage &m) {
        return m.severity == TSeverity::Error;
    });
    const auto warnings = static_cast<long>(messages.size()) - errors;
    return std::to_string(errors) + " Errors, " + std::to_string(warnings) + " Warnings";
}

std::string ErrorFileSummary(const std::vector<TBuildMessage> &messages, const TErrorFileFormat &format)
{
    const auto errors = std::count_if(messages.begin(), messages.end(), [](const TBuildMessage &m) {
        return m.severity == TSeverity::Error;
    });
    const auto warnings = static_cast<long>(messages.size()) - errors;
    const long hiddenErrors = format.allErrors || errors == 0 ? 0 : errors - 1;
    const long hiddenWarnings = format.warnings ? 0 : warnings;
    std::string text = SummaryText(messages);
    if (hiddenErrors == 0 && hiddenWarnings == 0)
        return text;
    auto count = [](long n, const char *what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    std::string hidden;
    std::string options;
    if (hiddenErrors > 0) {
        hidden = count(hiddenErrors, "more error");
        options = "\"Show All errors\"";
    }
    if (hiddenWarnings > 0) {
        hidden += (hidden.empty() ? "" : " and ") + count(hiddenWarnings, "warning");
        options += (options.empty() ? "" : " and ") + std::string("\"Show Warnings\"");
    }
    const bool one = hiddenErrors + hiddenWarnings == 1;
    return text + "; " + hidden + (one ? " is" : " are") + " not listed: choose \"Multi-Lines\" with " +
           options + " in Options/File Formats to list " + (one ? "it" : "them all");
}

std::string ErrorFileText(const std::vector<TBuildMessage> &messages, const TErrorFileFormat &format)
{
    std::string text;
    for (const TBuildMessage *message : MessagesInErrorFile(messages, format))
        text += MessageLine(*message, format.withColumns) + "\r\n";
    text += ErrorFileSummary(messages, format) + "\r\n";
    return text;
}

}  // namespace kiv::compiler
