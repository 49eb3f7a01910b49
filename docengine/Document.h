// The document the built-in word processor works on: one main story of characters with
// paragraph marks, opened from a file and saved back as plain text.
#pragma once

#include "base/Error.h"
#include "docengine/TextCodec.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {
class FileReplacement;
}

namespace vexlo::doc {

// Characters of the main story that stand for structure.
inline constexpr char32_t kParagraphMark = U'\r';       // ^p
inline constexpr char32_t kLineBreak = U'\v';           // ^l
inline constexpr char32_t kPageBreak = U'\f';           // ^m
inline constexpr char32_t kColumnBreak = U'\x0E';       // ^n
inline constexpr char32_t kNonbreakingHyphen = U'\x1E'; // ^~
inline constexpr char32_t kOptionalHyphen = U'\x1F';    // ^-
// Tables as the word processor's model has them: the last paragraph of a cell ends with a
// cell mark instead of a paragraph mark, and each row ends with one more mark, the row-end
// mark, which is the same character: a row of the cells "a" and "b" reads "a\ab\a\a".
// No match may cross either mark.
inline constexpr char32_t kCellMark = U'\a';
inline constexpr char32_t kRowMark = U'\a';

enum class SourceFormat { PlainText, Docx, Odt, Rtf, LegacyDoc };

/// One replacement a replace-all made: the characters [start, end) of the story as it was
/// read became `text` (final characters: case adjusted, groups and caret codes resolved;
/// structure such as paragraph marks and tabs as the story's own characters above).
struct StoryEdit {
    std::size_t start = 0, end = 0;
    std::u32string text;
};

/// What a reader keeps of a document's own format, so that the document can be saved in that
/// format again with the replacements made inside it and everything else as it was.
class FormatKeeper {
  public:
    virtual ~FormatKeeper() = default;
    /// The file's bytes with `edits` made; `story` is the story as read, the edits are
    /// ascending and do not overlap. Throws FormatError when they cannot be made faithfully.
    virtual std::string save(std::u32string_view story, const std::vector<StoryEdit> &edits) const = 0;
};

struct Document {
    /// The main story; it always ends with the final paragraph mark, which no replacement
    /// can remove.
    std::u32string text = std::u32string(1, kParagraphMark);
    SourceFormat format = SourceFormat::PlainText;
    /// The encoding a plain-text document was read in and is written back in.
    TextEncoding encoding = TextEncoding::Windows1252;

    /// Set by the readers of formats that can be saved in their own format again; the story
    /// as read and the replacements made since (in its coordinates) are kept beside it.
    std::shared_ptr<const FormatKeeper> keeper;
    std::u32string storyAsRead;
    std::vector<StoryEdit> edits;
    /// How many replace-alls changed the document; edits are kept for the first one only.
    int changedByReplaceAll = 0;

    /// The part a find runs over: everything before the final paragraph mark.
    std::u32string_view body() const { return std::u32string_view(text).substr(0, text.size() - 1); }
};

/// Builds a document from the bytes of a plain-text file: CR LF, CR and LF end a paragraph,
/// VT is a manual line break, FF a page break; a line end at the very end of the file is the
/// final paragraph mark. Never fails.
Document OpenPlainText(std::string_view bytes);

/// Builds a document from paragraphs' text in which U+000D separates paragraphs (the form the
/// other readers produce); the text is written as UTF-8.
Document DocumentFromStory(std::u32string story, SourceFormat format);
/// The same for a reader that can save the document in its own format again: the story as
/// read is kept beside the keeper.
Document DocumentFromStory(std::u32string story, SourceFormat format,
                           std::shared_ptr<const FormatKeeper> keeper);

/// The plain-text form of a document: every paragraph mark, line, page and column break ends
/// with CR LF (the final mark included, except in an empty document), optional hyphens are
/// dropped and nonbreaking hyphens become "-", a table cell's end becomes a tab and a row's
/// end CR LF, in the document's encoding. Never fails.
std::string SavePlainText(const Document &document);
/// The same handed to `sink` in pieces of about a megabyte, so that a large document is not
/// held again whole as bytes. Fails only as `sink` does.
void WritePlainText(const Document &document, const std::function<void(std::string_view)> &sink);

/// The bytes of `document` in its own format, with the replacements made inside it.
/// Throws FormatError when the document's format cannot be written (plain text, legacy
/// .doc) or its replacements cannot be made faithfully.
std::string SaveInOwnFormat(const Document &document);

/// The largest files the office engine opens. A document is held as characters of four bytes:
/// with the case-folded copy a search makes and the new text a replace-all builds, that is 16
/// to 20 times the size of a file read as characters (plain text, .rtf, .doc), so 24 MB keeps
/// such a file under 512 MB. A zip package (.docx, .odt) is mostly compressed parts and
/// pictures; its text is bounded by the readers' own caps.
inline constexpr std::size_t kMaxTextDocumentBytes = std::size_t(24) << 20;
inline constexpr std::size_t kMaxPackageBytes = std::size_t(128) << 20;

/// The cap for a file whose content begins with `head` (its first bytes). Never fails.
std::size_t DocumentCap(std::string_view head);
/// The error for a file over `cap`, naming the file and the cap. Never fails.
Error OverDocumentCap(const std::string &path, std::size_t cap);

/// Whether `bytes` are binary to this engine: they hold a NUL byte and are not a document it
/// reads for what it is (.docx, .odt, .doc, text with a UTF-16 byte-order mark). Never fails.
bool HoldsBinaryContent(std::string_view bytes);

/// The whole content of a file opened through the write unit, for opening it as a document.
/// Throws Error{Io} naming the path and the cap for a file over its DocumentCap, or when it
/// cannot be read.
std::string ReadForOpening(FileReplacement &file);

/// Opens the content of a file (`path` names it in messages) in the format it shows.
/// Throws Error{Io} when its format cannot be read.
Document OpenDocumentContent(std::string bytes, const std::string &path);

/// Reads the file at `path` (through the write unit, only reading) and opens it in the
/// format its content shows. Throws Error{Io} when the file cannot be read, is over its
/// DocumentCap or its format cannot be read.
Document OpenDocumentFile(const std::string &path);

/// Writes the plain-text form of `document` to `path` through the safe rewrite.
/// Throws Error{Io} naming `path` when it cannot be written.
void SaveDocumentAsText(const Document &document, const std::string &path);

} // namespace vexlo::doc
