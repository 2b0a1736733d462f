#include "app/KeywordListModel.h"

#include <charconv>
#include <new>

#include "app/KeywordFile.h"
#include "app/KeywordSort.h"

namespace app {

namespace {
constexpr const char* kCaptions[kColumnCount] = {"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
constexpr int kWidths[kColumnCount] = {49, 132, 132, 104, 104, 104};

// The decimal caption of row number n, in buf.
std::string_view numberText(size_t n, char (&buf)[24]) {
    const auto end = std::to_chars(buf, buf + sizeof(buf), n).ptr;
    return std::string_view(buf, static_cast<size_t>(end - buf));
}

// One line, however the text breaks: line ends and other control bytes show as blanks.
QString shownText(std::string_view text) {
    if (text.size() > TKeywordListModel::kMaxShownBytes) text = text.substr(0, TKeywordListModel::kMaxShownBytes);
    QString shown = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    return shown;
}

}  // namespace

TKeywordListModel::TKeywordListModel(QObject* parent) : QAbstractTableModel(parent) {}

const char* TKeywordListModel::columnCaption(int column) {
    return (column >= 0 && column < kColumnCount) ? kCaptions[column] : "";
}

int TKeywordListModel::columnWidth(int column) { return (column >= 0 && column < kColumnCount) ? kWidths[column] : 0; }

int TKeywordListModel::addRow(std::string_view keyword, std::string_view searches) {
    if (m_rows.count() >= kMaxRows) return -1;
    const int index = count();
    char buf[24];
    const RowCells cells{numberText(m_rows.count() + 1, buf), keyword, searches, {}, {}, {}};
    try {
        m_rows.reserve(1, storedRowSize(cells));  // so nothing can fail once the insert is announced
    } catch (const std::bad_alloc&) {
        return -1;
    }
    beginInsertRows({}, index, index);
    m_rows.append(cells);
    endInsertRows();
    return index;
}

AddRowsResult TKeywordListModel::addKeywordLines(std::string_view text) {
    size_t lines = 0, storedBytes = 0;
    char buf[24];
    forEachKeywordLine(text, [&](std::string_view line) {
        ++lines;
        storedBytes += storedRowSize({numberText(m_rows.count() + lines, buf), line, {}, {}, {}, {}});
    });
    if (lines == 0) return AddRowsResult::Added;
    if (lines > kMaxRows - m_rows.count()) return AddRowsResult::TooManyRows;
    try {
        m_rows.reserve(lines, storedBytes);
    } catch (const std::bad_alloc&) {
        return AddRowsResult::OutOfMemory;
    }
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(lines) - 1);
    forEachKeywordLine(text, [&](std::string_view line) {
        m_rows.append({numberText(m_rows.count() + 1, buf), line, {}, {}, {}, {}});
    });
    endInsertRows();
    return AddRowsResult::Added;
}

int TKeywordListModel::findRow(uint32_t id) const {
    const size_t at = m_rows.find(id);
    return at == TKeywordRows::kNotFound ? -1 : static_cast<int>(at);
}

void TKeywordListModel::setCell(int rowIndex, int column, std::string_view text) {
    if (rowIndex < 0 || rowIndex >= count() || column < 0 || column >= kColumnCount) return;
    m_rows.setCell(static_cast<size_t>(rowIndex), column, text);
    const QModelIndex changed = index(rowIndex, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void TKeywordListModel::setAllChecked(bool checked) {
    if (m_rows.empty()) return;
    m_rows.setAllChecked(checked);
    emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::CheckStateRole});
}

void TKeywordListModel::setChecked(int rowIndex, bool checked) {
    if (rowIndex < 0 || rowIndex >= count()) return;
    m_rows.setChecked(static_cast<size_t>(rowIndex), checked);
    emit dataChanged(index(rowIndex, 0), index(rowIndex, 0), {Qt::CheckStateRole});
}

void TKeywordListModel::deleteChecked() {
    bool any = false;
    for (size_t i = 0; i < m_rows.count() && !any; ++i) any = m_rows.row(i).checked();
    if (!any) return;
    beginResetModel();
    m_rows.removeChecked();
    endResetModel();
}

void TKeywordListModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void TKeywordListModel::sortByColumn(int column, bool ascending) {
    // The order is worked out before the change is announced: running out of
    // memory there leaves the list and its views as they were.
    std::vector<uint32_t> order = sortedOrder(m_rows, column, ascending);
    if (order.empty()) return;
    emit layoutAboutToBeChanged();
    m_rows.permute(std::move(order));  // allocates nothing
    emit layoutChanged();
}

int TKeywordListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

int TKeywordListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TKeywordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    const KeywordRowView r = row(index.row());
    if (role == Qt::DisplayRole) return shownText(r.cell(index.column()));
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
