// One error type for the whole core: what went wrong, where, and why.
#pragma once

#include <stdexcept>
#include <string>

namespace vexlo {

enum class ErrorKind {
    Conversion,          // a text that should hold a decimal integer does not
    Io,                  // a file or directory could not be read or written
    SettingsWrite,       // "Unable to write to %s"
    MissingSettingsFile, // "vexlopro.ini" is not in the program folder
    Usage,               // bad arguments (command line)
    Automation,          // a call of the word processor's automation interface failed
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, std::string path, const std::string &message)
        : std::runtime_error(message), m_kind(kind), m_path(std::move(path)) {}

    ErrorKind kind() const noexcept { return m_kind; }
    /// The file the error concerns; empty when none does.
    const std::string &path() const noexcept { return m_path; }

private:
    ErrorKind m_kind;
    std::string m_path;
};

/// Builds an Io error "cannot <verb> '<path>': <strerror(errnum)>".
Error IoError(const std::string &verb, const std::string &path, int errnum);

/// Converts a decimal integer text (optional sign, digits, nothing else) to int.
/// Throws Error{Conversion} with "'<text>' is not a valid integer value" otherwise.
int ToInt(const std::string &text);

} // namespace vexlo
