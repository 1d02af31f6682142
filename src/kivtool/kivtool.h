#pragma once

#include <QStringList>
#include <QTextStream>

namespace kiv::tool {

/// Standard output and error of the tool.
QTextStream &Out();
QTextStream &Err();

}  // namespace kiv::tool
