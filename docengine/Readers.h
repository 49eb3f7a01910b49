// Readers of the word-processor formats other than plain text: each turns a file's bytes into
// the main story (paragraphs ending with U+000D, tabs, line, page and column breaks).
#pragma once

#include "base/Error.h"

#include <string>
#include <string_view>

namespace vexlo::doc {

/// A document whose content cannot be read or written faithfully (kind DocumentFormat, no
/// path: the caller names the file); `what()` says why.
class FormatError : public Error {
  public:
    explicit FormatError(const std::string &message) : Error(ErrorKind::DocumentFormat, {}, message) {}
};

/// The main story of an Office Open XML document (.docx): the body's paragraphs and tables
/// (each cell ending with a cell mark, each row with a row-end mark), tracked insertions and
/// field results in, tracked deletions, moved-from text, field codes, drawings and text boxes
/// out. Throws FormatError (also when a limit of the package or the XML is passed).
std::u32string ReadDocx(std::string_view bytes);

/// The main story of an OpenDocument text (.odt). Throws FormatError.
std::u32string ReadOdt(std::string_view bytes);

struct Document;
/// The .docx or .odt document in a zip package (told apart by the package's members), with
/// what it takes to save it in its own format. Throws FormatError for any other archive and
/// for a document that cannot be read faithfully.
Document OpenZipDocument(std::string bytes);

/// The text of an RTF document; skipped destinations (font tables, pictures, field
/// instructions, "\*" groups) leave nothing. Throws FormatError when it is not RTF.
std::u32string ReadRtf(std::string_view bytes);

/// The main text of a legacy binary Word document (.doc, Word 97 and later): read from the
/// piece table; field codes, pictures and note marks are left out. Throws FormatError (also
/// for an encrypted document).
std::u32string ReadLegacyDoc(std::string_view bytes);

} // namespace vexlo::doc
