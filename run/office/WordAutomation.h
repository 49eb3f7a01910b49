// The word processor's automation interface as the Word branches use it: the application,
// its documents, the active document and the selection's find and replacement objects.
// Arguments are small variants in the interface's own order; every call returns a result
// that the caller checks at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexlo {
class CommitHook;
}

namespace vexlo::word {

/// One automation argument: left out, a flag, a 32-bit integer or a string (UTF-8).
class Variant {
  public:
    enum class Type { Omitted, Bool, Int32, String };

    Variant() = default; // omitted
    Variant(bool value) : m_type(Type::Bool), m_bool(value) {}
    Variant(std::int32_t value) : m_type(Type::Int32), m_int(value) {}
    Variant(std::string value) : m_type(Type::String), m_string(std::move(value)) {}
    Variant(const char *value) : Variant(std::string(value)) {}
    static Variant Omitted() { return Variant(); }

    Type type() const { return m_type; }
    bool isOmitted() const { return m_type == Type::Omitted; }
    bool asBool() const { return m_bool; }
    std::int32_t asInt() const { return m_int; }
    const std::string &asString() const { return m_string; }

    /// "omitted", "true", "2", "\"text\"": for logs and test messages.
    std::string describe() const;

    friend bool operator==(const Variant &a, const Variant &b)
    {
        return a.m_type == b.m_type && a.m_bool == b.m_bool && a.m_int == b.m_int && a.m_string == b.m_string;
    }

  private:
    Type m_type = Type::Omitted;
    bool m_bool = false;
    std::int32_t m_int = 0;
    std::string m_string;
};

using Arguments = std::vector<Variant>;

/// The outcome of one call: success, or a failure code with the server's description.
struct CallResult {
    bool ok = true;
    std::int32_t code = 0;
    std::string description;

    static CallResult Success() { return {}; }
    static CallResult Failure(std::int32_t code, std::string description)
    {
        return {false, code, std::move(description)};
    }
};

/// The failure code the built-in engine reports (the automation "exception occurred" code).
inline constexpr std::int32_t kExceptionOccurred = static_cast<std::int32_t>(0x80020009u);

// Constants of the interface the Word branches pass.
inline constexpr std::int32_t wdOpenFormatAuto = 0;
inline constexpr std::int32_t wdFindContinue = 1;
inline constexpr std::int32_t wdReplaceAll = 2;
inline constexpr std::int32_t wdDoNotSaveChanges = 0;
// File formats (WdSaveFormat): what ActiveDocument.SaveFormat reports, what SaveAs writes.
inline constexpr std::int32_t wdFormatDocument = 0; // the legacy binary .doc
inline constexpr std::int32_t wdFormatText = 2;
inline constexpr std::int32_t wdFormatRTF = 6;
inline constexpr std::int32_t wdFormatUnicodeText = 7;
inline constexpr std::int32_t wdFormatXMLDocument = 12;
inline constexpr std::int32_t wdFormatDocumentDefault = 16;
inline constexpr std::int32_t wdFormatOpenDocumentText = 23;

/// The failure code the built-in engine gives for a file it leaves as it is without having
/// failed at it (binary content): the description then says why.
inline constexpr std::int32_t kLeftAsItIs = static_cast<std::int32_t>(0x800A1772u);

class Replacement {
  public:
    virtual ~Replacement() = default;
    virtual CallResult ClearFormatting() = 0;
};

class Find {
  public:
    virtual ~Find() = default;
    virtual CallResult ClearFormatting() = 0;
    /// FindText, MatchCase, MatchWholeWord, MatchWildcards, MatchSoundsLike, MatchAllWordForms,
    /// Forward, Wrap, Format, ReplaceWith, Replace; `found` tells whether anything was found.
    virtual CallResult Execute(const Arguments &arguments, bool &found) = 0;
    virtual Replacement &replacement() = 0;
};

class Selection {
  public:
    virtual ~Selection() = default;
    virtual Find &find() = 0;
};

class ActiveDocument {
  public:
    virtual ~ActiveDocument() = default;
    /// FileName, FileFormat, LockComments, Password, AddToRecentFiles, WritePassword,
    /// ReadOnlyRecommended, EmbedTrueTypeFonts, SaveNativePictureFormat, SaveFormsData,
    /// SaveAsAOCELetter.
    virtual CallResult SaveAs(const Arguments &arguments) = 0;
    /// The property SaveFormat: the file format the document was opened in (wdFormat...).
    virtual CallResult SaveFormat(std::int32_t &format) = 0;
    /// SaveChanges, OriginalFormat, RouteDocument.
    virtual CallResult Close(const Arguments &arguments) = 0;
};

class Documents {
  public:
    virtual ~Documents() = default;
    /// FileName, ConfirmConversions, ReadOnly, AddToRecentFiles, PasswordDocument,
    /// PasswordTemplate, Revert, WritePasswordDocument, WritePasswordTemplate, Format.
    virtual CallResult Open(const Arguments &arguments) = 0;
};

class Application {
  public:
    virtual ~Application() = default;
    virtual Documents &documents() = 0;
    virtual Selection &selection() = 0;
    virtual ActiveDocument &activeDocument() = 0;
    /// SaveChanges, OriginalFormat, RouteDocument. The application is gone afterwards.
    virtual CallResult Quit(const Arguments &arguments) = 0;
};

/// Hands out a live application: a running one if there is one, else a new one. Asked
/// before the first call and again after every Quit.
class ApplicationSource {
  public:
    virtual ~ApplicationSource() = default;
    /// Never null. A server that cannot be reached gives an application whose calls fail.
    virtual Application &application() = 0;
    /// Where the documents opened from now on lie: below `root` (already open as `descriptor`,
    /// or -1) no folder link is followed; an empty root: anywhere. Not part of the automation
    /// interface: a server that cannot hold folders ignores it.
    virtual void holdRoot(const std::string &root, int descriptor)
    {
        (void)root;
        (void)descriptor;
    }
    /// Every document saved from now on goes past `hook` (undo copies, reports), or, when the
    /// hook does not commit, is not written at all and only shown to it (a preview); null: plain
    /// saves. False when this server cannot do that: a preview must then not run on it. Not
    /// part of the automation interface either.
    virtual bool setCommitHook(CommitHook *hook) { return hook == nullptr; }
};

} // namespace vexlo::word
