#include "app/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <memory>

namespace app {

namespace {

QFileDialog* makeDialog(QWidget* parent, const QString& name, const QString& title, const QString& filter,
                        const QString& dir) {
    auto* dialog = new QFileDialog(parent, title, dir, filter);
    dialog->setObjectName(name);
    // The same dialog everywhere (and under tests), whatever the desktop offers.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    return dialog;
}

}  // namespace

TskSkinOpenDialog::TskSkinOpenDialog(QString name, QString title, QString filter)
    : m_name(std::move(name)), m_title(std::move(title)), m_filter(std::move(filter)) {}

bool TskSkinOpenDialog::Execute(QWidget* parent) {
    std::unique_ptr<QFileDialog> dialog(makeDialog(parent, m_name, m_title, m_filter, m_initialDir));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
    m_fileName = QFileInfo(dialog->selectedFiles().first()).absoluteFilePath();
    m_initialDir = QFileInfo(m_fileName).absolutePath();
    return true;
}

TskSkinSaveDialog::TskSkinSaveDialog(QString name, QString title, QString filter, QString defaultExtension)
    : m_name(std::move(name)), m_title(std::move(title)), m_filter(std::move(filter)),
      m_extension(std::move(defaultExtension)) {}

QString TskSkinSaveDialog::withDefaultExtension(const QString& path, const QString& extension) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(extension, Qt::CaseInsensitive) == 0) return path;
    return path + QLatin1Char('.') + extension;
}

bool TskSkinSaveDialog::Execute(QWidget* parent) {
    std::unique_ptr<QFileDialog> dialog(makeDialog(parent, m_name, m_title, m_filter, m_initialDir));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!m_fileName.isEmpty()) dialog->selectFile(QFileInfo(m_fileName).fileName());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
    m_fileName = withDefaultExtension(QFileInfo(dialog->selectedFiles().first()).absoluteFilePath(), m_extension);
    m_initialDir = QFileInfo(m_fileName).absolutePath();
    return true;
}

}  // namespace app
