#pragma once
// The file-open and file-save dialogs the application shows. Each keeps the
// folder and name of its last choice, so the next use opens there.
// GUI thread only.

#include <QString>

class QWidget;

namespace app {

class TskSkinOpenDialog {
public:
    // The dialog window takes name as its objectName.
    TskSkinOpenDialog(QString name, QString title, QString filter);
    // Shows the dialog; true when the user chose an existing file.
    bool Execute(QWidget* parent);
    QString FileName() const { return m_fileName; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }

private:
    QString m_name, m_title, m_filter, m_initialDir, m_fileName;
};

class TskSkinSaveDialog {
public:
    TskSkinSaveDialog(QString name, QString title, QString filter, QString defaultExtension);
    // Shows the dialog; true when the user gave a name. FileName() is then the
    // full path, with the default extension appended when the typed name's
    // extension differs from it (case ignored). Existing files are not warned about.
    bool Execute(QWidget* parent);
    QString FileName() const { return m_fileName; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }

    // "results" -> "results.csv", "a.txt" -> "a.txt.csv", "B.CSV" stays.
    static QString withDefaultExtension(const QString& path, const QString& extension);

private:
    QString m_name, m_title, m_filter, m_extension, m_initialDir, m_fileName;
};

}  // namespace app
