#pragma once
// The rows behind the Keyword list view: numbers, keywords, counts and check
// marks as bytes, converted to display text only when a row is drawn.
// GUI thread only.

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "app/KeywordRow.h"

namespace app {

class TKeywordListModel : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY(TKeywordListModel)
public:
    explicit TKeywordListModel(QObject* parent = nullptr);

    // Column captions in column order: "No", "Keywords", "Searches", ...
    static const char* columnCaption(int column);
    static int columnWidth(int column);

    int count() const { return static_cast<int>(m_rows.size()); }
    const KeywordRow& row(int index) const { return m_rows.at(static_cast<size_t>(index)); }
    const std::vector<KeywordRow>& rows() const { return m_rows; }

    // Appends a row numbered count() + 1; returns its index.
    int addRow(const std::string& keyword, const std::string& searches = {});
    // Appends one row per keyword, each numbered like addRow would number it.
    void addRows(const std::vector<std::string>& keywords);
    // The current index of the row with this id, or -1 when it is gone.
    // O(1) when hint is still right, O(n) after rows moved.
    int findRow(uint32_t id, int hint) const;
    // Writes one cell; out-of-range rows or columns are ignored.
    void setCell(int rowIndex, int column, const std::string& text);

    void setAllChecked(bool checked);
    void setChecked(int rowIndex, bool checked);
    // Removes the checked rows; the others keep their numbers and order.
    void deleteChecked();
    void clear();
    void sortByColumn(int column, bool ascending);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<KeywordRow> m_rows;
    uint32_t m_nextId = 1;
};

}  // namespace app
