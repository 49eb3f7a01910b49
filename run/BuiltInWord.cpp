#include "run/BuiltInWord.h"

#include "base/Error.h"
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"

#include <optional>

namespace vexlo::word {

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

class BuiltInApplication : public Application, Documents, Selection, Find, Replacement, ActiveDocument {
  public:
    explicit BuiltInApplication(std::function<std::string()> clipboard) : m_clipboard(std::move(clipboard)) {}

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
        try {
            m_documents.push_back({a[0].asString(), doc::OpenDocumentFile(a[0].asString())});
        } catch (const Error &e) {
            return Fail(e.what());
        }
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
        if ((!a[6].isOmitted() && !a[6].asBool()) || (!a[7].isOmitted() && a[7].asInt() != wdFindContinue) ||
            Flag(a[8]) || a[10].isOmitted() || a[10].asInt() != wdReplaceAll)
            return Fail("Find.Execute: only a forward replace-all over the whole document is supported");
        doc::FindOptions options;
        options.matchCase = Flag(a[1]);
        options.wholeWord = Flag(a[2]);
        options.wildcards = Flag(a[3]);
        options.soundsLike = Flag(a[4]);
        options.allWordForms = Flag(a[5]);
        std::u32string findText = a[0].isOmitted() ? std::u32string() : doc::FromUtf8(a[0].asString());
        std::u32string replaceText = a[9].isOmitted() ? std::u32string() : doc::FromUtf8(a[9].asString());
        std::u32string clip = m_clipboard ? doc::FromUtf8(m_clipboard()) : std::u32string();
        try {
            found = doc::ReplaceAll(m_documents.back().document, findText, replaceText, options, clip) > 0;
        } catch (const doc::FindError &e) {
            return Fail(e.what());
        } catch (const std::length_error &e) {
            return Fail(e.what());
        }
        return CallResult::Success();
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
        if (a[1].isOmitted() || a[1].asInt() != wdFormatText)
            return Fail("ActiveDocument.SaveAs: only plain text can be saved");
        OpenDocument &active = m_documents.back();
        std::string path = a[0].isOmitted() ? active.path : a[0].asString();
        try {
            doc::SaveDocumentAsText(active.document, path);
        } catch (const Error &e) {
            return Fail(e.what());
        }
        // The document is a plain-text document from now on, under that name.
        active.path = path;
        active.document.format = doc::SourceFormat::PlainText;
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
    };

    std::optional<CallResult> gone() const
    {
        if (m_quit)
            return Fail("The application has quit.");
        return std::nullopt;
    }

    std::function<std::string()> m_clipboard;
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
    return std::make_unique<BuiltInApplication>(std::move(clipboard));
}

bool HasQuit(Application &application)
{
    auto *builtIn = dynamic_cast<BuiltInApplication *>(&application);
    return builtIn && builtIn->hasQuit();
}

BuiltInApplicationSource::BuiltInApplicationSource(std::function<std::string()> clipboard)
    : m_clipboard(std::move(clipboard))
{
}

BuiltInApplicationSource::~BuiltInApplicationSource() = default;

Application &BuiltInApplicationSource::application()
{
    if (!m_current || HasQuit(*m_current)) {
        m_current = NewBuiltInApplication(m_clipboard);
        ++m_started;
    }
    return *m_current;
}

} // namespace vexlo::word
