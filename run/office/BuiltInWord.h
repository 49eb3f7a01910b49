// The built-in document engine behind the automation interface: the default application on
// every platform.
#pragma once

#include "run/office/WordAutomation.h"

#include <functional>
#include <memory>

namespace vexlo {
class CommitHook;
}

namespace vexlo::word {

/// Where documents are opened and how they are saved; shared by a source and its applications.
struct OpenSettings;

/// Hands out built-in applications; a new one after each Quit. `clipboard`, when set, gives
/// the text "^c" inserts (none: it inserts nothing).
///
/// What the built-in application does: Documents.Open opens the file through the write unit
/// (base/SafeWrite.h) and holds it until SaveAs or Close; a file that holds NUL bytes and is
/// no document it knows fails with kLeftAsItIs and "skipped: binary file ..."; SaveFormat
/// gives wdFormatText, wdFormatDocumentDefault, wdFormatOpenDocumentText, wdFormatRTF or
/// wdFormatDocument (.doc); SaveAs writes wdFormatText (any document, converted) or the
/// document's own format, and a document saved in its own format in which nothing was
/// replaced is left byte for byte as it is. With a commit hook, each save goes past it (and
/// a preview's is only shown to it). Any failure, whatever its kind, is the call's
/// failure with a description naming the file.
class BuiltInApplicationSource : public ApplicationSource {
  public:
    explicit BuiltInApplicationSource(std::function<std::string()> clipboard = {});
    ~BuiltInApplicationSource() override;
    Application &application() override;
    /// The documents opened from now on are opened below `root` through the write unit.
    void holdRoot(const std::string &root, int descriptor) override;
    /// The documents saved from now on go past `hook`; a preview's are not written.
    bool setCommitHook(CommitHook *hook) override;
    /// How many applications were handed out (for tests).
    int started() const { return m_started; }

  private:
    std::function<std::string()> m_clipboard;
    std::shared_ptr<OpenSettings> m_settings; // shared with the applications
    std::unique_ptr<Application> m_current;
    int m_started = 0;
};

/// A new built-in application on its own (the source above is the usual way).
std::unique_ptr<Application> NewBuiltInApplication(std::function<std::string()> clipboard = {});

/// The built-in engine's open, replace-all and save on content held in memory (standard input,
/// which is never given a name on disk): `execute` are Find.Execute's arguments; the result
/// is the content saved in its own format (plain text as plain text; every format as plain
/// text with `saveAsText`). A legacy .doc comes back unchanged, with `leftAsItIs` set to the
/// reason (cleared otherwise). NUL bytes do not stop it: this content is processed in full.
/// Throws Error naming `name` on any failure.
std::string ProcessContent(std::string bytes, const std::string &name, const Arguments &execute,
                           bool saveAsText, std::string &leftAsItIs);

/// Whether the application was told to quit (its calls then fail).
bool HasQuit(Application &application);

} // namespace vexlo::word
