#pragma once
// The Select Search Type dialog: precise (exact phrase) or broad search.
// Created per use. GUI thread only.

#include <QDialog>

class QCheckBox;

namespace app {

enum SearchType { stPrecise = 0, stBroad = 1 };

class TfrmSelSearch : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelSearch(QWidget* parent = nullptr);
    // Precise when the first box is ticked, whatever the second shows.
    SearchType searchType() const;

private:
    QCheckBox* m_precise;
};

}  // namespace app
