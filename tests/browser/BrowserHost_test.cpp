// The image view against scripted HTTP peers on 127.0.0.1: pictures drawn,
// text lines for the rest, refused addresses, bounds and its own cookies.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QPainter>
#include <atomic>
#include <map>

#include "ExpectThrow.h"
#include "GIFTestEncoder.h"
#include "HTTPTestServer.h"
#include "QtTestApp.h"
#include "browser/BrowserHost.h"
#include "browser/PictureAnswer.h"

using namespace browser;
using httptest::Conn;
using httptest::HTTPTestServer;

namespace {

const QColor kRed(220, 20, 30), kBlue(20, 40, 210);

// width x height, the left half red, the right half blue.
QImage twoHalves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, kRed);
    painter.fillRect(width / 2, 0, width - width / 2, height, kBlue);
    return image;
}

std::string encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes.toStdString();
}

// Two frames: the first red | blue halves, the second all green.
std::string twoFrameGif(int width, int height) {
    testgif::Gif gif;
    gif.width = width;
    gif.height = height;
    gif.globalTable = {{220, 20, 30}, {20, 40, 210}, {0, 255, 0}, {0, 0, 0}};  // kRed, kBlue, green, black
    testgif::Frame first;
    first.width = width;
    first.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) first.pixels.push_back(x < width / 2 ? 0 : 1);
    testgif::Frame second = first;
    std::fill(second.pixels.begin(), second.pixels.end(), 2);
    second.delay = 10;
    gif.frames = {first, second};
    return testgif::encode(gif);
}

bool near(QColor a, QColor b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string pathOf(const std::string& head) {
    const std::string line = httptest::requestLine(head);
    const size_t from = line.find(' ') + 1;
    return line.substr(from, line.find(' ', from) - from);
}

std::string headerOf(const std::string& head, const std::string& name) {
    const size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const size_t from = at + name.size() + 4;
    return head.substr(from, head.find("\r\n", from) - from);
}

// Counts a view's loadFinished signals.
struct FinishedCount {
    explicit FinishedCount(TBrowserHost* view)
        : connection(QObject::connect(view, &TBrowserHost::loadFinished, [this] { ++count; })) {}
    ~FinishedCount() { QObject::disconnect(connection); }
    QMetaObject::Connection connection;
    int count = 0;
};

// Answers each path with a fixed response, one request per connection.
class Peer {
public:
    using Handler = std::function<void(Conn&, const std::string& head)>;
    explicit Peer(std::map<std::string, Handler> routes)
        : m_routes(std::move(routes)), m_server([this](Conn& c) {
              const std::string head = c.readHead();
              if (head.empty()) return;
              const auto route = m_routes.find(pathOf(head));
              if (route == m_routes.end())
                  c.send(httptest::response("HTTP/1.1 404 Not Found", "Connection: close\r\n", "no such page"));
              else
                  route->second(c, head);
          }) {}
    QString url(const std::string& path) const { return QString::fromStdString(m_server.url(path)); }
    std::vector<std::string> requests() const { return m_server.requests(); }

private:
    std::map<std::string, Handler> m_routes;
    HTTPTestServer m_server;
};

Peer::Handler answer(const std::string& contentType, const std::string& body, const std::string& extra = {}) {
    return [=](Conn& c, const std::string&) {
        c.send(httptest::response("HTTP/1.1 200 OK", "Content-Type: " + contentType + "\r\nConnection: close\r\n" + extra, body));
    };
}

Peer::Handler redirectTo(const std::string& location, const std::string& extra = {}) {
    return [=](Conn& c, const std::string&) {
        c.send(httptest::response("HTTP/1.1 302 Found", "Location: " + location + "\r\nConnection: close\r\n" + extra, ""));
    };
}

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(400, 200);
        view = new TBrowserHost(&window);
        view->setGeometry(16, 32, 345, 137);
        window.show();
    }
    // Navigates and waits for the load to end.
    void load(const QString& url) {
        view->Navigate(url);
        ASSERT_TRUE(testsupport::processEventsUntil([&] { return !view->isLoading(); })) << url.toStdString();
    }
    QColor shown(QPoint at) { return view->grab().toImage().pixelColor(at); }

    QApplication& application = testsupport::ensureQtApp();  // before any widget
    QWidget window;
    TBrowserHost* view = nullptr;
};

}  // namespace

TEST_F(BrowserHostTest, DrawsEachPictureFormatScaledKeepingItsAspect) {
    const QImage halves = twoHalves(200, 100);
    Peer peer({{"/a.png", answer("image/png", encoded(halves, "PNG"))},
               {"/a.jpg", answer("image/jpeg", encoded(halves, "JPG"))},
               {"/a.bmp", answer("application/octet-stream", encoded(halves, "BMP"))},
               {"/a.gif", answer("text/plain", twoFrameGif(200, 100))}});
    for (const char* path : {"/a.png", "/a.jpg", "/a.bmp", "/a.gif"}) {
        SCOPED_TRACE(path);
        load(peer.url(path));
        ASSERT_FALSE(view->picture().isNull()) << view->messageText().toStdString();
        EXPECT_EQ(view->picture().size(), QSize(200, 100));
        EXPECT_TRUE(view->messageText().isEmpty());
        // Scaled to the full height of the view's inside, so twice as wide, centred.
        const QRect area = view->contentsRect();
        const int half = area.height();  // the picture's drawn width / 2
        const int cy = area.center().y(), cx = area.center().x();
        EXPECT_TRUE(near(shown({cx - half / 2, cy}), kRed)) << shown({cx - half / 2, cy}).name().toStdString();
        EXPECT_TRUE(near(shown({cx + half / 2, cy}), kBlue)) << shown({cx + half / 2, cy}).name().toStdString();
        EXPECT_TRUE(near(shown({cx - half + 3, area.top() + 3}), kRed));
        EXPECT_TRUE(near(shown({cx + half - 4, area.bottom() - 3}), kBlue));
        // Left and right of it the background shows.
        for (const QPoint outside : {QPoint(area.left() + 4, cy), QPoint(area.right() - 4, cy)}) {
            EXPECT_FALSE(near(shown(outside), kRed));
            EXPECT_FALSE(near(shown(outside), kBlue));
        }
    }
    // The GIF shows its first frame, never the green second one.
    EXPECT_FALSE(near(shown(view->contentsRect().center() - QPoint(30, 0)), QColor(0, 255, 0)));
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const std::string& head : requests) EXPECT_EQ(headerOf(head, "User-Agent"), "Tessaly image view 1.0");
}

TEST_F(BrowserHostTest, ATallPictureIsFittedToTheHeightAndASmallOneEnlarged) {
    Peer peer({{"/tall.png", answer("image/png", encoded(twoHalves(40, 400), "PNG"))},
               {"/tiny.png", answer("image/png", encoded(twoHalves(4, 1), "PNG"))}});
    load(peer.url("/tall.png"));
    const QRect area = view->contentsRect();
    const int drawnWidth = area.height() * 40 / 400;
    EXPECT_TRUE(near(shown({area.center().x() - drawnWidth / 4, area.top() + 2}), kRed));
    EXPECT_TRUE(near(shown({area.center().x() + drawnWidth / 4, area.bottom() - 2}), kBlue));
    EXPECT_FALSE(near(shown({area.center().x() - drawnWidth, area.center().y()}), kRed));
    load(peer.url("/tiny.png"));
    // 4 x 1 fills the width: 341 wide, 85 high, centred vertically.
    EXPECT_TRUE(near(shown({area.left() + area.width() / 4, area.center().y()}), kRed, 60));
    EXPECT_TRUE(near(shown({area.right() - area.width() / 4, area.center().y()}), kBlue, 60));
    EXPECT_FALSE(near(shown({area.left() + area.width() / 4, area.top() + 3}), kRed, 60));
}

TEST_F(BrowserHostTest, ShowsATextLineForAnswersThatAreNoPicture) {
    Peer peer({{"/page", answer("image/png", "<html><body>hello</body></html>")},
               {"/svg", answer("image/svg+xml", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>")},
               {"/empty", answer("image/png", "")},
               {"/broken.png", answer("image/png", encoded(twoHalves(50, 50), "PNG").substr(0, 40))},
               {"/loop", redirectTo("/loop")},
               {"/tofile", redirectTo("file:///etc/passwd")},
               {"/error", [](Conn& c, const std::string&) {
                    c.send(httptest::response("HTTP/1.1 500 Oops", "Connection: close\r\n", encoded(twoHalves(8, 8), "PNG")));
                }}});
    const std::pair<const char*, const char*> cases[] = {
        {"/page", "The answer is not a picture."},
        {"/svg", "The answer is not a picture."},
        {"/empty", "The answer is empty."},
        {"/broken.png", "The picture cannot be read."},
        {"/missing", "The picture could not be loaded: HTTP status 404."},
        {"/error", "The picture could not be loaded: HTTP status 500."},
        {"/loop", "The picture's address redirects too often."},
        {"/tofile", "The picture's address leads to an address that is not http or https."},
    };
    for (const auto& [path, text] : cases) {
        FinishedCount finished(view);
        load(peer.url(path));
        EXPECT_EQ(view->messageText().toStdString(), text) << path;
        EXPECT_TRUE(view->picture().isNull()) << path;
        EXPECT_EQ(finished.count, 1) << path;
    }
    // The loop was followed kMaxRedirects times, then given up.
    int loops = 0;
    for (const std::string& head : peer.requests()) loops += pathOf(head) == "/loop";
    EXPECT_EQ(loops, kMaxRedirects + 1);
    // The text is drawn: some pixels of the inside differ from the background.
    const QImage drawn = view->grab().toImage();
    const QColor background = drawn.pixelColor(view->contentsRect().topLeft() + QPoint(2, 2));
    int differing = 0;
    for (int x = 0; x < drawn.width(); ++x) differing += drawn.pixelColor(x, view->contentsRect().center().y()) != background;
    EXPECT_GT(differing, 10);
}

TEST_F(BrowserHostTest, AnUnreachableAddressIsATextLine) {
    const int port = nettest::unusedPort();
    load(QString("http://127.0.0.1:%1/x.png").arg(port));
    EXPECT_TRUE(view->messageText().startsWith("The picture could not be loaded: ")) << view->messageText().toStdString();
}

TEST_F(BrowserHostTest, RefusesEveryAddressButHttpAndHttps) {
    Peer peer({{"/a.png", answer("image/png", encoded(twoHalves(20, 10), "PNG"))}});
    load(peer.url("/a.png"));
    ASSERT_FALSE(view->picture().isNull());
    for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "ftp://127.0.0.1/a.png",
                                "data:image/png;base64,iVBORw0KGgo=", "/captcha?id=7", "captcha.png", "http://",
                                "http:///a.png", "about:blank", " http://127.0.0.1/a.png"}) {
        SCOPED_TRACE(address);
        testsupport::expectThrowWith<EBrowserHostError>([&] { view->Navigate(address); },
                                                         std::string("Navigate refused the address \"") + address +
                                                             "\": only http and https addresses are shown.");
        EXPECT_FALSE(view->isLoading());
        EXPECT_TRUE(view->picture().isNull()) << "what was shown is dropped";
        EXPECT_TRUE(view->url().isEmpty());
    }
    EXPECT_EQ(peer.requests().size(), 1u);
    // Upper-case schemes are schemes all the same.
    load(peer.url("/a.png").replace("http://", "HTTP://"));
    EXPECT_FALSE(view->picture().isNull());
    // An empty address shows nothing and loads nothing.
    FinishedCount finished(view);
    view->Navigate("");
    EXPECT_FALSE(view->isLoading());
    EXPECT_TRUE(view->picture().isNull());
    EXPECT_TRUE(view->messageText().isEmpty());
    EXPECT_EQ(finished.count, 0);
    const QImage drawn = view->grab().toImage();
    const QColor background = drawn.pixelColor(view->contentsRect().center());
    for (int x = view->contentsRect().left(); x <= view->contentsRect().right(); x += 7)
        EXPECT_EQ(drawn.pixelColor(x, view->contentsRect().center().y()), background);
}

TEST_F(BrowserHostTest, OversizedAnswersAreRefusedUndecoded) {
    std::atomic<size_t> bigSent{0}, endlessSent{0};
    Peer peer({{"/big.png", [&](Conn& c, const std::string&) {
                    // Announces 100 MB of picture and keeps sending until the view hangs up.
                    c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 104857600\r\n\r\n");
                    const std::string piece = encoded(twoHalves(8, 8), "PNG") + std::string(65536, '\0');
                    while (bigSent < (size_t{100} << 20) && c.send(piece)) bigSent += piece.size();
                }},
               {"/endless", [&](Conn& c, const std::string&) {
                    c.send("HTTP/1.1 200 OK\r\nContent-Type: image/bmp\r\nTransfer-Encoding: chunked\r\n\r\n");
                    const std::string piece(65536, 'B');
                    char size[16];
                    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                    while (endlessSent < (size_t{200} << 20) && c.send(size + piece + "\r\n")) endlessSent += piece.size();
                }}});
    load(peer.url("/big.png"));
    EXPECT_EQ(view->messageText(), "The answer is larger than 16 MiB and is not shown.");
    load(peer.url("/endless"));
    EXPECT_EQ(view->messageText(), "The answer is larger than 16 MiB and is not shown.");
    EXPECT_GE(endlessSent.load(), size_t{15} << 20);
    EXPECT_LT(endlessSent.load(), size_t{64} << 20) << "the view hung up soon after the bound";
    EXPECT_LT(bigSent.load(), size_t{64} << 20);
}

TEST_F(BrowserHostTest, TooManyPixelsAreRefusedFromTheHeader) {
    // A PNG whose header claims 8001 x 8000 pixels; the rest is a small picture's.
    std::string png = encoded(twoHalves(10, 10), "PNG");
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
    };
    put32(16, 8001);
    put32(20, 8000);
    uint32_t crc = 0xFFFFFFFF;  // over the chunk type and data, as PNG wants
    for (size_t i = 12; i < 29; ++i) {
        crc ^= static_cast<uint8_t>(png[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    put32(29, ~crc);
    const TPictureAnswer answer = decodePictureAnswer(QByteArray::fromStdString(png));
    EXPECT_TRUE(answer.picture.isNull());
    EXPECT_EQ(answer.message, "The picture has more than 64 megapixels and is not shown.");
    // Within the bound Qt's own allocation guard does not refuse what ours allows.
    const QImage large(6000, 6000, QImage::Format_RGB32);  // 36 MP, 144 MB decoded
    QImage filled = large;
    filled.fill(kBlue);
    const TPictureAnswer big = decodePictureAnswer(QByteArray::fromStdString(encoded(filled, "PNG")));
    ASSERT_FALSE(big.picture.isNull()) << big.message.toStdString();
    EXPECT_EQ(big.picture.size(), QSize(6000, 6000));
}

TEST_F(BrowserHostTest, KeepsItsOwnCookies) {
    const std::string png = encoded(twoHalves(20, 10), "PNG");
    Peer peer({{"/start", redirectTo("/image", "Set-Cookie: view=abc123; Path=/\r\n")},
               {"/image", [&](Conn& c, const std::string& head) {
                    if (headerOf(head, "Cookie") == "view=abc123")
                        answer("image/png", png)(c, head);
                    else
                        c.send(httptest::response("HTTP/1.1 403 Forbidden", "Connection: close\r\n", "no cookie"));
                }}});
    load(peer.url("/start"));
    EXPECT_FALSE(view->picture().isNull()) << view->messageText().toStdString();
    EXPECT_EQ(view->cookieJar()->cookiesForUrl(QUrl(peer.url("/image"))).size(), 1);
    // A second view starts without them.
    TBrowserHost other(&window);
    EXPECT_TRUE(other.cookieJar()->cookiesForUrl(QUrl(peer.url("/image"))).isEmpty());
    other.Navigate(peer.url("/image"));
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return !other.isLoading(); }));
    EXPECT_EQ(other.messageText(), "The picture could not be loaded: HTTP status 403.");
}

TEST_F(BrowserHostTest, ANewAddressDropsTheLoadBeforeIt) {
    const std::string png = encoded(twoHalves(20, 10), "PNG");
    Peer peer({{"/slow", [&](Conn& c, const std::string&) {
                    c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(png.size()) + "\r\n\r\n");
                    c.drip(png, 50);
                }},
               {"/fast", answer("image/png", png)}});
    FinishedCount finished(view);
    view->Navigate(peer.url("/slow"));
    EXPECT_TRUE(view->isLoading());
    EXPECT_EQ(view->messageText(), "Loading...");
    testsupport::processEventsUntil([] { return false; }, 300);
    load(peer.url("/fast"));
    EXPECT_FALSE(view->picture().isNull());
    EXPECT_EQ(finished.count, 1);
    EXPECT_EQ(view->url(), QUrl(peer.url("/fast")));
    // The view going away mid-load is quiet too.
    auto* doomed = new TBrowserHost(&window);
    doomed->Navigate(peer.url("/slow"));
    testsupport::processEventsUntil([] { return false; }, 100);
    delete doomed;
    testsupport::processEventsUntil([] { return false; }, 100);
}
