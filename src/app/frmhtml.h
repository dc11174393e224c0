#pragma once

#include "app/conversionsession.h"
#include "app/layoutscale.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <array>
#include <string>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWebEngineView;

namespace mosaiq {

class CodePane;
class ColourSwatch;
class Desktop;
class LinkLabel;
class ModeCheckBox;
class PictureBox;
class PreviewPane;

// The program's one window, the view of a ConversionSession. The controls are its state: every
// option of a run is read from them by name when the run asks for it, so they are found by their
// object names too (tests do that). Everything that would wait for the user or leave the program
// goes through the Desktop.
class FrmHTML : public QWidget, private RunSettings {
    Q_OBJECT
public:
    explicit FrmHTML(Desktop& desktop, QWidget* parent = nullptr);
    ~FrmHTML() override;

    // The caption of the window and of every message box.
    static QString title();

    // The page every run writes; temp.html beside the program unless set otherwise.
    QString previewFile() const { return m_session.previewFile(); }
    void setPreviewFile(const QString& path) { m_session.setPreviewFile(path); }

    bool isRunning() const { return m_session.isRunning(); }

    // Places the window in the middle of the screen it is on.
    void centreOnScreen();

    // The start command: the session checks, writes the page row by row, then delivers.
    void RunConversion();
    // Asks the session for a stop; the run sees it after its current row.
    void RequestStop();
    // Puts the window back to idle at once: start button, progress, preview.
    void ResetAfterStop();

signals:
    // After row `row` of a run is written and the progress shown, just before the window
    // handles what the user did meanwhile. Whatever a slot does here, the user could have done.
    void rowWritten(qint64 row);
    // The preview was pointed at url.
    void previewNavigated(const QUrl& url);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The window, band by band.
    void initWindow();
    void initPictureBand();
    void initSizeFrame();
    void initColourFrame();
    void initCharacterFrame();
    void initStyleFrame();
    void initInformationFrame();
    void initActionStrip();
    void initTabs();
    void initHiddenControls();
    void initMenuEntries();
    void initTabOrder();
    void initConnections();
    void initSession();
    void fillFontList();
    // A control's place, given in twips, at the window's scale.
    QRect twips(int left, int top, int width, int height) const;

    // What the user does before a run.
    void selectLetterMode();
    void selectSquareMode();
    void optTextClicked(int index);
    void chooseBackgroundColour();
    void openLink(const QUrl& address);
    void browsePicture();
    void showChosenPicture();
    void scaleSizes(double factor);
    void CopyCode(const CodePane& pane, const QString& closingSentence);
    void stopButtonClicked();

    // What a run asks of the window, between rows.
    RowInput rowInput() override;
    StyleFlags closingStyle() override;

    // What follows a run.
    void DeliverRun();
    void navigatePreview();
    void showProgress(int percent);
    void inform(const QString& text);

    Desktop& m_desktop;
    ConversionSession m_session;
    LayoutScale m_layout; // how much larger than usual this desktop shows the window's text
    std::u32string m_definedCharacters; // as the last row read them

    // Top band.
    QLabel* m_imghide = nullptr;
    QGroupBox* m_Frame3 = nullptr;
    QLabel* m_Label3 = nullptr;
    QLineEdit* m_TxtX = nullptr;
    QLabel* m_Label4 = nullptr;
    QLineEdit* m_TxtY = nullptr;
    QPushButton* m_Command1 = nullptr;
    QPushButton* m_Command2 = nullptr;
    QGroupBox* m_Frame1 = nullptr;
    std::array<QRadioButton*, 5> m_OptColour {};
    QButtonGroup* m_OptColourGroup = nullptr;
    QGroupBox* m_Frame2 = nullptr;
    ModeCheckBox* m_Check1 = nullptr;
    std::array<QRadioButton*, 2> m_OptText {};
    QButtonGroup* m_OptTextGroup = nullptr;
    QLineEdit* m_TxtRepeat = nullptr;
    ModeCheckBox* m_Check2 = nullptr;
    QGroupBox* m_Frame6 = nullptr;
    QCheckBox* m_centrer = nullptr;
    QCheckBox* m_italique = nullptr;
    QCheckBox* m_gras = nullptr;
    QLabel* m_Image1 = nullptr;
    QGroupBox* m_Frame7 = nullptr;
    QLabel* m_Label2 = nullptr;
    QLabel* m_Label7 = nullptr;
    QLabel* m_Label11 = nullptr;
    QLabel* m_Label12 = nullptr;
    QLabel* m_Label5 = nullptr;
    LinkLabel* m_Label9 = nullptr;
    QLabel* m_Label6 = nullptr;
    LinkLabel* m_Label10 = nullptr;

    // Action strip.
    QGroupBox* m_Frame4 = nullptr;
    QLabel* m_Label1 = nullptr;
    QLineEdit* m_TxtPic = nullptr;
    QPushButton* m_CmdPicBrowse = nullptr;
    QGroupBox* m_Frame5 = nullptr;
    QLabel* m_pourCent = nullptr;
    QProgressBar* m_bar1 = nullptr;
    QLabel* m_Label8 = nullptr;
    ColourSwatch* m_PicColour = nullptr;
    QPushButton* m_CmdGo = nullptr;
    QPushButton* m_Command5 = nullptr;

    // Tabs.
    QTabWidget* m_SSTab1 = nullptr;
    PreviewPane* m_preview = nullptr;
    QWebEngineView* m_web1 = nullptr; // the preview's web engine
    CodePane* m_skyblogrich = nullptr;
    QPushButton* m_Command4 = nullptr;
    CodePane* m_htmlrich = nullptr;
    QPushButton* m_Command3 = nullptr;

    // Never shown.
    QLineEdit* m_txtArret = nullptr;
    PictureBox* m_PicLoad = nullptr;
    QCheckBox* m_ChkRed = nullptr;
    QCheckBox* m_ChkGreen = nullptr;
    QCheckBox* m_ChkBlue = nullptr;
    QComboBox* m_CmbFont = nullptr;
    QLineEdit* m_TxtSize = nullptr;
    QLineEdit* m_TxtTitle = nullptr;
    QPushButton* m_CmdPreview = nullptr;
    QLineEdit* m_TxtHTML = nullptr;
    QPushButton* m_CmdHTMLBrowse = nullptr;

    // Menu entries, reached by their shortcuts only.
    QMenu* m_stopppp = nullptr;
    QAction* m_creerer = nullptr;
    QAction* m_stoper = nullptr;
};

} // namespace mosaiq
