#include "run/office/BuiltInWord.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"
#include "run/CommitHook.h"
#include "run/SkippedFile.h"

#include <new>
#include <optional>

namespace vexlo::word {

struct OpenSettings {
    ReplaceOptions options;     // below which root documents are opened
    CommitHook *hook = nullptr; // sees every save (none: plain saves)
};

namespace {

CallResult Fail(std::string description)
{
    return CallResult::Failure(kExceptionOccurred, std::move(description));
}

// Checks the count and the types of the arguments of one call: each is omitted or of the
// type the call expects there.
std::optional<CallResult> CheckArguments(const char *call, const Arguments &arguments,
                                         const std::vector<Variant::Type> &types)
{
    if (arguments.size() != types.size())
        return Fail(std::string(call) + ": wrong number of arguments");
    for (std::size_t i = 0; i < types.size(); ++i)
        if (!arguments[i].isOmitted() && arguments[i].type() != types[i])
            return Fail(std::string(call) + ": type mismatch in argument " + std::to_string(i + 1));
    return std::nullopt;
}

bool Flag(const Variant &v)
{
    return !v.isOmitted() && v.asBool();
}

using T = Variant::Type;

// A failure of the engine's own code, of any kind, as the call's failure naming the file.
CallResult FailAt(const std::string &what, const std::string &path, const std::exception &e)
{
    // The program's errors name the path already; the document engine's (a damaged package, a
    // find text it refuses) do not.
    if (const auto *error = dynamic_cast<const Error *>(&e); error && !error->path().empty())
        return Fail(e.what());
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return Fail("cannot " + what + " '" + EscapeControls(path) + "': not enough memory");
    return Fail("cannot " + what + " '" + EscapeControls(path) + "': " + e.what());
}

// Find.Execute's replace-all on `document` (its arguments' types already checked).
CallResult ReplaceAllIn(doc::Document &document, const std::string &path, const Arguments &a,
                        const std::function<std::string()> &clipboard, std::size_t &count)
{
    if ((!a[6].isOmitted() && !a[6].asBool()) || (!a[7].isOmitted() && a[7].asInt() != wdFindContinue) ||
        Flag(a[8]) || a[10].isOmitted() || a[10].asInt() != wdReplaceAll)
        return Fail("Find.Execute: only a forward replace-all over the whole document is supported");
    doc::FindOptions options;
    options.matchCase = Flag(a[1]);
    options.wholeWord = Flag(a[2]);
    options.wildcards = Flag(a[3]);
    options.soundsLike = Flag(a[4]);
    options.allWordForms = Flag(a[5]);
    try {
        std::u32string findText = a[0].isOmitted() ? std::u32string() : doc::FromUtf8(a[0].asString());
        std::u32string replaceText = a[9].isOmitted() ? std::u32string() : doc::FromUtf8(a[9].asString());
        // Only a replacement with a caret code may need the clipboard ("^c").
        const bool mayUseClipboard =
            clipboard && !a[9].isOmitted() && a[9].asString().find('^') != std::string::npos;
        std::u32string clip = mayUseClipboard ? doc::FromUtf8(clipboard()) : std::u32string();
        count = doc::ReplaceAll(document, findText, replaceText, options, clip);
    } catch (const doc::FindError &e) {
        return Fail(e.what());
    } catch (const std::length_error &e) {
        return Fail(e.what());
    } catch (const std::exception &e) {
        return FailAt("replace in", path, e);
    }
    return CallResult::Success();
}

// The format SaveFormat reports for a document read from `format`.
std::int32_t SaveFormatOf(doc::SourceFormat format)
{
    switch (format) {
    case doc::SourceFormat::PlainText:
        return wdFormatText;
    case doc::SourceFormat::Docx:
        return wdFormatDocumentDefault;
    case doc::SourceFormat::Odt:
        return wdFormatOpenDocumentText;
    case doc::SourceFormat::Rtf:
        return wdFormatRTF;
    case doc::SourceFormat::LegacyDoc:
        return wdFormatDocument;
    }
    return wdFormatDocument;
}

class BuiltInApplication : public Application, Documents, Selection, Find, Replacement, ActiveDocument {
  public:
    BuiltInApplication(std::function<std::string()> clipboard, std::shared_ptr<const OpenSettings> settings)
        : m_clipboard(std::move(clipboard)), m_settings(std::move(settings))
    {
    }

    Documents &documents() override { return *this; }
    Selection &selection() override { return *this; }
    ActiveDocument &activeDocument() override { return *this; }
    Find &find() override { return *this; }
    Replacement &replacement() override { return *this; }

    bool hasQuit() const { return m_quit; }

    CallResult Open(const Arguments &a) override
    {
        if (auto bad = gone())
            return *bad;
        if (auto bad = CheckArguments("Documents.Open", a,
                                      {T::String, T::Bool, T::Bool, T::Bool, T::String, T::String, T::Bool,
                                       T::String, T::String, T::Int32}))
            return *bad;
        if (a[0].isOmitted())
            return Fail("Documents.Open: no file name");
        if (!a[9].isOmitted() && a[9].asInt() != wdOpenFormatAuto)
            return Fail("Documents.Open: only the automatic format is supported");
        const std::string &path = a[0].asString();
        // The file stays open through the write unit until the document is saved or closed:
        // its folder held, and checked unchanged when the new content takes its place.
        ReplaceOptions options = m_settings ? m_settings->options : ReplaceOptions{};
        options.readOnly = Flag(a[2]);
        try {
            FileReplacement file(path, options);
            std::string bytes = doc::ReadForOpening(file);
            if (doc::HoldsBinaryContent(bytes))
                return CallResult::Failure(kLeftAsItIs, kBinaryFileReason);
            // A preview shows the old content beside the new, so it keeps it.
            std::string before = previewing() ? bytes : std::string();
            doc::Document document = doc::OpenDocumentContent(std::move(bytes), path);
            std::string().swap(bytes); // not held beside the document's characters
            m_documents.push_back({path, std::move(document), std::move(file), std::move(before)});
        } catch (const std::exception &e) {
            return FailAt("open", path, e);
        }
        return CallResult::Success();
    }

    CallResult SaveFormat(std::int32_t &format) override
    {
        if (auto bad = gone())
            return *bad;
        if (m_documents.empty())
            return Fail("This command is not available because no document is open.");
        format = SaveFormatOf(m_documents.back().document.format);
        return CallResult::Success();
    }

    CallResult ClearFormatting() override { return gone().value_or(CallResult::Success()); }

    CallResult Execute(const Arguments &a, bool &found) override
    {
        found = false;
        if (auto bad = gone())
            return *bad;
        if (auto bad = CheckArguments("Find.Execute", a,
                                      {T::String, T::Bool, T::Bool, T::Bool, T::Bool, T::Bool, T::Bool,
                                       T::Int32, T::Bool, T::String, T::Int32}))
            return *bad;
        if (m_documents.empty())
            return Fail("This command is not available because no document is open.");
        OpenDocument &active = m_documents.back();
        std::size_t count = 0;
        const CallResult result = ReplaceAllIn(active.document, active.path, a, m_clipboard, count);
        found = count > 0;
        active.replaced += count;
        return result;
    }

    CallResult SaveAs(const Arguments &a) override
    {
        if (auto bad = gone())
            return *bad;
        if (auto bad = CheckArguments("ActiveDocument.SaveAs", a,
                                      {T::String, T::Int32, T::Bool, T::String, T::Bool, T::String, T::Bool,
                                       T::Bool, T::Bool, T::Bool, T::Bool}))
            return *bad;
        if (m_documents.empty())
            return Fail("This command is not available because no document is open.");
        OpenDocument &active = m_documents.back();
        const std::int32_t format = a[1].isOmitted() ? wdFormatText : a[1].asInt();
        if (format != wdFormatText && format != SaveFormatOf(active.document.format))
            return Fail(
                "ActiveDocument.SaveAs: this document can be saved as plain text or in its own format only");
        if (format == wdFormatDocument)
            return Fail("ActiveDocument.SaveAs: a legacy .doc document cannot be written");
        std::string path = a[0].isOmitted() ? active.path : a[0].asString();
        try {
            if (previewing() && path == active.path) {
                preview(active, format);
            } else if (format == wdFormatText) {
                write(active, path, [&](FileReplacement &file) {
                    doc::WritePlainText(active.document, [&](std::string_view piece) { file.write(piece); });
                });
                // The document is a plain-text document from now on, under that name.
                active.document.format = doc::SourceFormat::PlainText;
                active.document.keeper.reset();
            } else if (active.document.changedByReplaceAll > 0 || path != active.path) {
                const std::string bytes = doc::SaveInOwnFormat(active.document);
                write(active, path, [&](FileReplacement &file) { file.write(bytes); });
            }
            // else: nothing was replaced, and the file already is what it would be saved as.
        } catch (const std::exception &e) {
            return FailAt("save", path, e);
        }
        active.path = path;
        return CallResult::Success();
    }

    CallResult Close(const Arguments &a) override
    {
        if (auto bad = gone())
            return *bad;
        if (auto bad = CheckArguments("ActiveDocument.Close", a, {T::Int32, T::Int32, T::Bool}))
            return *bad;
        if (m_documents.empty())
            return Fail("This command is not available because no document is open.");
        m_documents.pop_back();
        return CallResult::Success();
    }

    CallResult Quit(const Arguments &a) override
    {
        if (auto bad = gone())
            return *bad;
        if (auto bad = CheckArguments("Application.Quit", a, {T::Int32, T::Int32, T::Bool}))
            return *bad;
        m_documents.clear();
        m_quit = true;
        return CallResult::Success();
    }

  private:
    struct OpenDocument {
        std::string path;
        doc::Document document;
        std::optional<FileReplacement> file; // the file it was opened from, until it is saved
        std::string before;                  // a preview's: the content it was opened from
        std::size_t replaced = 0;            // replacements made since it was opened
    };

    CommitHook *hook() const { return m_settings ? m_settings->hook : nullptr; }
    bool previewing() const { return hook() && !hook()->commits(); }

    // What saving the document in `format` would write, shown to the hook; nothing is written.
    void preview(OpenDocument &active, std::int32_t format)
    {
        CommitHook &seen = *hook();
        seen.replacements(active.path, active.replaced);
        if (format == wdFormatText)
            seen.previewed(active.path, active.before, doc::SavePlainText(active.document));
        else if (active.document.changedByReplaceAll > 0)
            seen.previewed(active.path, active.before, doc::SaveInOwnFormat(active.document));
        else
            seen.previewed(active.path, active.before, active.before);
        active.file.reset(); // the preview is done with the file
    }

    // Puts new content in the place of `path` through the write unit: the file the document was
    // opened from when it is that one (so anything that changed it since is kept and
    // reported), else a file opened now.
    template <class Writer> void write(OpenDocument &active, const std::string &path, Writer &&writeContent)
    {
        std::optional<FileReplacement> file;
        if (path == active.path && active.file) {
            file = std::move(active.file);
            active.file.reset();
        } else {
            ReplaceOptions options = m_settings ? m_settings->options : ReplaceOptions{};
            options.createIfMissing = true;
            file.emplace(path, options);
        }
        file->prepareOutput();
        writeContent(*file);
        CommitHook *seen = hook();
        if (seen) {
            seen->replacements(path, active.replaced);
            seen->beforeCommit(path, *file);
        }
        file->commit();
        if (seen)
            seen->afterCommit(path);
    }

    std::optional<CallResult> gone() const
    {
        if (m_quit)
            return Fail("The application has quit.");
        return std::nullopt;
    }

    std::function<std::string()> m_clipboard;
    std::shared_ptr<const OpenSettings> m_settings; // the source's
    std::vector<OpenDocument> m_documents;
    bool m_quit = false;
};

} // namespace

std::string Variant::describe() const
{
    switch (m_type) {
    case Type::Omitted:
        return "omitted";
    case Type::Bool:
        return m_bool ? "true" : "false";
    case Type::Int32:
        return std::to_string(m_int);
    case Type::String:
        return "\"" + m_string + "\"";
    }
    return "?";
}

std::unique_ptr<Application> NewBuiltInApplication(std::function<std::string()> clipboard)
{
    return std::make_unique<BuiltInApplication>(std::move(clipboard), nullptr);
}

std::string ProcessContent(std::string bytes, const std::string &name, const Arguments &execute,
                           bool saveAsText, std::string &leftAsItIs)
{
    leftAsItIs.clear();
    auto failed = [&](const CallResult &result) {
        return Error(ErrorKind::Automation, name, result.description);
    };
    if (auto bad = CheckArguments("Find.Execute", execute,
                                  {T::String, T::Bool, T::Bool, T::Bool, T::Bool, T::Bool, T::Bool, T::Int32,
                                   T::Bool, T::String, T::Int32}))
        throw failed(*bad);
    if (const std::size_t cap = doc::DocumentCap(bytes); bytes.size() > cap)
        throw doc::OverDocumentCap(name, cap);
    doc::Document document = doc::OpenDocumentContent(bytes, name);
    if (document.format == doc::SourceFormat::LegacyDoc && !saveAsText) {
        leftAsItIs = kLegacyDocReason;
        return bytes;
    }
    const bool ownFormat = !saveAsText && document.format != doc::SourceFormat::PlainText;
    if (!ownFormat)
        std::string().swap(bytes);
    std::size_t count = 0;
    const CallResult replaced = ReplaceAllIn(document, name, execute, {}, count);
    if (!replaced.ok)
        throw failed(replaced);
    if (!ownFormat)
        return doc::SavePlainText(document);
    if (document.changedByReplaceAll == 0)
        return bytes; // nothing replaced: the document as it came
    try {
        return doc::SaveInOwnFormat(document);
    } catch (const std::exception &e) {
        throw failed(FailAt("save", name, e));
    }
}

bool HasQuit(Application &application)
{
    auto *builtIn = dynamic_cast<BuiltInApplication *>(&application);
    return builtIn && builtIn->hasQuit();
}

BuiltInApplicationSource::BuiltInApplicationSource(std::function<std::string()> clipboard)
    : m_clipboard(std::move(clipboard)), m_settings(std::make_shared<OpenSettings>())
{
}

void BuiltInApplicationSource::holdRoot(const std::string &root, int descriptor)
{
    m_settings->options.heldRoot = root;
    m_settings->options.heldRootDescriptor = root.empty() ? -1 : descriptor;
}

bool BuiltInApplicationSource::setCommitHook(CommitHook *hook)
{
    m_settings->hook = hook;
    return true;
}

BuiltInApplicationSource::~BuiltInApplicationSource() = default;

Application &BuiltInApplicationSource::application()
{
    if (!m_current || HasQuit(*m_current)) {
        m_current = std::make_unique<BuiltInApplication>(m_clipboard, m_settings);
        ++m_started;
    }
    return *m_current;
}

} // namespace vexlo::word
