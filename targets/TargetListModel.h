// The file list and the directory list: checked paths in insertion order, shown by a QListView.
#pragma once

#include "targets/ScanDir.h"
#include "targets/TargetEntry.h"

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace vexlo {

/// Entries in insertion order, duplicates allowed. Qt::DisplayRole is the path,
/// Qt::CheckStateRole the checked flag (the user may toggle it).
class TargetListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit TargetListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int count() const noexcept { return static_cast<int>(m_entries.size()); }
    const std::string &path(int i) const { return m_entries.at(static_cast<std::size_t>(i)).path; }
    bool isChecked(int i) const { return m_entries.at(static_cast<std::size_t>(i)).checked; }
    const std::vector<TargetEntry> &entries() const noexcept { return m_entries; }

    /// Adds `path` at the end, unchecked.
    void append(std::string path);
    /// Adds `path` at the end, checked.
    void appendChecked(std::string path);
    /// Adds every path at the end in one insertion (the fast way for scans).
    void appendMany(std::vector<std::string> &&paths, bool checked);
    void setChecked(int i, bool flag);
    /// Checks every entry, from the first to the last.
    void checkAll();
    void clear();
    /// Keeps every entry but row `selectedRow` (-1: none), each of them checked.
    void removeSelected(int selectedRow);

  private:
    std::vector<TargetEntry> m_entries;
};

/// A scan observer that gathers what ScanDir finds and hands it to a model in batches, so a
/// scan does not insert rows one by one. flush() on the way (e.g. from keepGoing() of a
/// derived class) shows what was found so far; the destructor flushes the rest. Directories
/// that cannot be read are passed over silently.
class ModelScanResult : public RunObserver {
  public:
    explicit ModelScanResult(TargetListModel &model, bool checked = false)
        : m_model(model), m_checked(checked)
    {
    }
    ~ModelScanResult() override { flush(); }
    ModelScanResult(const ModelScanResult &) = delete;
    ModelScanResult &operator=(const ModelScanResult &) = delete;

    void fileDone(const std::string &path, Outcome) override { m_pending.push_back(path); }
    void flush();

  private:
    TargetListModel &m_model;
    bool m_checked;
    std::vector<std::string> m_pending;
};

} // namespace vexlo
