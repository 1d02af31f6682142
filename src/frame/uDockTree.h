#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace kiv {

/// Where a control docks relative to a site or to another docked control. The values are
/// the ones the layout keys and the drop zones use.
enum TAlign { alNone = 0, alTop = 1, alBottom = 2, alLeft = 3, alRight = 4, alClient = 5 };

/// How a zone's children are split: doHorizontal stacks them top to bottom (split by
/// horizontal lines), doVertical puts them side by side.
enum TDockOrientation { doNoOrient = 0, doHorizontal = 1, doVertical = 2 };

/// One zone of the arrangement: a leaf holds one docked control (by name), a split zone
/// holds two or more child zones along its orientation.
struct TDockZone {
    QString name;                                   /// leaf: the docked control's name
    TDockOrientation orientation = doNoOrient;      /// split: how the children are placed
    int size = 0;                                   /// share of the parent's split (0: an average one)
    int extent = 0;                                 /// pixels along the parent's split at the last layout
    std::vector<std::unique_ptr<TDockZone>> children;

    bool IsLeaf() const { return children.empty(); }
};

/// A zone's place after layout: the whole zone, including its grabber.
struct TZoneRect {
    QString name;
    QRect rect;
};

/// The gap between two neighbouring zones that the user drags to share space between them.
/// `parentPath` lists child indexes from the root to the split zone; `index` is the child
/// before the gap and `next` the one after it (zones of hidden controls may lie between).
struct TZoneSplitter {
    std::vector<int> parentPath;
    int index = 0;
    int next = 0;
    TDockOrientation orientation = doNoOrient;
    QRect rect;
};

/// The arrangement of the controls docked in one dock site, without any window: a tree of
/// zones that grows when controls dock beside others, shrinks when they leave, lays itself
/// out in a rectangle and saves and loads itself as bytes.
class TDockZoneTree {
public:
    TDockZoneTree();
    ~TDockZoneTree();
    TDockZoneTree(const TDockZoneTree &other);
    TDockZoneTree &operator=(const TDockZoneTree &other);

    bool IsEmpty() const { return !m_root; }
    const TDockZone *Root() const { return m_root.get(); }
    bool Contains(const QString &name) const;
    /// The leaf names in tree order (top/left first).
    QStringList Names() const;
    void Clear();

    /// Docks `name` on side `side` of the zone of `target` (the whole tree when `target` is
    /// empty or not in the tree). alNone and alClient use `defaultSide`. A name already in
    /// the tree is moved.
    void Insert(const QString &name, TAlign side, const QString &target = {},
                TAlign defaultSide = alBottom);
    /// Removes the zone of `name`; a split zone left with one child is replaced by that child.
    bool Remove(const QString &name);
    /// Renames a leaf; false when `from` is absent or `to` is already used.
    bool Rename(const QString &from, const QString &to);

    /// The orientation of the split that holds `name` (doNoOrient for a lone or absent name).
    TDockOrientation Orientation(const QString &name) const;

    /// Places the zones whose controls are visible in `area`, with `gap` pixels between
    /// neighbours, sharing each split by the children's sizes. Zones of hidden controls take no
    /// space. The sizes themselves do not change, so proportions survive a collapsed panel.
    std::vector<TZoneRect> Layout(const QRect &area, const std::function<bool(const QString &)> &visible,
                                  int gap);
    /// The gaps of the last layout that can be dragged.
    const std::vector<TZoneSplitter> &Splitters() const { return m_splitters; }
    /// Moves the gap `splitter` of the last layout by `delta` pixels, keeping each neighbour at
    /// least `minSize`; the split's sizes become the pixels of that layout.
    void MoveSplitter(const TZoneSplitter &splitter, int delta, int minSize);

    /// The arrangement as bytes; an empty tree gives a short valid stream.
    QByteArray SaveToStream() const;
    /// Loads an arrangement written by SaveToStream. Empty bytes give an empty tree. Bytes that
    /// are not a valid arrangement leave the tree empty and return false.
    bool LoadFromStream(const QByteArray &bytes);

    /// A readable form of the tree, for example "V(a:100,H(b:40,c:60):100)".
    QString Dump() const;
    bool operator==(const TDockZoneTree &other) const;
    bool operator!=(const TDockZoneTree &other) const { return !(*this == other); }

private:
    std::unique_ptr<TDockZone> m_root;
    std::vector<TZoneSplitter> m_splitters;
};

/// The arrangement bytes of a dock site as settings text: two upper-case hexadecimal digits
/// per byte, no separators.
QString DockDataToHex(const QByteArray &bytes);
/// The reverse of DockDataToHex; an odd length or any pair that is not hexadecimal gives
/// empty bytes.
QByteArray DockDataFromHex(const QString &text);

}  // namespace kiv
