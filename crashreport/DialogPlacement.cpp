#include "crashreport/DialogPlacement.h"

#include <QDir>
#include <QSettings>

namespace crashreport {

namespace {

// Values outside [minimum, maximum] keep the default.
int readInt(QSettings& settings, const QString& key, int fallback, int minimum, int maximum) {
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    return ok && value >= minimum && value <= maximum ? value : fallback;
}

}  // namespace

QString TDialogPlacement::filePath() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) folder = QDir::homePath() + "/.config";
    return folder + "/QuillLog.ini";
}

TDialogPlacement TDialogPlacement::load() {
    TDialogPlacement p;
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.beginGroup("Coordinates");
    p.left = readInt(settings, "Left", -1, -100000, 100000);
    p.top = readInt(settings, "Top", -1, -100000, 100000);
    p.width = readInt(settings, "Width", kDefaultWidth, 200, 10000);
    p.height = readInt(settings, "Height", kDefaultHeight, 150, 10000);
    for (int i = 0; i < 6; ++i)
        p.columns[i] = readInt(settings, QString("ColMod%1").arg(i), kDefaultColumns[i], 10, 2000);
    return p;
}

void TDialogPlacement::save() const {
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.beginGroup("Coordinates");
    settings.setValue("Left", left);
    settings.setValue("Top", top);
    settings.setValue("Width", width);
    settings.setValue("Height", height);
    for (int i = 0; i < 6; ++i) settings.setValue(QString("ColMod%1").arg(i), columns[i]);
}

}  // namespace crashreport
