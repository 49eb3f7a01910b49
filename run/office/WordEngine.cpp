#include "run/office/WordEngine.h"

#include "base/Error.h"
#include "base/Lines.h"
#include "base/ReadFile.h"
#include "base/RunObserver.h"
#include "base/SafeWrite.h"
#include "docengine/TextCodec.h"
#include "run/FilePipeline.h"
#include "run/RunDriver.h"
#include "run/SkippedFile.h"

namespace vexlo {

namespace {

using word::Variant;

const Variant kOmitted;

// The format a document opened in `format` is saved in; nothing for a legacy .doc (or a
// format this engine does not know), which is left as it is.
std::optional<std::int32_t> OwnSaveFormat(std::int32_t format)
{
    switch (format) {
    case word::wdFormatText:
    case word::wdFormatUnicodeText:
        return word::wdFormatText;
    case word::wdFormatXMLDocument:
    case word::wdFormatDocumentDefault:
        return word::wdFormatDocumentDefault;
    case word::wdFormatOpenDocumentText:
        return word::wdFormatOpenDocumentText;
    case word::wdFormatRTF:
        return word::wdFormatRTF;
    default:
        return std::nullopt;
    }
}

bool IsDirectoryLine(const std::string &path)
{
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

} // namespace

word::Application &WordEngine::application()
{
    if (!m_application)
        m_application = &m_source.application();
    return *m_application;
}

void WordEngine::check(const word::CallResult &result)
{
    if (!result.ok)
        throw Error(ErrorKind::Automation, m_currentPath, result.description);
}

bool WordEngine::processFile(const std::string &path, const std::string &find, const std::string &replace,
                             const WordEngineOptions &options)
{
    m_currentPath = path;
    word::Application &app = application();
    const word::CallResult opened =
        app.documents().Open({path, false, false, false, "", "", false, "", "", word::wdOpenFormatAuto});
    if (!opened.ok && opened.code == word::kLeftAsItIs) {
        // Nothing is open: the file was left as it is on purpose.
        if (m_skipped)
            m_skipped(SkippedFile(path, opened.description));
        m_currentPath.clear();
        return false;
    }
    check(opened);
    std::int32_t openedFormat = word::wdFormatText;
    check(app.activeDocument().SaveFormat(openedFormat));
    const std::optional<std::int32_t> saveFormat =
        m_saveAsText ? std::optional<std::int32_t>(word::wdFormatText) : OwnSaveFormat(openedFormat);
    if (!saveFormat) {
        check(app.activeDocument().Close({word::wdDoNotSaveChanges, kOmitted, kOmitted}));
        if (m_skipped)
            m_skipped(SkippedFile(path, kLegacyDocReason));
        m_currentPath.clear();
        return false;
    }
    word::Find &findObject = app.selection().find();
    check(findObject.ClearFormatting());
    check(findObject.replacement().ClearFormatting());
    bool found = false; // whether anything was found does not matter: the file is saved anyway
    check(findObject.Execute({find, options.matchCase, options.wholeWord, options.wildcards,
                              options.soundsLike, options.allWordForms, true, word::wdFindContinue, false,
                              replace, word::wdReplaceAll},
                             found));
    check(app.activeDocument().SaveAs(
        {path, *saveFormat, false, "", true, "", false, false, false, false, false}));
    check(app.activeDocument().Close({kOmitted, kOmitted, kOmitted}));
    m_currentPath.clear();
    return true;
}

void WordEngine::quit()
{
    word::Application &app = application();
    check(app.Quit({kOmitted, kOmitted, kOmitted}));
    m_application = nullptr; // that one is going away: ask for a live one next time
}

std::size_t WordEngine::fileListBranch(const std::vector<std::string> &paths, const std::string &find,
                                       const std::string &replace, const WordEngineOptions &options,
                                       RunObserver *observer)
{
    std::size_t saved = 0;
    for (const std::string &path : paths) {
        if (observer && !observer->keepGoing())
            break;
        const bool done = processFile(path, find, replace, options);
        saved += done;
        if (observer)
            observer->fileDone(path, done ? Outcome::Done : Outcome::Skipped);
    }
    quit();
    return saved;
}

std::size_t WordEngine::directoryListBranch(const std::vector<std::string> &paths, const std::string &find,
                                            const std::string &replace, const WordEngineOptions &options,
                                            RunObserver &observer, const std::vector<std::string> *roots)
{
    if (roots && roots->size() != paths.size())
        roots = nullptr;
    const HeldRoots held(roots);
    struct Release {
        word::ApplicationSource &source;
        bool used;
        ~Release()
        {
            if (used)
                source.holdRoot({}, -1);
        }
    } release{m_source, roots != nullptr};
    std::size_t saved = 0;
    bool going = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string &path = paths[i];
        // A directory line of the scan is not a document; it still gets its Quit, and so does
        // every path after a stop.
        if (!IsDirectoryLine(path) && going && (going = observer.keepGoing())) {
            if (roots) {
                const ReplaceOptions below = held.options(i);
                m_source.holdRoot(below.heldRoot, below.heldRootDescriptor);
            }
            const bool done = processFile(path, find, replace, options);
            saved += done;
            observer.fileDone(path, done ? Outcome::Done : Outcome::Skipped);
        }
        quit();
    }
    return saved;
}

std::optional<std::string> WordEngine::realTimeBranch(const RealTimeInputs &inputs, const std::string &text,
                                                      const WordEngineOptions &options,
                                                      const ProgramFolder &folder,
                                                      const std::function<void(const std::string &)> &message)
{
    if (!inputs.findMemo.empty() || !inputs.replacementMemo.empty())
        message(kOneLineOnlyMessage);
    if (!inputs.findMemo.empty() && !inputs.replacementMemo.empty())
        return std::nullopt;
    const std::string path = folder.file(kRichEditFileName).string();
    // With its byte-order mark the text is read as UTF-8 even when it is plain ASCII, so the
    // replacement's own characters come back as they were typed.
    WriteFileSafely(path, "\xEF\xBB\xBF" + JoinLines(MemoLines(text)));
    processFile(path, inputs.findLine, inputs.replacementLine, options);
    quit();
    // The file is back in the encoding it went in, or Windows-1252 when that was plain ASCII.
    // The program's own scratch file: a link planted in its place is not followed.
    ReadOptions own;
    own.noFollow = true;
    std::string bytes = ReadWholeFile(path, TextFileCap, own);
    std::string saved = doc::ToUtf8(doc::Decode(bytes, doc::DetectEncoding(bytes)));
    return JoinLines(SplitLines(saved), "\n");
}

} // namespace vexlo
