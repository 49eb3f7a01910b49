// What a rewrite of many files does with each file it has prepared: commit it (the run), or
// only look at the old and new content (a preview). Undo copies and reports hang here too.
#pragma once

#include "base/SafeWrite.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// Every method but prepared() is called on the thread that runs the loop, in list order, and
/// only for the files the loop reaches (a stop or a failure that ends the run leaves the rest
/// out).
class CommitHook {
  public:
    virtual ~CommitHook() = default;
    /// The run's targets, once, before the first file is read. Must not throw.
    virtual void begin(const std::vector<std::string> &paths) { (void)paths; }
    /// false: a preview. Nothing is written; each file's old and new content goes to
    /// previewed() instead of being committed.
    virtual bool commits() const { return true; }
    /// The office engine made `count` replacements in the document it is about to save (called
    /// before previewed() or beforeCommit() of that file). Must not throw.
    virtual void replacements(const std::string &path, std::size_t count)
    {
        (void)path;
        (void)count;
    }
    /// Whether prepared() needs each new content's hash (FileReplacement::writtenHash()): the
    /// write unit then hashes what it writes. Asked once, after begin() and before the first file.
    virtual bool wantsWrittenHash() const { return false; }
    /// The new content of `path` is complete in its temporary; the target is not touched yet.
    /// Called on the thread that prepared the file: a worker, several at once for different
    /// files, so it must be thread-safe. Whether the file is then committed is not known here:
    /// a stop, a failure, or the target found changed since it was read leave it out, and
    /// afterCommit() follows only for a file committed. Never called in a preview. Throwing
    /// Error fails that file, which is then left as it was.
    virtual void prepared(const std::string &path, FileReplacement &file)
    {
        (void)path;
        (void)file;
    }
    /// A prepared file is about to replace its target. Throwing Error fails that file, which
    /// is then left as it was.
    virtual void beforeCommit(const std::string &path, FileReplacement &prepared)
    {
        (void)path;
        (void)prepared;
    }
    /// The target now holds the new content. Must not throw.
    virtual void afterCommit(const std::string &path) { (void)path; }
    /// A preview: what the run would write over `before`. Must not throw.
    virtual void previewed(const std::string &path, std::string_view before, std::string_view after)
    {
        (void)path;
        (void)before;
        (void)after;
    }
    /// A file the run passes over on purpose and leaves as it was (a binary file), in a preview
    /// too; `reason` as the run's message gives it after the path ("skipped: binary file ...").
    /// Must not throw.
    virtual void skipped(const std::string &path, const std::string &reason)
    {
        (void)path;
        (void)reason;
    }
    /// The loop is over (after a stop or a failure too). Must not throw.
    virtual void end() {}
};

/// Hands every call to each of several hooks in turn; a preview when any of them is one.
class CommitHooks : public CommitHook {
  public:
    void add(CommitHook *hook)
    {
        if (hook)
            m_hooks.push_back(hook);
    }
    bool empty() const { return m_hooks.empty(); }

    void begin(const std::vector<std::string> &paths) override
    {
        for (CommitHook *h : m_hooks)
            h->begin(paths);
    }
    bool commits() const override
    {
        for (CommitHook *h : m_hooks)
            if (!h->commits())
                return false;
        return true;
    }
    void replacements(const std::string &path, std::size_t count) override
    {
        for (CommitHook *h : m_hooks)
            h->replacements(path, count);
    }
    bool wantsWrittenHash() const override
    {
        for (CommitHook *h : m_hooks)
            if (h->wantsWrittenHash())
                return true;
        return false;
    }
    void prepared(const std::string &path, FileReplacement &file) override
    {
        for (CommitHook *h : m_hooks)
            h->prepared(path, file);
    }
    void beforeCommit(const std::string &path, FileReplacement &prepared) override
    {
        for (CommitHook *h : m_hooks)
            h->beforeCommit(path, prepared);
    }
    void afterCommit(const std::string &path) override
    {
        for (CommitHook *h : m_hooks)
            h->afterCommit(path);
    }
    void previewed(const std::string &path, std::string_view before, std::string_view after) override
    {
        for (CommitHook *h : m_hooks)
            h->previewed(path, before, after);
    }
    void skipped(const std::string &path, const std::string &reason) override
    {
        for (CommitHook *h : m_hooks)
            h->skipped(path, reason);
    }
    void end() override
    {
        for (CommitHook *h : m_hooks)
            h->end();
    }

  private:
    std::vector<CommitHook *> m_hooks;
};

} // namespace vexlo
