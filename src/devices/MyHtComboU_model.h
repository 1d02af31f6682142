#pragma once

// How the device box draws a device name: character by character, the family of the part in
// its colour and the digits of the part number in bold black (PIC16F877: "PIC16F" green,
// "877" bold black).

#include <QList>
#include <QString>

#include <cstdint>

namespace kiv {

/// Colours as 0xRRGGBB.
using TRgb = uint32_t;

/// The background of the selected item in the device box: cream.
constexpr TRgb kHtComboCream = 0xFFFBF0;

/// How one character of an item is drawn.
struct TlineAttrib {
    QString fontName;
    TRgb textColor = 0;
    int fontSize = 0;
    TRgb background = 0xFFFFFF;
    TRgb selectedBackground = kHtComboCream;
    TRgb selectedTextColor = 0;
    bool bold = false;
    bool operator==(const TlineAttrib &other) const = default;
};

/// The family of an item from its upper-cased text: "PIC12" 0, else "PIC14" 1, else "PIC16" 2,
/// else "PIC18" 3, else 4.
int HtComboFamily(const QString &text);
/// Family colours: 0 magenta, 1 grey, 2 green, 3 blue, 4 black.
TRgb HtComboFamilyColor(int family);
/// The attributes of every character of `text`.
QList<TlineAttrib> HtComboAttributes(const QString &text, const QString &fontName, int fontSize, TRgb highlight);

}  // namespace kiv
