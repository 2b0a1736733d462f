#include "browser/BrowserHost.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>

#include "browser/PictureAnswer.h"

namespace browser {

namespace {

// Bytes Qt may hold for the view before it reads them.
constexpr qint64 kReadBufferBytes = qint64{1} << 20;

// The view's texts.
const char* const kLoading = "Loading...";
const char* const kTooLarge = "The answer is larger than 16 MiB and is not shown.";
const char* const kNotWebRedirect = "The picture's address leads to an address that is not http or https.";
const char* const kTooManyRedirects = "The picture's address redirects too often.";
const char* const kTimedOut = "The picture did not arrive in time.";
const char* const kHttpStatus = "The picture could not be loaded: HTTP status %1.";
const char* const kNotLoaded = "The picture could not be loaded: %1";

bool isWebScheme(const QString& scheme) { return scheme == "http" || scheme == "https"; }

QString shortened(QString text) {
    text.replace('\r', ' ').replace('\n', ' ');
    if (text.size() > kMaxMessageChars) text = text.left(kMaxMessageChars - 3) + "...";
    return text;
}

QString failureText(const QNetworkReply& reply) {
    switch (reply.error()) {
        case QNetworkReply::TooManyRedirectsError: return kTooManyRedirects;
        case QNetworkReply::OperationCanceledError: return kTimedOut;  // only the transfer time-out cancels
        default: break;
    }
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) return QString(kHttpStatus).arg(status);
    return QString(kNotLoaded).arg(reply.errorString());
}

}  // namespace

// --- TBrowserHostBase ---

TBrowserHostBase::TBrowserHostBase(QWidget* parent) : QFrame(parent), m_network(new QNetworkAccessManager(this)) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    m_network->setCookieJar(new QNetworkCookieJar(m_network));  // the manager owns it
}

TBrowserHostBase::~TBrowserHostBase() { dropLoad(); }

QNetworkCookieJar* TBrowserHostBase::cookieJar() const { return m_network->cookieJar(); }

void TBrowserHostBase::Navigate(const QString& url) {
    dropLoad();
    m_url.clear();
    m_picture = QImage();
    m_scaled = QImage();
    m_message.clear();
    update();
    if (url.isEmpty()) return;
    const QUrl target(url);
    if (!target.isValid() || !isWebScheme(target.scheme()) || target.host().isEmpty())
        throw EBrowserHostError("Navigate refused the address \"" + shortened(url).toStdString() +
                                "\": only http and https addresses are shown.");
    m_url = target;
    m_redirects = 0;
    m_message = kLoading;
    startRequest(target);
}

// Redirects are followed here, not by Qt: each target is checked before any
// request goes to it.
void TBrowserHostBase::startRequest(const QUrl& target) {
    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, requestUserAgent());
    request.setTransferTimeout(kTransferTimeoutMs);
    m_body.clear();
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(kReadBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &TBrowserHostBase::replyMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &TBrowserHostBase::replyReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &TBrowserHostBase::replyFinished);
}

// Ends the running load without a word: its reply says nothing more.
void TBrowserHostBase::dropLoad() {
    if (!m_reply) return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    m_body.clear();
}

void TBrowserHostBase::endLoad(const QImage& picture, const QString& message) {
    dropLoad();
    m_picture = picture;
    m_scaled = QImage();
    m_message = picture.isNull() ? shortened(message) : QString();
    update();
    emit loadFinished();
}

void TBrowserHostBase::replyMetaDataChanged() {
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400) return;  // a redirect's own body is not the answer
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > kMaxPictureBytes)
        endLoad({}, kTooLarge);
}

void TBrowserHostBase::replyReadyRead() {
    if (m_body.size() + m_reply->bytesAvailable() > kMaxPictureBytes) {
        endLoad({}, kTooLarge);
        return;
    }
    m_body += m_reply->readAll();
}

// True when the finished reply was a redirect, now followed or refused.
bool TBrowserHostBase::followRedirect() {
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl location = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (status < 300 || status >= 400 || location.isEmpty()) return false;
    const QUrl target = m_reply->url().resolved(location);
    if (!isWebScheme(target.scheme()) || target.host().isEmpty()) {
        endLoad({}, kNotWebRedirect);
    } else if (++m_redirects > kMaxRedirects) {
        endLoad({}, kTooManyRedirects);
    } else {
        dropLoad();
        startRequest(target);
    }
    return true;
}

void TBrowserHostBase::replyFinished() {
    if (followRedirect()) return;
    if (m_reply->error() != QNetworkReply::NoError) {
        endLoad({}, failureText(*m_reply));
        return;
    }
    m_body += m_reply->readAll();
    if (m_body.size() > kMaxPictureBytes) {
        endLoad({}, kTooLarge);
        return;
    }
    const TPictureAnswer answer = decodePictureAnswer(m_body);
    endLoad(answer.picture, answer.message);
}

void TBrowserHostBase::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    if (!m_picture.isNull()) {
        const QSize size = m_picture.size().scaled(area.size(), Qt::KeepAspectRatio);
        // Scaled once per size: a large picture is not filtered again on every repaint.
        if (m_scaled.size() != size) m_scaled = m_picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                          m_scaled);
        return;
    }
    if (m_message.isEmpty()) return;
    painter.setPen(palette().color(QPalette::Text));
    const QString line = painter.fontMetrics().elidedText(m_message, Qt::ElideRight, area.width() - 8);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, line);
}

// --- TCustomBrowserHost ---

TCustomBrowserHost::TCustomBrowserHost(QWidget* parent) : TBrowserHostBase(parent), m_userAgent(creditText()) {
    setDownloadOptions(kDefaultDownloadOptions);
    setUserInterfaceOptions(kDefaultUserInterfaceOptions);
}

void TCustomBrowserHost::setDownloadOptions(TDownloadControlOptions options) {
    m_downloadOptions = options;
    m_downloadControlValue = browser::downloadControlValue(options);
}

void TCustomBrowserHost::setUserInterfaceOptions(TUserInterfaceOptions options) {
    m_userInterfaceOptions = options;
    m_userInterfaceValue = browser::userInterfaceValue(options);
}

QString TCustomBrowserHost::creditText() { return "Tessaly image view 1.0"; }

QByteArray TCustomBrowserHost::requestUserAgent() const {
    // A header value holds no line breaks or other control bytes.
    QByteArray value = (m_userAgent.isEmpty() ? creditText() : m_userAgent).toUtf8();
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return value;
}

// --- TBrowserHost ---

TBrowserHost::TBrowserHost(QWidget* parent) : TCustomBrowserHost(parent) {}

}  // namespace browser
