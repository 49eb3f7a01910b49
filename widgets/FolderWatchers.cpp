#include "widgets/FolderWatchers.h"

#include <QFileSystemModel>

#include <algorithm>

namespace vexlo {

void FolderWatchers::add(QFileSystemModel &model)
{
    std::erase_if(m_models, [](const QPointer<QFileSystemModel> &known) { return known.isNull(); });
    if (std::find(m_models.begin(), m_models.end(), &model) == m_models.end())
        m_models.emplace_back(&model);
}

std::vector<QFileSystemModel *> FolderWatchers::models() const
{
    std::vector<QFileSystemModel *> alive;
    for (const QPointer<QFileSystemModel> &model : m_models)
        if (model)
            alive.push_back(model.data());
    return alive;
}

FolderWatchers::Pause::Pause(const FolderWatchers &watchers)
{
    for (QFileSystemModel *model : watchers.models())
        if (!model->testOption(QFileSystemModel::DontWatchForChanges)) {
            model->setOption(QFileSystemModel::DontWatchForChanges, true);
            m_paused.emplace_back(model);
        }
}

FolderWatchers::Pause::~Pause()
{
    for (const QPointer<QFileSystemModel> &model : m_paused)
        if (model)
            model->setOption(QFileSystemModel::DontWatchForChanges, false);
}

} // namespace vexlo
