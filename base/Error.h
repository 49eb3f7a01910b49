// One error type for the whole core: what went wrong, where, and why.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vexlo {

enum class ErrorKind {
    Conversion,          // a text that should hold a decimal integer does not
    Io,                  // a file or directory could not be read or written
    SettingsWrite,       // "Unable to write to %s"
    MissingSettingsFile, // "vexlopro.ini" is not in the program folder
    Usage,               // bad arguments (command line)
    Automation,          // a call of the word processor's automation interface failed
    FindText,            // the document engine refuses a find or replace text
    DocumentFormat,      // the document engine cannot read or write a document faithfully
};

class Error : public std::runtime_error {
  public:
    Error(ErrorKind kind, std::string path, const std::string &message)
        : std::runtime_error(message), m_kind(kind), m_path(std::move(path))
    {
    }

    ErrorKind kind() const noexcept { return m_kind; }
    /// The file the error concerns; empty when none does.
    const std::string &path() const noexcept { return m_path; }

  private:
    ErrorKind m_kind;
    std::string m_path;
};

/// `text` fit for a terminal: control characters (C0, DEL, C1) and bytes that are not part of
/// valid UTF-8 become "\xNN" (lower-case hex); printable text, UTF-8 included, stays as it is.
/// Escaping an escaped text changes nothing. Never fails.
std::string EscapeControls(std::string_view text);

/// Builds an Io error "cannot <verb> '<path>': <strerror(errnum)>", the path escaped by
/// EscapeControls in the message (path() keeps it as it is).
Error IoError(const std::string &verb, const std::string &path, int errnum);

/// Converts a decimal integer text (optional sign, digits, nothing else) to int.
/// Throws Error{Conversion} with "'<text>' is not a valid integer value" otherwise.
int ToInt(const std::string &text);

} // namespace vexlo
