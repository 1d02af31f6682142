#pragma once

// The COD dump: a COD debug file as a readable text report, directory by directory: header,
// memory map, code table, source file names, symbols, long and local symbols, the debug message
// area and the line table, each line entry with its listing line and source line.
//
// Listing lines are counted from the table's header entry and one per entry, as the format
// intends; gputils leaves that count 0 and writes page headers and messages into its listings,
// so the count is set again at each entry that has code, from the listing line that carries
// that entry's address. Source files are looked for as stored, then beside the COD file, then
// by their bare name in the current folder and beside the COD file.

#include <QIODevice>
#include <QString>

namespace kiv {

/// Writes the report of `codFile` into `outputFile`, taking listing lines from `listingFile`
/// when it can be read. Throws TFileIoError when the COD file cannot be read or the output file
/// cannot be written.
void DumpCodFile(const QString &codFile, const QString &outputFile, const QString &listingFile);

/// The same report written to an open device.
void DumpCodFile(const QString &codFile, QIODevice &output, const QString &listingFile);

}  // namespace kiv
