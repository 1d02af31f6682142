#include "kivhelp.h"

#include "kivini.h"
#include "kivprompt.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace kiv {

namespace {

/// Contents and index files larger than this are not help files of ours.
constexpr qint64 kMaxListFileSize = 4 * 1024 * 1024;

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == '_';
}

bool IsBlank(QChar c)
{
    return c == ' ' || c == '\t';
}

QList<THelpEntry> ReadEntries(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxListFileSize)
        return {};
    bool ok = false;
    const QStringList lines = ReadTextLines(path, &ok);
    return ok ? THelpSet::ParseEntries(lines.join('\n')) : QList<THelpEntry>();
}

}  // namespace

QList<THelpEntry> THelpSet::ParseEntries(const QString &text)
{
    QList<THelpEntry> entries;
    const QStringList lines = text.split('\n');
    for (const QString &raw : lines) {
        const QString line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        const int bar = line.indexOf(QLatin1String(" | "));
        if (bar < 0)
            continue;
        int spaces = 0;
        while (spaces < line.size() && line.at(spaces) == ' ')
            ++spaces;
        THelpEntry entry;
        entry.level = spaces / 2;
        entry.title = line.left(bar).trimmed();
        entry.target = SplitHelpAddress(line.mid(bar + 3).trimmed());
        if (entry.title.isEmpty() || entry.target.page.isEmpty())
            continue;
        entries << entry;
    }
    return entries;
}

void THelpSet::Load(const QString &folder)
{
    m_contents = ReadEntries(folder + QStringLiteral("contents.txt"));
    m_index = ReadEntries(folder + QStringLiteral("index.txt"));
    for (THelpEntry &entry : m_index)
        entry.level = 0;
    std::stable_sort(m_index.begin(), m_index.end(), [](const THelpEntry &a, const THelpEntry &b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
}

THelpPage THelpSet::DefaultPage() const
{
    if (m_contents.isEmpty())
        return {QStringLiteral("index.htm"), {}};
    return m_contents.first().target;
}

THelpPage SplitHelpAddress(const QString &address)
{
    const int hash = address.indexOf('#');
    if (hash < 0)
        return {address, {}};
    return {address.left(hash), address.mid(hash + 1)};
}

QString HelpPagePath(const QString &folder, const QString &page)
{
    if (page.isEmpty() || QDir::isAbsolutePath(page))
        return {};
    const QString root = QDir::cleanPath(folder);
    const QString path = QDir::cleanPath(root + '/' + page);
    if (!path.startsWith(root + '/'))
        return {};
    return path;
}

THelpPage MessageHelpPage(int context)
{
    const int n = context % 1000;
    if (n >= 200)
        return {QStringLiteral("Warnings/Warnings.htm"), QStringLiteral("W") + QString::number(n)};
    return {QStringLiteral("Error_Messages/Errors.htm"), QStringLiteral("E") + QString::number(n)};
}

std::optional<int> MessageNumberOfLine(const QString &line)
{
    if (line.isEmpty() || !(line.at(0) == '*' || line.at(0) == '-' || line.at(0) == '>'))
        return std::nullopt;
    const int error = line.indexOf(QLatin1String("Error"));
    const int warning = line.indexOf(QLatin1String("Warning"));
    int at = error;
    if (at < 0 || (warning >= 0 && warning < at))
        at = warning;
    if (at < 0)
        return std::nullopt;
    while (at < line.size() && !line.at(at).isDigit())
        ++at;
    int end = at;
    // Five digits at most: a message number is a 16-bit value.
    while (end < line.size() && line.at(end).isDigit() && end - at < 5)
        ++end;
    if (end == at)
        return std::nullopt;
    return line.mid(at, end - at).toInt();
}

QString WordAtCaret(const QString &line, int caretColumn)
{
    // The caret stands before character index caretColumn - 1.
    const int caret = std::clamp(caretColumn - 1, 0, int(line.size()));
    int start = caret;
    while (start > 0 && IsWordChar(line.at(start - 1)))
        --start;
    if (start > 0 && line.at(start - 1) == '#')
        --start;
    int end = caret;
    while (end < line.size() && IsWordChar(line.at(end)))
        ++end;
    QString word = line.mid(start, end - start);
    if (word.left(4).compare(QLatin1String("#USE"), Qt::CaseInsensitive) == 0) {
        int next = end;
        while (next < line.size() && IsBlank(line.at(next)))
            ++next;
        int nextEnd = next;
        while (nextEnd < line.size() && IsWordChar(line.at(nextEnd)))
            ++nextEnd;
        word = line.mid(start, nextEnd - start);
    }
    return word;
}

QString KeywordTopic(const QString &word)
{
    QString topic = word;
    if (topic.startsWith('#'))
        topic[0] = '_';
    if (topic.left(4).compare(QLatin1String("_USE"), Qt::CaseInsensitive) == 0) {
        int rest = 4;
        while (rest < topic.size() && IsBlank(topic.at(rest)))
            ++rest;
        topic = QStringLiteral("_USE_") + topic.mid(rest);
    }
    return topic;
}

QString HelpBaseForEdition(const QString &displayName)
{
    return displayName.contains(QLatin1String("cenix")) ? QStringLiteral("maz")
                                                         : QStringLiteral("vync");
}

THelpLookup::THelpLookup(QString compilerDir)
    : m_compilerDir(std::move(compilerDir))
{
}

THelpLookup::TFile THelpLookup::HelpFileFor(const QString &baseName) const
{
    const QString folder = m_compilerDir + baseName + QStringLiteral(".help/");
    if (QFileInfo(folder).isDir())
        return {folder, true};
    return {m_compilerDir + baseName + QStringLiteral(".hlp"), false};
}

void THelpLookup::SelectHelpFile(const QString &baseName)
{
    const TFile file = HelpFileFor(baseName);
    m_helpFile = file.path;
    m_html = file.html;
}

void THelpLookup::SelectHelpFileForEdition(const QString &displayName)
{
    SelectHelpFile(HelpBaseForEdition(displayName));
}

void THelpLookup::NoViewer(const TFile &file)
{
    if (QFileInfo(file.path).isFile()) {
        ShowInformation(QStringLiteral("The help file ") + file.path
                        + QStringLiteral(" is an old-style help file, which has no viewer here."));
    } else {
        const QString folder = file.path.chopped(4) + QStringLiteral(".help/");
        ShowInformation(QStringLiteral("No help is installed: neither the help folder ") + folder
                        + QStringLiteral(" nor the help file ") + file.path
                        + QStringLiteral(" exists."));
    }
}

void THelpLookup::Show(const TFile &file, const THelpPage &page, const QString &topic)
{
    if (file.path.isEmpty())
        return;
    if (!file.html) {
        NoViewer(file);
        return;
    }
    if (m_viewer)
        m_viewer->ShowPage(file.path, page, topic);
}

void THelpLookup::ShowHelpTopic(const QString &topic)
{
    Show({m_helpFile, m_html}, {topic + QStringLiteral(".htm"), {}}, topic);
}

void THelpLookup::ShowHelpTopicOf(const QString &baseName, const QString &topic)
{
    Show(HelpFileFor(baseName), {topic + QStringLiteral(".htm"), {}}, topic);
}

void THelpLookup::ShowMessageHelp(int context)
{
    Show({m_helpFile, m_html}, MessageHelpPage(context), QString::number(context % 1000));
}

void THelpLookup::ShowHelpContents()
{
    if (m_helpFile.isEmpty())
        return;
    if (!m_html)
        NoViewer({m_helpFile, m_html});
    else if (m_viewer)
        m_viewer->ShowContents(m_helpFile);
}

void THelpLookup::ShowHelpIndex()
{
    if (m_helpFile.isEmpty())
        return;
    if (!m_html)
        NoViewer({m_helpFile, m_html});
    else if (m_viewer)
        m_viewer->ShowIndex(m_helpFile);
}

void THelpLookup::KeywordHelp(const TKeywordContext &context)
{
    if (!context.editorPage) {
        ShowHelpIndex();
        return;
    }
    if (context.compileErrorShown) {
        // An error without a message number (an edition that is not installed) has no anchor:
        // the error page opens at its top.
        if (context.lastMessage < 0)
            Show({m_helpFile, m_html}, {MessageHelpPage(1000).page, {}}, {});
        else
            ShowMessageHelp(context.lastMessage + 1000);
        return;
    }
    const QString word = WordAtCaret(context.caretLine, context.caretColumn);
    const QString topic = KeywordTopic(word);
    if (topic.isEmpty()) {
        ShowHelpIndex();
        return;
    }
    // A word with a page of its own opens that page; otherwise the index entry of that word
    // (what the index would find) leads to the page that describes it.
    const THelpPage page{topic + QStringLiteral(".htm"), {}};
    if (m_html && QFileInfo(HelpPagePath(m_helpFile, page.page)).isFile()) {
        Show({m_helpFile, m_html}, page, topic);
        return;
    }
    if (const std::optional<THelpPage> entry = IndexPageFor(word, topic)) {
        Show({m_helpFile, m_html}, *entry, topic);
        return;
    }
    ShowHelpTopic(topic);
}

std::optional<THelpPage> THelpLookup::IndexPageFor(const QString &word, const QString &topic) const
{
    if (!m_html)
        return std::nullopt;
    THelpSet set;
    set.Load(m_helpFile);
    for (const QString &key : {word.trimmed(), topic}) {
        for (const THelpEntry &entry : set.Index()) {
            if (entry.title.compare(key, Qt::CaseInsensitive) == 0)
                return entry.target;
        }
    }
    return std::nullopt;
}

void THelpLookup::LastError(qint16 lastMessage)
{
    if (lastMessage != -1)
        ShowMessageHelp(lastMessage + 1000);
}

void THelpLookup::Close()
{
    if (m_viewer)
        m_viewer->CloseAll();
    m_viewer = nullptr;
}

}  // namespace kiv
