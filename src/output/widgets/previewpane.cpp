#include "output/widgets/previewpane.h"

#include "output/painting/pagefont.h"
#include "output/preview/pagerecord.h"
#include "output/widgets/nativepreview.h"
#include "platform/desktop.h"
#include "wording/previewwords.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace mosaiq {

namespace {

    constexpr int BarHeight = 20;
    // What the web engine takes from memory: its limit is 2 MB once percent-encoded, which
    // makes a page about three fifths larger. The pages it is given stay under a megabyte (see
    // previewchoice.h).
    constexpr qint64 LargestContent = 1'200'000;

    QString words(const char* text)
    {
        return QString::fromUtf8(text);
    }

} // namespace

PreviewPane::PreviewPane(Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , m_desktop(desktop)
{
    initWeb();
    initBar();
    initNative();
}

PreviewPane::~PreviewPane() = default;

void PreviewPane::initWeb()
{
    m_web = new QWebEngineView(this);
    m_web->setObjectName(QStringLiteral("web1"));
    // The page asks for Verdana; where the system has none the web engine would fall back to a
    // serif face, unlike the page's look and unlike the native preview.
    const QString family = pageFamily();
    if (family != QLatin1String("Verdana")) {
        QWebEngineSettings* settings = m_web->settings();
        settings->setFontFamily(QWebEngineSettings::StandardFont, family);
        settings->setFontFamily(QWebEngineSettings::SansSerifFont, family);
    }
    m_web->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_web, &QWidget::customContextMenuRequested, this, &PreviewPane::webContextMenu);
    connect(m_web->page(), &QWebEnginePage::loadingChanged, this, &PreviewPane::webLoadingChanged);
    connect(m_web->page(), &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            if (status != QWebEnginePage::NormalTerminationStatus && m_shown == PreviewKind::Web)
                showNative(previewwords::EngineStopped);
        });
}

void PreviewPane::initBar()
{
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("previewBar"));
    m_bar->setAutoFillBackground(true);
    QPalette palette = m_bar->palette();
    palette.setColor(QPalette::Window, QColor(255, 244, 206));
    m_bar->setPalette(palette);
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(6, 0, 2, 0);
    layout->setSpacing(8);
    m_notice = new QLabel(m_bar);
    m_notice->setObjectName(QStringLiteral("previewNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_zoom = new QLabel(m_bar);
    m_zoom->setObjectName(QStringLiteral("previewZoom"));
    m_open = new QPushButton(words(previewwords::OpenInBrowser), m_bar);
    m_open->setObjectName(QStringLiteral("previewOpen"));
    layout->addWidget(m_notice, 1);
    layout->addWidget(m_zoom);
    layout->addWidget(m_open);
    connect(m_open, &QPushButton::clicked, this, &PreviewPane::openInBrowser);
    m_bar->hide();
}

void PreviewPane::initNative()
{
    m_native = new NativePreview(this);
    m_native->setObjectName(QStringLiteral("nativePreview"));
    m_native->hide();
    connect(m_native, &NativePreview::openInBrowserRequested, this, &PreviewPane::openInBrowser);
    connect(m_native, &NativePreview::zoomChanged, this, &PreviewPane::showZoom);
}

void PreviewPane::setPreviewGeometry(const QRect& rect)
{
    // A desktop set for large text makes the bar's words taller than its usual height.
    const int barHeight = std::max(BarHeight, m_bar->fontMetrics().height() + 8);
    m_web->setGeometry(rect);
    m_bar->setGeometry(rect.left(), rect.top(), rect.width(), barHeight);
    m_native->setGeometry(
        rect.left(), rect.top() + barHeight, rect.width(), std::max(0, rect.height() - barHeight));
}

void PreviewPane::showPage(const QString& path, std::shared_ptr<const PageRecord> record)
{
    m_url = QUrl::fromLocalFile(path);
    m_record = std::move(record);
    const QFileInfo file(path);
    if (!file.isFile()) {
        // Deleted since the run (or no run yet): what the run wrote is still known.
        showNative(m_record ? previewwords::PageMissing : previewwords::NothingToShow);
        return;
    }
    const PreviewKind kind
        = m_record ? previewKindFor(*m_record) : previewKindForFileSize(file.size());
    if (kind == PreviewKind::Web)
        showWeb(m_url);
    else
        showNative(m_record ? previewwords::PageTooLarge : previewwords::TooLargeToDraw);
}

void PreviewPane::showWeb(const QUrl& url)
{
    m_shown = PreviewKind::Web;
    m_native->setPage(nullptr);
    m_bar->hide();
    m_native->hide();
    m_web->show();
    // The page declares no encoding and its bytes are Windows-1252 (see pageCharacter). Read
    // from its file, the web engine guesses the encoding from the bytes, whatever its default
    // says, and takes a page of "Ça va" for a Macintosh one: it is handed the bytes with their
    // encoding instead, under the file's address.
    QFile file(url.toLocalFile());
    if (file.open(QIODevice::ReadOnly) && file.size() <= LargestContent)
        m_web->setContent(file.readAll(), QByteArrayLiteral("text/html;charset=windows-1252"), url);
    else
        m_web->load(url);
    // Every run shows the same file again; a history of it would only grow.
    m_web->history()->clear();
}

void PreviewPane::showNative(const char* why)
{
    const bool wasWeb = m_shown == PreviewKind::Web;
    m_shown = PreviewKind::Native;
    m_notice->setText(words(why));
    m_native->setPage(m_record);
    m_web->hide();
    m_bar->show();
    m_native->show();
    // The web engine lets go of what it held of an earlier page.
    if (wasWeb)
        m_web->setUrl(QUrl(QStringLiteral("about:blank")));
}

QString PreviewPane::notice() const
{
    return m_shown == PreviewKind::Native ? m_notice->text() : QString();
}

void PreviewPane::webLoadingChanged(const QWebEngineLoadingInfo& info)
{
    // A load stopped by the next one is no failure; one that failed leaves the web engine with
    // an error page, or a blank one.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && m_shown == PreviewKind::Web
        && info.url() == m_url)
        showNative(previewwords::LoadFailed);
}

void PreviewPane::webContextMenu(const QPoint& position)
{
    QMenu menu(this);
    // The page is read again as after a run, so that one deleted meanwhile is told.
    menu.addAction(
        words(previewwords::Reload), this, [this] { showPage(m_url.toLocalFile(), m_record); });
    QAction* copy = menu.addAction(words(previewwords::Copy), this,
        [this] { m_web->triggerPageAction(QWebEnginePage::Copy); });
    copy->setEnabled(m_web->hasSelection());
    menu.addSeparator();
    menu.addAction(words(previewwords::OpenInBrowser), this, &PreviewPane::openInBrowser);
    menu.exec(m_web->mapToGlobal(position));
}

void PreviewPane::openInBrowser()
{
    if (m_url.isEmpty() || !m_desktop.openUrl(m_url))
        m_desktop.showInformation(
            window(), window()->windowTitle(), words(previewwords::BrowserFailed));
}

void PreviewPane::showZoom()
{
    const PreviewZoom zoom = m_native->zoom();
    m_zoom->setText(zoom.fit ? words(previewwords::ZoomFitted)
                             : words(previewwords::ZoomPercent).arg(qRound(zoom.factor * 100)));
}

} // namespace mosaiq
