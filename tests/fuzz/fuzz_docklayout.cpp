// The dock panels' arrangements as the settings file keeps them ("Dock Sites", hexadecimal text
// of the dock manager's bytes): decoding, loading, a layout in a panel, and a save that must
// load back to the same tree. The raw bytes are loaded as an arrangement too.

#include "fuzz_target.h"
#include "uDockTree.h"

#include <cstdlib>

namespace {

std::string Check(const QByteArray &bytes)
{
    kiv::TDockZoneTree tree;
    if (!tree.LoadFromStream(bytes)) {
        if (!tree.IsEmpty())
            std::abort();   // refused bytes must leave no half-loaded tree
        return "refused";
    }
    const QStringList names = tree.Names();
    int visible = 0;
    (void)tree.Layout(QRect(0, 0, 400, 300), [&visible](const QString &) { return (++visible % 3) != 0; }, 4);
    for (const kiv::TZoneSplitter &splitter : tree.Splitters())
        tree.MoveSplitter(splitter, 7, 10);
    for (const QString &name : names)
        (void)tree.Orientation(name);
    const QByteArray saved = tree.SaveToStream();
    kiv::TDockZoneTree again;
    if (!again.LoadFromStream(saved) || again.SaveToStream() != saved || again.Names() != names)
        std::abort();       // what was saved must load back to the same tree
    if (!names.isEmpty())
        tree.Remove(names.front());
    (void)tree.Dump();
    return std::to_string(names.size()) + " zones";
}

}  // namespace

KIV_FUZZ_TARGET(docklayout)
{
    using namespace kiv;
    const QByteArray raw(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QByteArray decoded = DockDataFromHex(QString::fromLatin1(raw));
    const std::string fromText = Check(decoded);
    const std::string fromBytes = Check(raw);
    if (!decoded.isEmpty() && DockDataFromHex(DockDataToHex(decoded)) != decoded)
        std::abort();
    const bool ok = fromText != "refused";
    return fuzz::Outcome(ok, "the arrangement was refused", fromText) + "\n" + "bytes: " + fromBytes;
}
