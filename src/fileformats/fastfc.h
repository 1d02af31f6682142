#pragma once

// File compare: the line differences of two texts with the O((N+M)·D) difference algorithm of
// E. W. Myers in linear space (middle snakes, divide and conquer) on integer line keys, the
// merged listing the IDE shows, and the normal output form of diff. Plain C++ on bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

/// One edit of an edit script; positions are 1-based. A deletion removes line `i` of the first
/// sequence; an insertion puts line `j` of the second sequence after line `p` of the first.
struct TEdit {
    enum Kind { Delete, Insert } kind;
    int i = 0;  ///< Delete: the first sequence's line
    int j = 0;  ///< Insert: the second sequence's line
    int p = 0;  ///< Insert: the first sequence's line it follows (0: before the first)
};

/// A run of the common subsequence: x … x + length − 1 of the first sequence equal y … y +
/// length − 1 of the second (1-based).
struct TLcsRun {
    int x = 0;
    int y = 0;
    int length = 0;
};

/// The difference of two integer sequences (`CIntArrayDiff`): a longest common subsequence and
/// the shortest edit script, computed on first request and kept. Memory is linear in N + M.
class CIntArrayDiff {
public:
    CIntArrayDiff(std::vector<int> a, std::vector<int> b);
    /// The common subsequence as runs, in increasing order.
    const std::vector<TLcsRun> &GetLcs();
    /// Deletions and insertions in order; the deletions of a gap come before its insertions.
    const std::vector<TEdit> &GetEditScript();
    /// Per line: true where the first sequence's line is deleted / the second's inserted.
    const std::vector<bool> &Deleted();
    const std::vector<bool> &Inserted();

private:
    void Compute();
    void CompareSeq(int xoff, int xlim, int yoff, int ylim);
    void FindMiddle(int xoff, int xlim, int yoff, int ylim, int *xmid, int *ymid);

    std::vector<int> m_a, m_b;
    std::vector<bool> m_deleted, m_inserted;
    bool m_computed = false;
    // The reduced sequences given to the search (lines that occur in the other sequence) and
    // their positions in the full ones.
    std::vector<int> m_ra, m_rb, m_mapA, m_mapB;
    std::vector<bool> m_rdel, m_rins;
    std::vector<int> m_fd, m_bd;
    int m_offset = 0;
    std::vector<TLcsRun> m_lcs;
    std::vector<TEdit> m_script;
    bool m_haveLcs = false, m_haveScript = false;
};

/// The lines of a text: split at LF; a CR before the LF belongs to the line break, so CR LF
/// and LF texts have the same lines. A last line without a line break is a line.
struct TTextLines {
    std::string text;                     ///< the bytes as read
    std::vector<std::string_view> lines;  ///< without their line breaks
    bool finalBreak = true;               ///< false when the last line has no line break

    void Split();
};

/// Options of the IDE's comparison (the compare dialog's check boxes).
struct TCompareOptions {
    bool ignoreCase = false;
    bool ignoreRom = false;
    bool ignoreRam = false;
    bool ignoreMovlb = false;
};

/// Listing types found from the first lines: 0 none, 2 our compiler's, 3 MPASM, 4 other PIC.
int DetectListingType(std::string_view first1, std::string_view first2);

/// A line as compared: upper case with ignore case, without addresses, instruction words or
/// register operands for a listing of type `listingType` with ignore ROM / RAM.
std::string NormaliseLine(std::string_view line, const TCompareOptions &options, int listingType);

/// Integer keys of the lines of two files: equal exactly when the (normalised) lines are equal.
void LineKeys(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b,
              std::vector<int> *keysA, std::vector<int> *keysB);

/// `CFileCompare`: compares two files and writes the merged listing.
class CFileCompare {
public:
    /// Runs the comparison and writes the result file. On failure `*error` holds the message
    /// the IDE shows; what was written to the result file before stays there.
    bool Run(const std::string &file1, const std::string &file2, const std::string &resultFile,
             const TCompareOptions &options, std::string *error);

    /// The merged listing of two line lists ("Comparing" line, then "  ", "D <! ", "I !> "
    /// lines, CR LF line ends), the lines as given and the keys as compared.
    static std::string MergedListing(const std::string &title, const std::vector<std::string_view> &a,
                                     const std::vector<std::string_view> &b, const std::vector<TEdit> &script);

    int Deleted() const { return m_deleted; }
    int Inserted() const { return m_inserted; }

private:
    int m_deleted = 0;
    int m_inserted = 0;
};

/// The differences of two texts in the normal output form of diff ("12,15c12,14", "< " and
/// "> " lines, "---", "\ No newline at end of file"). Empty when the lines are equal.
std::string NormalDiff(const TTextLines &a, const TTextLines &b, const std::vector<int> &keysA,
                       const std::vector<int> &keysB, int *deleted = nullptr, int *inserted = nullptr);

/// Reads a whole file; false with `*error` naming the file.
bool ReadFileBytes(const std::string &path, std::string *data, std::string *error);

}  // namespace kiv
