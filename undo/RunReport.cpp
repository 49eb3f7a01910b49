#include "undo/RunReport.h"

#include "base/Error.h"
#include "undo/LineDiff.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vexlo {

namespace {

const char *outcomeName(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Rewritten:
        return "rewritten";
    case FileOutcome::Unchanged:
        return "unchanged";
    case FileOutcome::Skipped:
        return "skipped";
    case FileOutcome::Failed:
        return "failed";
    }
    return "failed";
}

// The length of the valid UTF-8 sequence at `i`, 0 when there is none.
std::size_t utf8Length(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

std::string jsonString(std::string_view s)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        char hex[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else if (c < 0x80) {
            out += char(c);
        } else if (const std::size_t n = utf8Length(s, i)) {
            out.append(s.substr(i, n));
            i += n - 1;
        } else {
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        }
    }
    return out + "\"";
}

std::string readAgain(int fd, const std::string &path)
{
    std::string bytes;
    char chunk[1 << 16];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw IoError("read", path, errno);
        if (got == 0)
            return bytes;
        bytes.append(chunk, std::size_t(got));
        offset += got;
    }
}

FileReport compared(const std::string &path, std::string_view before, std::string_view after)
{
    FileReport report;
    report.path = path;
    const ChangeSummary summary = Summarize(before, after);
    report.outcome = summary.identical ? FileOutcome::Unchanged : FileOutcome::Rewritten;
    report.changed = summary.linesChanged;
    report.lineEndsOnly = !summary.identical && summary.lineEndsOnly;
    report.bytesBefore = before.size();
    report.bytesAfter = after.size();
    return report;
}

} // namespace

std::string JsonLine(const FileReport &report)
{
    std::string line = "{\"path\":" + jsonString(report.path) + ",\"outcome\":\"" +
                       outcomeName(report.outcome) + "\",\"changed\":" + std::to_string(report.changed) +
                       ",\"bytes_before\":" + std::to_string(report.bytesBefore) +
                       ",\"bytes_after\":" + std::to_string(report.bytesAfter);
    if (report.outcome == FileOutcome::Skipped || report.outcome == FileOutcome::Failed)
        line += ",\"reason\":" + jsonString(report.reason);
    return line + "}";
}

std::string DryRunLine(const FileReport &report)
{
    const std::string head = report.path + ": ";
    switch (report.outcome) {
    case FileOutcome::Skipped:
        return head + "skipped: " + report.reason;
    case FileOutcome::Failed:
        return head + "fails: " + report.reason;
    case FileOutcome::Unchanged:
        return head + "unchanged";
    case FileOutcome::Rewritten:
        break;
    }
    if (report.replacements)
        return head + std::to_string(report.changed) +
               (report.changed == 1 ? " replacement" : " replacements");
    if (report.lineEndsOnly)
        return head + "line ends only";
    return head + std::to_string(report.changed) + (report.changed == 1 ? " line changed" : " lines changed");
}

void ChangeRecorder::previewed(const std::string &path, std::string_view before, std::string_view after)
{
    if (m_onFile)
        m_onFile(counted(compared(path, before, after)), before, after);
}

void ChangeRecorder::replacements(const std::string &path, std::size_t count)
{
    m_replacements.emplace(path, count);
}

FileReport ChangeRecorder::counted(FileReport report)
{
    // The office engine counts its replacements; the lines of a document say little. A count
    // left by a file whose commit failed belongs to no other file.
    if (m_replacements && m_replacements->first == report.path) {
        report.replacements = true;
        report.changed = m_replacements->second;
        report.lineEndsOnly = false;
    }
    m_replacements.reset();
    return report;
}

void ChangeRecorder::skipped(const std::string &path, const std::string &reason)
{
    if (!m_onFile)
        return;
    FileReport report;
    report.path = path;
    report.outcome = FileOutcome::Skipped;
    // The outcome says "skipped" already.
    constexpr std::string_view kSaid = "skipped: ";
    report.reason = reason.rfind(kSaid, 0) == 0 ? reason.substr(kSaid.size()) : reason;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        report.bytesBefore = report.bytesAfter = std::uint64_t(st.st_size);
    m_onFile(report, {}, {});
}

void ChangeRecorder::beforeCommit(const std::string &path, FileReplacement &prepared)
{
    m_before = prepared.exists() ? readAgain(prepared.sourceDescriptor(), path) : std::string();
}

void ChangeRecorder::afterCommit(const std::string &path)
{
    std::string after;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        try {
            after = readAgain(fd, path);
        } catch (const Error &) {
        }
        ::close(fd);
    }
    if (m_onFile)
        m_onFile(counted(compared(path, m_before, after)), m_before, after);
    m_before.clear();
}

} // namespace vexlo
