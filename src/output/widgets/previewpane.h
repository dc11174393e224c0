#pragma once

#include "output/preview/previewchoice.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace mosaiq {

class Desktop;
class NativePreview;
class PageRecord;

// The "Aperçu" tab: the web engine `web1` shows the page as a browser does, as long as the page
// is small enough for it; a larger page, or one the web engine failed to show, is shown by the
// native preview under a thin bar that says why and offers to open the page in the user's own
// browser. Both get French context menus.
class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(Desktop& desktop, QWidget* parent = nullptr);
    ~PreviewPane() override;

    QWebEngineView* web() const { return m_web; }
    NativePreview* native() const { return m_native; }

    // The place of the preview in the pane: the web engine fills it, the bar and the native
    // preview share it.
    void setPreviewGeometry(const QRect& rect);

    // Shows the page at path. record describes what it holds and decides which preview shows
    // it; without one (no run yet) the file's size decides and the native preview, having
    // nothing to draw from, only says why.
    void showPage(const QString& path, std::shared_ptr<const PageRecord> record);

    PreviewKind shown() const { return m_shown; }
    // What the bar says; empty while the web engine shows the page.
    QString notice() const;

private:
    void initBar();
    void initWeb();
    void initNative();
    void showWeb(const QUrl& url);
    void showNative(const char* why);
    void webLoadingChanged(const QWebEngineLoadingInfo& info);
    void webContextMenu(const QPoint& position);
    void openInBrowser();
    void showZoom();

    Desktop& m_desktop;
    QWebEngineView* m_web = nullptr;
    QWidget* m_bar = nullptr;
    QLabel* m_notice = nullptr;
    QLabel* m_zoom = nullptr;
    QPushButton* m_open = nullptr;
    NativePreview* m_native = nullptr;
    QUrl m_url;
    std::shared_ptr<const PageRecord> m_record;
    PreviewKind m_shown = PreviewKind::Web;
};

} // namespace mosaiq
