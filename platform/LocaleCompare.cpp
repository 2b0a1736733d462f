#include "platform/LocaleCompare.h"

#include <QCollator>
#include <QLocale>

namespace platform {

namespace {

QCollator& userCollator() {
    static QCollator collator = [] {
        // The C locale collates by code point and ignores the case setting;
        // fall back to a real language's rules so case is ignored everywhere.
        QLocale locale = QLocale::system();
        if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c{locale};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

}  // namespace

int compareTextIgnoreCase(const std::string& a, const std::string& b) {
    return userCollator().compare(QString::fromLocal8Bit(a), QString::fromLocal8Bit(b));
}

QCollatorSortKey sortKeyIgnoreCase(const std::string& text) {
    return userCollator().sortKey(QString::fromLocal8Bit(text));
}

}  // namespace platform
