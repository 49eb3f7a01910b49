// The folder trees of the windows, which a run asks to stop watching their folders: every
// rewrite in a watched folder makes a tree list the folder again, which more than doubled the
// time of a run over a folder of many files.
#pragma once

#include <QPointer>

#include <vector>

class QFileSystemModel;

namespace vexlo {

/// The trees the windows hand over when they are made. A tree deleted later is skipped.
class FolderWatchers {
  public:
    /// Adds `model`; a model added before is not added again.
    void add(QFileSystemModel &model);
    /// The trees added and not deleted since.
    std::vector<QFileSystemModel *> models() const;

    /// While it lives, every added tree that watches its folders stops watching them; each of
    /// those watches again when the pause ends (however the run ends), unless it was deleted.
    /// A tree that did not watch is left as it is.
    class Pause {
      public:
        explicit Pause(const FolderWatchers &watchers);
        ~Pause();
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

      private:
        std::vector<QPointer<QFileSystemModel>> m_paused;
    };

  private:
    std::vector<QPointer<QFileSystemModel>> m_models;
};

} // namespace vexlo
