#include "run/office/DocumentBatch.h"

#include "base/Error.h"
#include "run/CommitHook.h"
#include "run/FilePipeline.h"
#include "run/SkippedFile.h"
#include "run/office/BuiltInWord.h"
#include "run/office/WordEngine.h"

#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <thread>

namespace vexlo {

namespace {

// What became of one file: saved, left as it is (with the text naming it), or failed.
struct DocumentOutcome {
    bool saved = false;
    std::optional<std::string> skipped;
    std::optional<Error> failure;
};

// One application at a time; after a failure the next file starts on a fresh one, since the
// failed document stays open in the old one.
class Worker {
  public:
    explicit Worker(const DocumentBatch &batch) : m_batch(batch) { restart(); }

    DocumentOutcome process(const std::string &path, const ReplaceOptions &below)
    {
        DocumentOutcome outcome;
        try {
            m_source->holdRoot(below.heldRoot, below.heldRootDescriptor);
            m_engine->onSkipped([&](const SkippedFile &file) {
                outcome.skipped = file.what();
                if (m_batch.hook) // one file at a time with a hook: its calls stay in order
                    m_batch.hook->skipped(file.path(), file.reason());
            });
            outcome.saved = m_engine->processFile(path, m_batch.find, m_batch.replace, m_batch.options);
        } catch (const Error &e) {
            restart();
            outcome.failure = e;
        } catch (const std::exception &e) {
            restart();
            const std::string why = dynamic_cast<const std::bad_alloc *>(&e) ? "not enough memory" : e.what();
            outcome.failure = Error(ErrorKind::Automation, path, why);
        }
        return outcome;
    }

    ~Worker()
    {
        try {
            m_engine->quit();
        } catch (const std::exception &) {
            // Quitting the built-in application after the work is done cannot lose anything.
        }
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

  private:
    void restart()
    {
        m_source = std::make_unique<word::BuiltInApplicationSource>(); // no clipboard: "^c" is empty
        m_source->setCommitHook(m_batch.hook);
        m_engine = std::make_unique<WordEngine>(*m_source);
        m_engine->setSaveAsText(m_batch.saveAsText);
    }

    const DocumentBatch &m_batch;
    std::unique_ptr<word::BuiltInApplicationSource> m_source;
    std::unique_ptr<WordEngine> m_engine;
};

} // namespace

std::size_t ProcessDocuments(const std::vector<std::string> &paths, const std::vector<std::string> *roots,
                             const DocumentBatch &batch, RunObserver &observer)
{
    if (paths.empty())
        return 0;
    if (roots && roots->size() != paths.size())
        roots = nullptr;
    const HeldRoots held(roots);
    if (batch.hook)
        batch.hook->begin(paths);
    std::vector<DocumentOutcome> outcomes(paths.size());
    std::atomic<std::size_t> next{0};
    auto work = [&](Worker &worker) {
        for (std::size_t i = next++; i < paths.size(); i = next++)
            outcomes[i] = worker.process(paths[i], held.options(i));
    };
    {
        Worker first(batch);
        if (!batch.hook && paths.size() > 1 && std::thread::hardware_concurrency() > 1) {
            Worker second(batch);
            std::thread helper([&] { work(second); });
            work(first);
            helper.join();
        } else {
            work(first);
        }
    }
    if (batch.hook)
        batch.hook->end();
    std::size_t failed = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const DocumentOutcome &outcome = outcomes[i];
        if (outcome.skipped) {
            observer.message(*outcome.skipped);
            observer.fileDone(paths[i], Outcome::Skipped);
        } else if (outcome.failure) {
            observer.error(paths[i], *outcome.failure);
            ++failed;
        } else if (outcome.saved) {
            observer.fileDone(paths[i], Outcome::Done);
        }
    }
    return failed;
}

} // namespace vexlo
