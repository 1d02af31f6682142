#include "uDockTree.h"

#include <QDataStream>
#include <QIODevice>
#include <QSet>

#include <algorithm>

namespace kiv {

namespace {

constexpr quint32 kMagic = 0x4B445A54;   // "KDZT"
constexpr quint16 kVersion = 1;
// Limits of a loaded arrangement: far beyond any real layout, small enough that corrupt
// bytes cannot make the loader recurse deeply or allocate much.
constexpr int kMaxDepth = 32;
constexpr int kMaxChildren = 64;
constexpr int kMaxNodes = 512;
constexpr int kMaxNameBytes = 512;
constexpr int kMaxSize = 1 << 20;

std::unique_ptr<TDockZone> NewLeaf(const QString &name, int size)
{
    auto zone = std::make_unique<TDockZone>();
    zone->name = name;
    zone->size = size;
    return zone;
}

std::unique_ptr<TDockZone> CloneZone(const TDockZone &zone)
{
    auto copy = std::make_unique<TDockZone>();
    copy->name = zone.name;
    copy->orientation = zone.orientation;
    copy->size = zone.size;
    copy->extent = zone.extent;
    for (const auto &child : zone.children)
        copy->children.push_back(CloneZone(*child));
    return copy;
}

// The slot that owns the leaf `name`, and the split zone that holds that slot (null at the root).
struct TSlot {
    std::unique_ptr<TDockZone> *slot = nullptr;
    TDockZone *parent = nullptr;
    int index = 0;
};

bool FindSlot(std::unique_ptr<TDockZone> &zone, TDockZone *parent, int index, const QString &name,
              TSlot &out)
{
    if (zone->IsLeaf()) {
        if (zone->name == name) {
            out = {&zone, parent, index};
            return true;
        }
        return false;
    }
    for (int i = 0; i < int(zone->children.size()); ++i) {
        if (FindSlot(zone->children[i], zone.get(), i, name, out))
            return true;
    }
    return false;
}

void CollectNames(const TDockZone &zone, QStringList &names)
{
    if (zone.IsLeaf()) {
        names << zone.name;
        return;
    }
    for (const auto &child : zone.children)
        CollectNames(*child, names);
}

bool HasVisible(const TDockZone &zone, const std::function<bool(const QString &)> &visible)
{
    if (zone.IsLeaf())
        return visible(zone.name);
    return std::any_of(zone.children.begin(), zone.children.end(),
                       [&](const auto &child) { return HasVisible(*child, visible); });
}

void DumpZone(const TDockZone &zone, QString &out)
{
    if (zone.IsLeaf()) {
        out += zone.name;
    } else {
        out += zone.orientation == doHorizontal ? QLatin1String("H(") : QLatin1String("V(");
        for (size_t i = 0; i < zone.children.size(); ++i) {
            if (i)
                out += QLatin1Char(',');
            DumpZone(*zone.children[i], out);
        }
        out += QLatin1Char(')');
    }
    out += QLatin1Char(':') + QString::number(zone.size);
}

void WriteZone(QDataStream &s, const TDockZone &zone)
{
    s << quint8(zone.IsLeaf() ? 0 : 1) << quint8(zone.orientation) << qint32(zone.size);
    if (zone.IsLeaf()) {
        const QByteArray name = zone.name.toUtf8();
        s << quint16(name.size());
        s.writeRawData(name.constData(), int(name.size()));
        return;
    }
    s << quint16(zone.children.size());
    for (const auto &child : zone.children)
        WriteZone(s, *child);
}

struct TReader {
    QDataStream &s;
    int nodes = 0;
    QSet<QString> names;

    std::unique_ptr<TDockZone> Read(int depth)
    {
        if (depth > kMaxDepth || ++nodes > kMaxNodes)
            return nullptr;
        quint8 kind = 0, orientation = 0;
        qint32 size = 0;
        s >> kind >> orientation >> size;
        if (s.status() != QDataStream::Ok || size < 0 || size > kMaxSize)
            return nullptr;
        auto zone = std::make_unique<TDockZone>();
        zone->size = size;
        if (kind == 0) {
            quint16 length = 0;
            s >> length;
            if (s.status() != QDataStream::Ok || orientation != doNoOrient || length == 0
                || length > kMaxNameBytes)
                return nullptr;
            QByteArray bytes(length, Qt::Uninitialized);
            if (s.readRawData(bytes.data(), length) != length)
                return nullptr;
            zone->name = QString::fromUtf8(bytes);
            if (zone->name.isEmpty() || names.contains(zone->name))
                return nullptr;
            names.insert(zone->name);
            return zone;
        }
        if (kind != 1 || (orientation != doHorizontal && orientation != doVertical))
            return nullptr;
        zone->orientation = TDockOrientation(orientation);
        quint16 count = 0;
        s >> count;
        if (s.status() != QDataStream::Ok || count < 2 || count > kMaxChildren)
            return nullptr;
        for (int i = 0; i < count; ++i) {
            auto child = Read(depth + 1);
            if (!child)
                return nullptr;
            zone->children.push_back(std::move(child));
        }
        return zone;
    }
};

}  // namespace

TDockZoneTree::TDockZoneTree() = default;
TDockZoneTree::~TDockZoneTree() = default;

TDockZoneTree::TDockZoneTree(const TDockZoneTree &other)
{
    *this = other;
}

TDockZoneTree &TDockZoneTree::operator=(const TDockZoneTree &other)
{
    if (this != &other) {
        m_root = other.m_root ? CloneZone(*other.m_root) : nullptr;
        m_splitters = other.m_splitters;
    }
    return *this;
}

bool TDockZoneTree::Contains(const QString &name) const
{
    return Names().contains(name);
}

QStringList TDockZoneTree::Names() const
{
    QStringList names;
    if (m_root)
        CollectNames(*m_root, names);
    return names;
}

void TDockZoneTree::Clear()
{
    m_root.reset();
    m_splitters.clear();
}

void TDockZoneTree::Insert(const QString &name, TAlign side, const QString &target, TAlign defaultSide)
{
    if (name.isEmpty())
        return;
    Remove(name);
    if (side == alNone || side == alClient)
        side = defaultSide;
    if (side == alNone || side == alClient)
        side = alBottom;
    if (!m_root) {
        m_root = NewLeaf(name, 0);
        return;
    }
    const TDockOrientation orientation = (side == alTop || side == alBottom) ? doHorizontal : doVertical;
    const bool before = side == alTop || side == alLeft;

    TSlot slot;
    if (target.isEmpty() || target == name || !FindSlot(m_root, nullptr, 0, target, slot))
        slot = {&m_root, nullptr, 0};
    TDockZone *zone = slot.slot->get();

    if (slot.parent && slot.parent->orientation == orientation) {
        // A neighbour along the same split: share the target's space with it.
        const int half = zone->size / 2;
        zone->size -= half;
        auto leaf = NewLeaf(name, half);
        auto &siblings = slot.parent->children;
        siblings.insert(siblings.begin() + slot.index + (before ? 0 : 1), std::move(leaf));
        return;
    }
    if (!zone->IsLeaf() && zone->orientation == orientation) {
        // Docking at an end of a split that already runs this way adds one more child.
        int sum = 0;
        for (const auto &child : zone->children)
            sum += child->size;
        auto leaf = NewLeaf(name, sum / int(zone->children.size()));
        auto &children = zone->children;
        children.insert(before ? children.begin() : children.end(), std::move(leaf));
        return;
    }
    // Split the target zone in two.
    auto split = std::make_unique<TDockZone>();
    split->orientation = orientation;
    split->size = zone->size;
    std::unique_ptr<TDockZone> old = std::move(*slot.slot);
    const int half = old->size / 2;
    old->size -= half;
    auto leaf = NewLeaf(name, half);
    if (before) {
        split->children.push_back(std::move(leaf));
        split->children.push_back(std::move(old));
    } else {
        split->children.push_back(std::move(old));
        split->children.push_back(std::move(leaf));
    }
    *slot.slot = std::move(split);
}

bool TDockZoneTree::Remove(const QString &name)
{
    if (!m_root)
        return false;
    TSlot slot;
    if (!FindSlot(m_root, nullptr, 0, name, slot))
        return false;
    m_splitters.clear();
    if (!slot.parent) {
        m_root.reset();
        return true;
    }
    TDockZone *parent = slot.parent;
    const int freed = parent->children[slot.index]->size;
    parent->children.erase(parent->children.begin() + slot.index);
    // The neighbour that stays takes the space that was freed.
    if (!parent->children.empty()) {
        const int heir = std::min(slot.index, int(parent->children.size()) - 1);
        parent->children[heir]->size += freed;
    }
    if (parent->children.size() == 1) {
        // Replace the split by its only child, which takes the split's place and size.
        std::unique_ptr<TDockZone> only = std::move(parent->children.front());
        only->size = parent->size;
        if (parent == m_root.get()) {
            m_root = std::move(only);
        } else {
            std::function<bool(std::unique_ptr<TDockZone> &)> replace = [&](std::unique_ptr<TDockZone> &z) {
                for (auto &child : z->children) {
                    if (child.get() == parent) {
                        // Merge a same-way split into its parent instead of nesting it.
                        if (!only->IsLeaf() && only->orientation == z->orientation) {
                            auto pos = std::find(z->children.begin(), z->children.end(), child);
                            auto grandChildren = std::move(only->children);
                            const auto at = z->children.erase(pos);
                            z->children.insert(at, std::make_move_iterator(grandChildren.begin()),
                                               std::make_move_iterator(grandChildren.end()));
                        } else {
                            child = std::move(only);
                        }
                        return true;
                    }
                    if (!child->IsLeaf() && replace(child))
                        return true;
                }
                return false;
            };
            replace(m_root);
        }
    }
    return true;
}

bool TDockZoneTree::Rename(const QString &from, const QString &to)
{
    if (!m_root || to.isEmpty() || Contains(to))
        return false;
    TSlot slot;
    if (!FindSlot(m_root, nullptr, 0, from, slot))
        return false;
    (*slot.slot)->name = to;
    return true;
}

TDockOrientation TDockZoneTree::Orientation(const QString &name) const
{
    if (!m_root)
        return doNoOrient;
    TSlot slot;
    auto &root = const_cast<std::unique_ptr<TDockZone> &>(m_root);
    if (!FindSlot(root, nullptr, 0, name, slot) || !slot.parent)
        return doNoOrient;
    return slot.parent->orientation;
}

std::vector<TZoneRect> TDockZoneTree::Layout(const QRect &area,
                                             const std::function<bool(const QString &)> &visible,
                                             int gap)
{
    std::vector<TZoneRect> out;
    m_splitters.clear();
    if (!m_root || !HasVisible(*m_root, visible))
        return out;
    std::vector<int> path;
    std::function<void(TDockZone &, const QRect &)> place = [&](TDockZone &zone, const QRect &rect) {
        if (zone.IsLeaf()) {
            out.push_back({zone.name, rect});
            return;
        }
        std::vector<int> shown;
        for (int i = 0; i < int(zone.children.size()); ++i) {
            if (HasVisible(*zone.children[i], visible))
                shown.push_back(i);
        }
        const bool stacked = zone.orientation == doHorizontal;
        const int n = int(shown.size());
        const int extent = stacked ? rect.height() : rect.width();
        const int total = std::max(0, extent - gap * (n - 1));
        // Zones that were never laid out count as an average one.
        qint64 known = 0;
        int knownCount = 0;
        for (int i : shown) {
            if (zone.children[i]->size > 0) {
                known += zone.children[i]->size;
                ++knownCount;
            }
        }
        const qint64 average = knownCount ? known / knownCount : 1;
        std::vector<qint64> weight;
        qint64 sum = 0;
        for (int i : shown) {
            const qint64 w = zone.children[i]->size > 0 ? zone.children[i]->size : std::max<qint64>(average, 1);
            weight.push_back(w);
            sum += w;
        }
        int pos = stacked ? rect.top() : rect.left();
        int used = 0;
        for (int k = 0; k < n; ++k) {
            const int length = k == n - 1 ? total - used : int(total * weight[k] / sum);
            used += length;
            TDockZone &child = *zone.children[shown[k]];
            child.extent = length;
            const QRect childRect = stacked ? QRect(rect.left(), pos, rect.width(), length)
                                            : QRect(pos, rect.top(), length, rect.height());
            path.push_back(shown[k]);
            place(child, childRect);
            path.pop_back();
            pos += length;
            if (k < n - 1) {
                TZoneSplitter splitter;
                splitter.parentPath = path;
                splitter.index = shown[k];
                splitter.next = shown[k + 1];
                splitter.orientation = zone.orientation;
                splitter.rect = stacked ? QRect(rect.left(), pos, rect.width(), gap)
                                        : QRect(pos, rect.top(), gap, rect.height());
                m_splitters.push_back(splitter);
                pos += gap;
            }
        }
    };
    std::function<void(TDockZone &)> clear = [&](TDockZone &zone) {
        zone.extent = 0;
        for (auto &child : zone.children)
            clear(*child);
    };
    clear(*m_root);
    place(*m_root, area);
    return out;
}

void TDockZoneTree::MoveSplitter(const TZoneSplitter &splitter, int delta, int minSize)
{
    TDockZone *zone = m_root.get();
    for (int i : splitter.parentPath) {
        if (!zone || i < 0 || i >= int(zone->children.size()))
            return;
        zone = zone->children[i].get();
    }
    const int count = int(zone ? zone->children.size() : 0);
    if (!zone || zone->IsLeaf() || splitter.index < 0 || splitter.next <= splitter.index
        || splitter.next >= count)
        return;
    // Sizes become pixels, so the mouse moves the gap one pixel per pixel.
    for (auto &child : zone->children) {
        if (child->extent > 0)
            child->size = child->extent;
    }
    TDockZone &a = *zone->children[splitter.index];
    TDockZone &b = *zone->children[splitter.next];
    const int total = a.size + b.size;
    if (total < 2 * minSize)
        return;
    const int newA = std::clamp(a.size + delta, minSize, total - minSize);
    a.size = newA;
    b.size = total - newA;
}

QByteArray TDockZoneTree::SaveToStream() const
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    s << kMagic << kVersion << quint8(m_root ? 1 : 0);
    if (m_root)
        WriteZone(s, *m_root);
    return bytes;
}

bool TDockZoneTree::LoadFromStream(const QByteArray &bytes)
{
    Clear();
    if (bytes.isEmpty())
        return true;
    QDataStream s(bytes);
    s.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    quint8 hasRoot = 0;
    s >> magic >> version >> hasRoot;
    if (s.status() != QDataStream::Ok || magic != kMagic || version != kVersion || hasRoot > 1)
        return false;
    std::unique_ptr<TDockZone> root;
    if (hasRoot) {
        TReader reader{s, 0, {}};
        root = reader.Read(0);
        if (!root)
            return false;
    }
    if (!s.atEnd())
        return false;
    m_root = std::move(root);
    return true;
}

QString TDockZoneTree::Dump() const
{
    QString out;
    if (m_root)
        DumpZone(*m_root, out);
    return out;
}

bool TDockZoneTree::operator==(const TDockZoneTree &other) const
{
    return Dump() == other.Dump();
}

QString DockDataToHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray DockDataFromHex(const QString &text)
{
    if (text.size() % 2 != 0)
        return {};
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
        if (!hex)
            return {};
    }
    return QByteArray::fromHex(text.toLatin1());
}

}  // namespace kiv
