#include "platform/LocaleCompare.h"

#include <QCollator>
#include <QLocale>

namespace platform {

namespace {

QCollator& userCollator() {
    static QCollator collator = [] {
        QCollator c{QLocale::system()};
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
