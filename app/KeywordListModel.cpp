#include "app/KeywordListModel.h"

#include <algorithm>

#include "app/KeywordSort.h"

namespace app {

namespace {
constexpr const char* kCaptions[kColumnCount] = {"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
constexpr int kWidths[kColumnCount] = {49, 132, 132, 104, 104, 104};
}  // namespace

TKeywordListModel::TKeywordListModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* TKeywordListModel::columnCaption(int column) {
    return (column >= 0 && column < kColumnCount) ? kCaptions[column] : "";
}

int TKeywordListModel::columnWidth(int column) { return (column >= 0 && column < kColumnCount) ? kWidths[column] : 0; }

int TKeywordListModel::addRow(const std::string& keyword, const std::string& searches) {
    const int index = count();
    beginInsertRows({}, index, index);
    m_rows.emplace_back(std::to_string(index + 1), keyword, searches);
    m_rows.back().setId(m_nextId++);
    endInsertRows();
    return index;
}

void TKeywordListModel::addRows(const std::vector<std::string>& keywords) {
    if (keywords.empty()) return;
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(keywords.size()) - 1);
    m_rows.reserve(m_rows.size() + keywords.size());
    for (const auto& keyword : keywords) {
        m_rows.emplace_back(std::to_string(m_rows.size() + 1), keyword, "");
        m_rows.back().setId(m_nextId++);
    }
    endInsertRows();
}

int TKeywordListModel::findRow(uint32_t id, int hint) const {
    const int n = count();
    if (hint >= 0 && hint < n && m_rows[static_cast<size_t>(hint)].id() == id) return hint;
    // Deletions only move rows towards the front: look back from the hint first.
    for (int i = std::min(std::max(hint, 0), n - 1); i >= 0; --i)
        if (m_rows[static_cast<size_t>(i)].id() == id) return i;
    for (int i = std::max(hint, 0) + 1; i < n; ++i)
        if (m_rows[static_cast<size_t>(i)].id() == id) return i;
    return -1;
}

void TKeywordListModel::setCell(int rowIndex, int column, const std::string& text) {
    if (rowIndex < 0 || rowIndex >= count() || column < 0 || column >= kColumnCount) return;
    m_rows[static_cast<size_t>(rowIndex)].setCell(column, text);
    const QModelIndex changed = index(rowIndex, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void TKeywordListModel::setAllChecked(bool checked) {
    if (m_rows.empty()) return;
    for (auto& row : m_rows) row.setChecked(checked);
    emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::CheckStateRole});
}

void TKeywordListModel::setChecked(int rowIndex, bool checked) {
    if (rowIndex < 0 || rowIndex >= count()) return;
    m_rows[static_cast<size_t>(rowIndex)].setChecked(checked);
    emit dataChanged(index(rowIndex, 0), index(rowIndex, 0), {Qt::CheckStateRole});
}

void TKeywordListModel::deleteChecked() {
    const auto firstChecked = std::find_if(m_rows.begin(), m_rows.end(), [](const KeywordRow& r) { return r.checked(); });
    if (firstChecked == m_rows.end()) return;
    beginResetModel();
    m_rows.erase(std::remove_if(firstChecked, m_rows.end(), [](const KeywordRow& r) { return r.checked(); }), m_rows.end());
    endResetModel();
}

void TKeywordListModel::clear() {
    beginResetModel();
    std::vector<KeywordRow>().swap(m_rows);
    endResetModel();
}

void TKeywordListModel::sortByColumn(int column, bool ascending) {
    emit layoutAboutToBeChanged();
    sortKeywordRows(m_rows, column, ascending);
    emit layoutChanged();
}

int TKeywordListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

int TKeywordListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TKeywordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    const KeywordRow& r = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        const std::string_view text = r.cell(index.column());
        return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::CheckStateRole && index.column() == colNo) return r.checked() ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool TKeywordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != colNo) return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TKeywordListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == colNo) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TKeywordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return QString::fromLatin1(columnCaption(section));
    return {};
}

}  // namespace app
