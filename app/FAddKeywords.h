#pragma once
// The Add Keywords dialog: one typed keyword, or a keyword file's path.
// Created per use. GUI thread only.

#include <QDialog>

#include "app/FileDialogs.h"

class QLineEdit;

namespace app {

class TskSkinMessage;

class TfrmAddKeywords : public QDialog {
    Q_OBJECT
public:
    // messages must outlive the dialog.
    explicit TfrmAddKeywords(const TskSkinMessage& messages, QWidget* parent = nullptr);
    QString keyword() const;
    QString listPath() const;

    void btnOkClick();
    void btnBrowseClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const TskSkinMessage& m_messages;
    QLineEdit* m_keywordEdit;
    QLineEdit* m_listEdit;
    TskSkinOpenDialog m_openDialog;
};

}  // namespace app
