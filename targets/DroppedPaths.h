// What a drag from a file manager carries, as the lists take it.
#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QEvent;
class QMimeData;

namespace vexlo {

/// One dropped path and whether it is a folder (a link to a folder counts as a folder).
struct DroppedPath {
    std::string path;
    bool isFolder = false;
};

/// The local paths of a drop in the order given; anything that is not a local file (a web
/// address, plain text) is left out. Never fails.
std::vector<DroppedPath> DroppedPathsOf(const QMimeData *data);

/// Takes the drags and drops that reach a list's viewport: a drag carrying at least one local
/// path is accepted, and its drop goes to `onDrop` (through the program-wide guard, so nothing
/// thrown crosses the event loop). Every other event passes on.
class PathDropFilter : public QObject {
  public:
    PathDropFilter(QObject *parent, std::function<void(const std::vector<DroppedPath> &)> onDrop)
        : QObject(parent), m_onDrop(std::move(onDrop))
    {
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    std::function<void(const std::vector<DroppedPath> &)> m_onDrop;
};

} // namespace vexlo
