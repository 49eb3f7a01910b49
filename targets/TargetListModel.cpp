#include "targets/TargetListModel.h"

#include "widgets/Platform.h"

namespace vexlo {

TargetListModel::TargetListModel(QObject *parent) : QAbstractListModel(parent) {}

int TargetListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant TargetListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TargetEntry &entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return FromBytes(entry.path);
    case Qt::CheckStateRole:
        return entry.checked ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool TargetListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TargetListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

void TargetListModel::append(std::string path)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_entries.push_back(TargetEntry{std::move(path), false});
    endInsertRows();
}

void TargetListModel::appendChecked(std::string path)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_entries.push_back(TargetEntry{std::move(path), true});
    endInsertRows();
}

void TargetListModel::appendMany(std::vector<std::string> &&paths, bool checked)
{
    if (paths.empty())
        return;
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(paths.size()) - 1);
    m_entries.reserve(m_entries.size() + paths.size());
    for (std::string &path : paths)
        m_entries.push_back(TargetEntry{std::move(path), checked});
    endInsertRows();
    paths.clear();
}

void TargetListModel::setChecked(int i, bool flag)
{
    TargetEntry &entry = m_entries.at(static_cast<std::size_t>(i));
    if (entry.checked == flag)
        return;
    entry.checked = flag;
    const QModelIndex at = index(i);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void TargetListModel::checkAll()
{
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].checked)
            continue;
        m_entries[i].checked = true;
        if (first < 0)
            first = static_cast<int>(i);
        last = static_cast<int>(i);
    }
    if (first >= 0)
        emit dataChanged(index(first), index(last), {Qt::CheckStateRole});
}

void TargetListModel::clear()
{
    if (m_entries.empty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

void TargetListModel::removeSelected(int selectedRow)
{
    // Everything but the selection comes back checked, whatever its flag was before.
    std::vector<std::string> kept;
    kept.reserve(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (static_cast<int>(i) != selectedRow)
            kept.push_back(std::move(m_entries[i].path));
    }
    beginResetModel();
    m_entries.clear();
    endResetModel();
    appendMany(std::move(kept), true);
}

void ModelScanResult::flush()
{
    m_model.appendMany(std::move(m_pending), m_checked);
    m_pending.clear();
}

} // namespace vexlo
