#include "settings/SettingsFile.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace vexlo {

// The patterns as file dialogs read them, separated by spaces; "*" lists names without a dot too.
const FileFilter SharedFileFilters[5] = {
    {"HTML files (*.html; *.htm; *.asp; *.css; *.jsp)", "*.html *.htm *.asp *.css *.jsp"},
    {"Text files (*.txt; *.diz)", "*.txt *.diz"},
    {"Delphi files (*.pas; *.dpr)", "*.pas *.dpr"},
    {"C++ files (*.cpp; *.c; *.h)", "*.cpp *.c *.h"},
    {"All files (*.*)", "*"},
};

std::string DialogNameFilter(const FileFilter &filter)
{
    return std::string(filter.label) + " (" + filter.patterns + ")";
}

namespace {

constexpr std::size_t MaxValueLength = 2047;
constexpr const char *LineBreak = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    a = trimBlanks(a);
    b = trimBlanks(b);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

// One line of the file: its text without the line break, and the break as it was found.
struct Line {
    std::string_view text;
    std::string_view lineBreak; // "\r\n", "\n", "\r" or empty for an unterminated last line
};

std::vector<Line> splitKeepingBreaks(std::string_view bytes)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({bytes.substr(start), {}});
            break;
        }
        std::size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n')
            ++next;
        lines.push_back({bytes.substr(start, end - start), bytes.substr(end, next - end)});
        start = next;
    }
    return lines;
}

// "[name]" (blanks around allowed; a missing "]" closes at the end of the line).
std::optional<std::string_view> sectionName(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    text.remove_prefix(1);
    const auto close = text.find(']');
    return close == std::string_view::npos ? text : text.substr(0, close);
}

// The key of a "key=value" line, or nothing for any other line.
std::optional<std::string_view> keyName(std::string_view text)
{
    const auto eq = text.find('=');
    if (eq == std::string_view::npos || sectionName(text))
        return std::nullopt;
    return trimBlanks(text.substr(0, eq));
}

// Stored text -> value: surrounding blanks dropped, then one pair of matching quotes.
std::string decodeValue(std::string_view stored)
{
    stored = trimBlanks(stored);
    if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
        stored.back() == stored.front())
        stored = stored.substr(1, stored.size() - 2);
    if (stored.size() > MaxValueLength)
        stored = stored.substr(0, MaxValueLength);
    return std::string(stored);
}

// Value -> stored text. A line break would split the entry and turn the rest into a line of
// its own, so the value ends at its first CR or LF. Values that reading would change (blanks
// at either end, or already wrapped in quotes) are wrapped in quotes so they read back as given.
std::string encodeValue(std::string_view value)
{
    value = value.substr(0, value.find_first_of("\r\n"));
    const bool blankEnds = !value.empty() && (isBlank(value.front()) || isBlank(value.back()));
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    std::string stored;
    stored.reserve(value.size() + 2);
    if (blankEnds || quoted)
        stored.push_back('"');
    stored.append(value);
    if (blankEnds || quoted)
        stored.push_back('"');
    return stored;
}

std::optional<std::string> loadBytes(const std::filesystem::path &path)
{
    // Only a regular file holds settings: a folder, a FIFO or a device in its place, or a file
    // far larger than any settings, reads as missing (and is never written over).
    try {
        return ReadFileIfPresent(path.string(), SettingsFileCap);
    } catch (const Error &) {
        return std::nullopt;
    }
}

// A name ends at its first line break, like a value.
std::string_view cutAtBreak(std::string_view s)
{
    return s.substr(0, s.find_first_of("\r\n"));
}

// The locks this process holds: one descriptor per folder, with a count of its holders.
struct HeldLock {
    int fd = -1;
    int count = 0;
};
std::recursive_mutex g_lockMutex;
std::map<std::string, HeldLock> g_locks;

std::string fullPath(const std::filesystem::path &path)
{
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    return ec ? path.string() : full.string();
}

} // namespace

SettingsLock::SettingsLock(const std::filesystem::path &settingsFile)
{
    std::error_code ec;
    auto folder = std::filesystem::absolute(settingsFile, ec).parent_path();
    m_folder = folder.empty() ? std::string(".") : folder.string();
    g_lockMutex.lock(); // other threads of this process wait here, the holder passes again
    HeldLock &held = g_locks[m_folder];
    if (held.count++ == 0) {
        held.fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (held.fd >= 0 && ::flock(held.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

SettingsLock::~SettingsLock()
{
    HeldLock &held = g_locks[m_folder];
    if (--held.count == 0) {
        if (held.fd >= 0)
            ::close(held.fd); // releases the flock
        g_locks.erase(m_folder);
    }
    g_lockMutex.unlock();
}

bool SettingsFile::exists() const
{
    std::error_code ec;
    return std::filesystem::exists(m_path, ec);
}

std::string SettingsFile::read(std::string_view section, std::string_view key,
                               std::string_view fallback) const
{
    const auto bytes = loadBytes(m_path);
    if (!bytes)
        return std::string(fallback);
    bool inSection = false;
    for (const Line &line : splitKeepingBreaks(*bytes)) {
        if (auto name = sectionName(line.text)) {
            if (inSection)
                break; // only the first section of that name counts, as for writing
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (auto name = keyName(line.text); name && sameName(*name, key))
            return decodeValue(line.text.substr(line.text.find('=') + 1));
    }
    return std::string(fallback);
}

void SettingsFile::write(std::string_view section, std::string_view key, std::string_view value)
{
    section = cutAtBreak(section);
    key = cutAtBreak(key);
    const SettingsLock lock(m_path);
    const std::string path = fullPath(m_path);
    const auto failure = [&] { return Error(ErrorKind::SettingsWrite, path, "Unable to write to " + path); };

    std::string old;
    if (exists()) {
        auto bytes = loadBytes(m_path);
        if (!bytes)
            throw failure(); // what cannot be read cannot be kept
        old = std::move(*bytes);
    }
    const std::vector<Line> lines = splitKeepingBreaks(old);

    // Where the section starts, its last key line, and the line holding the key.
    std::optional<std::size_t> header, lastKey, found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (header)
                break;
            if (sameName(*name, section))
                header = i;
            continue;
        }
        if (!header)
            continue;
        if (auto name = keyName(lines[i].text)) {
            lastKey = i;
            if (sameName(*name, key)) {
                found = i;
                break;
            }
        }
    }

    const std::string entryValue = encodeValue(value);
    std::string entryLine(trimBlanks(key));
    entryLine += '=';
    entryLine += entryValue;
    std::string out;
    out.reserve(old.size() + entryLine.size() + section.size() + 8);
    const auto appendLine = [&](std::string_view text, std::string_view lineBreak) {
        out.append(text);
        out.append(lineBreak.empty() ? std::string_view(LineBreak) : lineBreak);
    };

    if (!header) {
        out = old;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out += LineBreak;
        out += '[';
        out += trimBlanks(section);
        out += ']';
        out += LineBreak;
        appendLine(entryLine, LineBreak);
    } else {
        const std::size_t insertAfter = lastKey.value_or(*header);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line &line = lines[i];
            if (found && i == *found) {
                // The key keeps its own spelling; only the text after "=" changes.
                const auto eq = line.text.find('=');
                out.append(line.text.substr(0, eq + 1));
                appendLine(entryValue, line.lineBreak);
                continue;
            }
            if (!found && i == insertAfter) {
                appendLine(line.text, line.lineBreak);
                appendLine(entryLine, LineBreak);
                continue;
            }
            out.append(line.text);
            out.append(line.lineBreak);
        }
    }

    try {
        WriteFileSafely(m_path.string(), out);
    } catch (const Error &) {
        throw failure();
    }
}

DialogLocation::Value DialogLocation::read(const SettingsFile &settings) const
{
    Value value;
    value.directory = settings.read("Add_File_Procedure", directoryKey(), directoryKey());
    value.filterIndex = ToInt(settings.read("Add_File_Procedure", filterKey(), filterKey()));
    return value;
}

void DialogLocation::write(SettingsFile &settings, const std::string &chosenFile, int filterIndex) const
{
    const auto slash = chosenFile.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : chosenFile.substr(0, slash + 1);
    settings.write("Add_File_Procedure", directoryKey(), folder);
    settings.write("Add_File_Procedure", filterKey(), std::to_string(filterIndex));
}

std::string MissingSettingsMessage(std::string_view code)
{
    return "Critical mistake!, Error Code: [" + std::string(code) + "]\r\nSetup Vexlo Pro again..";
}

void RequireSettingsFile(const ProgramFolder &folder, std::string_view code, ProgramStop &stop)
{
    if (SettingsFile(folder.file(MainSettingsName)).exists())
        return;
    stop.showMessage(MissingSettingsMessage(code));
    stop.terminate();
}

} // namespace vexlo
