#pragma once
// The rows behind the Keyword list view: numbers, keywords, counts and check
// marks as bytes, converted to display text only when a row is drawn.
// GUI thread only.

#include <QAbstractTableModel>
#include <string>
#include <string_view>

#include "app/KeywordRows.h"

namespace app {

enum class AddRowsResult { Added, TooManyRows, OutOfMemory };

class TKeywordListModel : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY(TKeywordListModel)
public:
    // Longest text a cell shows (in bytes); the view elides it further.
    static constexpr size_t kMaxShownBytes = 1024;

    explicit TKeywordListModel(QObject* parent = nullptr);

    // Column captions in column order: "No", "Keywords", "Searches", ...
    static const char* columnCaption(int column);
    static int columnWidth(int column);

    int count() const { return static_cast<int>(m_rows.count()); }
    // REQUIRES: 0 <= index < count(). Valid until the list next changes.
    KeywordRowView row(int index) const { return m_rows.row(static_cast<size_t>(index)); }
    const TKeywordRows& rows() const { return m_rows; }

    // Appends a row numbered count() + 1; returns its index, or -1 when the
    // list holds kMaxRows rows already or memory ran out.
    int addRow(std::string_view keyword, std::string_view searches = {});
    // Appends one row per line of text (the keyword file's line rules), each
    // numbered as addRow would. All or nothing: room is made before the
    // insert is announced, so a refusal leaves the list as it was.
    AddRowsResult addKeywordLines(std::string_view text);
    // The current index of the row with this id, or -1 when it is gone. O(1).
    int findRow(uint32_t id) const;
    // Writes one cell; out-of-range rows or columns are ignored.
    void setCell(int rowIndex, int column, std::string_view text);

    void setAllChecked(bool checked);
    void setChecked(int rowIndex, bool checked);
    // Removes the checked rows; the others keep their numbers and order.
    void deleteChecked();
    void clear();
    // May raise std::bad_alloc, leaving the order as it was and announcing nothing.
    void sortByColumn(int column, bool ascending);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TKeywordRows m_rows;
};

}  // namespace app
