#include "crashreport/ErrorDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace crashreport {

namespace {

constexpr int kMinimumButtonWidth = 75;

QString shown(const std::string& text) {
    QString result = QString::fromLocal8Bit(text);
    result.replace("\r\n", "\n");
    return result;
}

QPlainTextEdit* memo(const std::string& text, const char* name) {
    auto* edit = new QPlainTextEdit;
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setPlainText(shown(text));
    return edit;
}

}  // namespace

TQuillErrorDialog::TQuillErrorDialog(const TReport& report, const TQuillModuleOptionsEx& options, QWidget* parent)
    : QDialog(parent), m_options(options), m_placement(TDialogPlacement::load()) {
    const TCustomTexts& t = options.CustomTexts;
    setObjectName("DIALOG");
    setWindowTitle(shown(t[txtError]));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);

    auto* message = new QLabel(shown(t[txtErrorMessage]));
    message->setObjectName("lblMessage");
    message->setWordWrap(true);
    layout->addWidget(message);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName("tabDetails");
    static const int stackHeaders[6] = {txtColAddress, txtColModule, txtColUnit, txtColClass, txtColProcedure, txtColLine};
    static const int moduleHeaders[6] = {txtColHandle, txtColName, txtColDescription, txtColVersion, txtColSize, txtColPath};
    QTreeWidget* stack = buildList(report.stackRows, stackHeaders);
    stack->setObjectName("lstCallStack");
    m_modules = buildList(report.moduleRows, moduleHeaders);
    m_modules->setObjectName("lstModules");
    for (int i = 0; i < 6; ++i) m_modules->setColumnWidth(i, m_placement.columns[i]);
    m_tabs->addTab(buildPage(shown(t[txtGeneralInformation]), memo(report.generalText(), "memGeneral")), shown(t[txtGeneral]));
    m_tabs->addTab(buildPage(shown(t[txtCallStackInformation]), stack), shown(t[txtCallStack]));
    m_tabs->addTab(buildPage(shown(t[txtModulesInformation]), m_modules), shown(t[txtModules]));
    m_tabs->addTab(buildPage(shown(t[txtCPUInformation]), memo(report.cpuText(), "memCPU")), shown(t[txtCPU]));
    m_tabs->hide();
    layout->addWidget(m_tabs, 1);

    m_send = new QCheckBox(shown(t[txtSendEmail]));
    m_send->setObjectName("chkSend");
    m_send->setChecked(options.SendMethod != smNone);
    m_screenshot = new QCheckBox(shown(t[txtAttachScreenshot]));
    m_screenshot->setObjectName("chkScreenshot");
    m_screenshot->setChecked(options.AttachScreenshot);
    m_clipboard = new QCheckBox(shown(t[txtCopyToClipboard]));
    m_clipboard->setObjectName("chkClipboard");
    layout->addWidget(m_send);
    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(m_screenshot);
    layout->addLayout(indented);
    layout->addWidget(m_clipboard);

    auto* ok = new QPushButton(shown(t[txtOK]));
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    auto* details = new QPushButton(shown(t[txtDetails]));
    details->setObjectName("btnDetails");
    auto* third = new QPushButton(shown(t[options.RestartOnKill ? txtRestart : txtTerminate]));
    third->setObjectName(options.RestartOnKill ? "btnRestart" : "btnTerminate");
    third->setVisible(report.thirdButton);
    int width = kMinimumButtonWidth;
    for (int id = txtOK; id <= txtDetails; ++id)
        width = std::max(width, fontMetrics().horizontalAdvance(shown(t[id]).remove('&') + "W") + 12);
    for (QPushButton* button : {ok, details, third}) button->setFixedWidth(width);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(third);
    buttons->addWidget(details);
    buttons->addWidget(ok);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(details, &QPushButton::clicked, this, &TQuillErrorDialog::toggleDetails);
    connect(third, &QPushButton::clicked, this, [this] {
        m_thirdPressed = true;
        accept();
    });
    resize(m_placement.width, sizeHint().height());
    if (m_placement.left >= 0 && m_placement.top >= 0) move(m_placement.left, m_placement.top);
}

QWidget* TQuillErrorDialog::buildPage(const QString& heading, QWidget* content) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* title = new QLabel(heading);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(new QLabel("Informations"));
    layout->addWidget(content, 1);
    return page;
}

QTreeWidget* TQuillErrorDialog::buildList(const std::vector<std::array<std::string, 6>>& rows, const int (&headers)[6]) {
    auto* list = new QTreeWidget;
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    QStringList labels;
    for (int id : headers) labels << shown(m_options.CustomTexts[id]);
    list->setHeaderLabels(labels);
    for (const auto& row : rows) {
        QStringList cells;
        for (const std::string& cell : row) cells << QString::fromLocal8Bit(cell);
        list->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    return list;
}

void TQuillErrorDialog::toggleDetails() {
    const bool show = m_tabs->isHidden();
    m_tabs->setVisible(show);
    if (show) {
        resize(std::max(width(), m_placement.width), m_placement.height);
    } else {
        m_placement.height = height();
        resize(width(), minimumSizeHint().height());
    }
}

void TQuillErrorDialog::done(int code) {
    m_placement.left = x();
    m_placement.top = y();
    m_placement.width = width();
    if (!m_tabs->isHidden()) m_placement.height = height();
    for (int i = 0; i < 6; ++i) m_placement.columns[i] = m_modules->columnWidth(i);
    m_placement.save();
    QDialog::done(code);
}

TDialogResult TQuillErrorDialog::result() const {
    TDialogResult r;
    r.send = m_send->isChecked();
    r.screenshot = m_screenshot->isChecked();
    r.clipboard = m_clipboard->isChecked();
    r.thirdButton = m_thirdPressed;
    return r;
}

TQuillRequestDialog::TQuillRequestDialog(const TQuillModuleOptionsEx& options, QWidget* parent) : QDialog(parent) {
    const TCustomTexts& t = options.CustomTexts;
    setObjectName("REQUEST");
    setWindowTitle(shown(t[txtRequest]));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(shown(t[txtDescribeSteps]));
    label->setObjectName("lblSteps");
    layout->addWidget(label);
    auto* edit = new QPlainTextEdit;
    edit->setObjectName("edtSteps");
    layout->addWidget(edit, 1);
    auto* ok = new QPushButton(shown(t[txtRequestOK]));
    ok->setObjectName("btnRequestOK");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    resize(420, 260);
}

std::string TQuillRequestDialog::steps() const {
    return findChild<QPlainTextEdit*>("edtSteps")->toPlainText().toLocal8Bit().toStdString();
}

namespace {

class TQtReporterGui : public TReporterGui {
public:
    bool isGuiThread() const override { return qApp && QThread::currentThread() == qApp->thread(); }

    void postToGui(std::function<void()> work) override {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    }

    TActiveControls activeControls() override {
        TActiveControls c;
        if (QWidget* form = QApplication::activeWindow()) {
            c.formClass = form->metaObject()->className();
            c.formText = form->windowTitle().toLocal8Bit().toStdString();
        }
        if (QWidget* control = QApplication::focusWidget()) {
            c.controlClass = control->metaObject()->className();
            const QVariant text = control->property("text");
            if (text.isValid()) c.controlText = text.toString().toLocal8Bit().toStdString();
        }
        return c;
    }

    bool showDialog(const TReport& report, const TQuillModuleOptionsEx& options, TDialogResult& result) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
        TQuillErrorDialog dialog(report, options, QApplication::activeWindow());
        dialog.exec();
        result = dialog.result();
        return true;
    }

    std::string askSteps(const TQuillModuleOptionsEx& options) override {
        TQuillRequestDialog dialog(options, QApplication::activeWindow());
        dialog.exec();
        return dialog.steps();
    }

    void copyToClipboard(const std::string& text) override {
        QGuiApplication::clipboard()->setText(QString::fromLocal8Bit(text));
    }

    bool saveScreenshot(const std::string& path) override {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return false;
        const QPixmap picture = screen->grabWindow(0);
        return !picture.isNull() && picture.save(QString::fromLocal8Bit(path), "PNG");
    }
};

TQtReporterGui* g_gui = nullptr;

}  // namespace

void installErrorDialog() {
    if (!g_gui) g_gui = new TQtReporterGui;
    if (TExceptionLog* log = TExceptionLog::instance()) log->setGui(g_gui);
}

void removeErrorDialog() {
    if (TExceptionLog* log = TExceptionLog::instance()) log->setGui(nullptr);
}

}  // namespace crashreport
