#pragma once
// The main window: a fixed-size, frameless window dressed in the skin's pictures, holding the
// book project (the list of text files, title, author, cover, output folder, book options) and
// converting it on a worker thread while the window stays responsive.

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/app_places.h"
#include "app/book_options.h"
#include "app/labeled_edit.h"
#include "app/skin_image.h"
#include "app/source_list_view.h"
#include "app/window_ui.h"
#include "book/book_constants.h"
#include "controls/ImgBtn.h"
#include "controls/pngextra.h"
#include "convert/conversion_run.h"

class QProgressBar;
class QPushButton;

namespace qb {

class FocusRing;
class FormRunUi;
class RunBridge;
class WindowSettings;
class WindowSlot;
struct WindowSettingsValues;

class TForm1 : public QWidget {
    Q_OBJECT

  public:
    TForm1(AppPlaces places, std::shared_ptr<WindowUi> ui, QWidget* parent = nullptr);
    ~TForm1() override;

    SourceListView* ListView1() const { return m_listView1; }
    QLineEdit* Edit1() const { return m_edit1; }
    QLineEdit* Edit2() const { return m_edit2; }
    LabeledEdit* LabeledEdit3() const { return m_labeledEdit3; }
    LabeledEdit* LabeledEdit4() const { return m_labeledEdit4; }
    // PNGButton(1) .. PNGButton(9); 6 and 7 do not exist.
    TPNGButton* PNGButton(int number) const;
    TImgBtn* ImgBtnMin() const { return m_imgBtnMin; }
    TImgBtn* ImgBtnClose() const { return m_imgBtnClose; }
    // Below the author field: opens the book-options dialog.
    QPushButton* OptionsButton() const { return m_optionsButton; }
    // Beside it: opens the book-details dialog.
    QPushButton* DetailsButton() const { return m_detailsButton; }
    // In the footer while a book is made.
    QProgressBar* ProgressBar() const { return m_progressBar; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    FocusRing* focusRing() const { return m_focusRing; }

    const std::string& contentFolder() const { return m_contentFolder; }
    // A book is being made; "Convert" is disabled meanwhile.
    bool converting() const { return m_converting; }
    // How the last run that ended went.
    RunResult lastRunResult() const { return m_lastResult; }
    // What the footer tells about the run; empty when no run is under way.
    const QString& statusText() const { return m_statusText; }

    const BookOptions& bookOptions() const { return m_options; }
    // The details the next Convert gives the book; kept only while the window is open.
    const BookDetails& bookDetails() const { return m_details; }
    void setBookOptions(const BookOptions& options) { m_options = options; }

    // Appends one row per file and numbers the rows; a note names the files already listed,
    // which are not added again.
    void addSourceFiles(const QStringList& files);
    // Adds dropped files in front of row `at` (-1: at the end): .txt files in the order given,
    // folders with their .txt files sorted by name; one note names whatever else was skipped
    // and whatever was already listed.
    void addDroppedFiles(const QList<QUrl>& urls, int at = -1);
    // The files named on the command line, relative to the current folder: files whatever
    // their name, folders with their .txt files; one note names what could not be added.
    void addCommandLineFiles(const QStringList& arguments);
    // What the footer says when no run is under way: the end of the last run, or how to undo.
    QString footerNote() const;

    // Handlers, named after their control and event.
    void PNGButton1Click();  // Remove
    void PNGButton2Click();  // Add
    void PNGButton3Click();  // Remove All
    void PNGButton4Click();  // Convert
    void PNGButton5Click();  // Home
    void PNGButton8Click();  // cover picture
    void PNGButton9Click();  // output folder
    void OptionsButtonClick();
    void DetailsButtonClick();
    void CancelButtonClick();
    void ImgBtnMinClick();
    void ImgBtnCloseClick();
    void ListView1DragOver(QObject* source);
    void ListView1DragDrop(QObject* source, QPoint viewportPos);
    void Image2MouseDown(Qt::MouseButton button, QPoint globalPos);
    // F1, or "About Quirebind" in the caption's context menu.
    void showAbout();

  signals:
    void conversionFinished();
    void statusChanged(const QString& text);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    friend class FormRunUi;

    // Where the footer's progress stands: once cancelling, the run's own reports are dropped.
    enum class ProgressState { Idle, Running, Cancelling };

    void createControls();
    void createHeader();
    void createFooter();
    void createOptionColumn();
    void createWorkingArea();
    void setKeyboardOrder();
    // What a screen reader announces for each control: the picture buttons draw their words
    // into pictures, so without names they are silent.
    void nameControlsForScreenReaders();
    void FormCreate();
    void FormDestroy();
    void connectHandlers();
    // Runs a handler; an error that escapes it goes to the standard error box.
    template <typename Handler>
    void guarded(Handler&& handler);
    void showErrorBox(const std::string& message);
    // The settings as the window has them now, to be saved.
    WindowSettingsValues currentSettings() const;
    // Where it was last, a step aside from the windows already open, inside the screen.
    void placeAtStart(std::optional<QPoint> remembered);
    void headerMouseMove(Qt::MouseButtons buttons, QPoint globalPos);

    void renumberRows();
    // Greys the rows whose file is no longer there and says so in their page column; rows
    // whose file is back lose the mark.
    void markMissingRows();
    // After a note about an empty entry, the field to fill in has the focus.
    void focusFieldOfNote(const QString& note);
    // Inserts the files not yet listed in front of row `at` (-1: at the end); answers those
    // that were.
    QStringList insertSourceFiles(const QStringList& files, int at);
    static QString alreadyListedNote(const QStringList& files);
    void undoRemoveAll();
    void showFooterNote(const QString& text);
    void deleteKeyPressed();
    void moveCurrentRow(int step);

    // cancelledNote: what the footer says after a cancelled run, when the run said it.
    void runFinished(RunResult result, const QString& cancelledNote = QString());
    void setStatus(const QString& text);
    // The run's reports; ignored once cancelling.
    void showProgress(int value, int maximum, const QString& format);
    void setProgress(int value, int maximum, const QString& format);
    void hideProgress();

    AppPlaces m_places;
    std::shared_ptr<WindowUi> m_ui;
    std::string m_contentFolder;
    std::unique_ptr<WindowSettings> m_settings;
    // The output folder's bytes as read from the settings, which the field shows decoded.
    std::string m_savePathShown;
    std::unique_ptr<WindowSlot> m_slot;
    std::optional<QPoint> m_startPosition;  // as remembered at start
    QPoint m_placedAt;                      // where the window was put at start
    BookOptions m_options;
    BookDetails m_details;
    ConversionRun m_run;
    QPersistentModelIndex m_draggedRow;
    // What the last Remove All took away, for Ctrl+Z.
    QStringList m_removedFiles;
    bool m_closePending = false;
    // Set when the desktop cannot move the window for us; the header then follows the pointer.
    bool m_manualMove = false;
    QPoint m_moveOffset;

    // The run on its worker thread. The flags are the GUI thread's, except the cancel request,
    // which the worker reads.
    std::unique_ptr<FormRunUi> m_formRunUi;
    std::unique_ptr<RunBridge> m_bridge;
    std::thread m_worker;
    std::atomic<bool> m_cancelRequested{false};
    bool m_converting = false;
    ProgressState m_progressState = ProgressState::Idle;
    RunResult m_lastResult = RunResult::Skipped;
    QString m_statusText;
    // What Enter and Space do on the skinned buttons, which know only the mouse.
    QHash<QObject*, std::function<void()>> m_keyActions;

    QWidget* m_panelTop = nullptr;
    QWidget* m_panelBtm = nullptr;
    QWidget* m_panel2 = nullptr;
    QWidget* m_panelLeft = nullptr;
    QFrame* m_panelLeftBtm = nullptr;
    QWidget* m_paneClientBtm = nullptr;
    QWidget* m_panelImage = nullptr;
    SkinImage* m_imageM = nullptr;
    SourceListView* m_listView1 = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QLineEdit* m_edit2 = nullptr;
    LabeledEdit* m_labeledEdit3 = nullptr;
    LabeledEdit* m_labeledEdit4 = nullptr;
    // The picture buttons, by the number in their designer name (PNGButton4 is Convert).
    enum PngButton : int {
        kRemoveButton = 1,
        kAddButton = 2,
        kRemoveAllButton = 3,
        kConvertButton = 4,
        kHomeButton = 5,
        kCoverButton = 8,
        kOutputFolderButton = 9,
    };
    TPNGButton* m_pngButtons[10] = {};
    TImgBtn* m_imgBtnMin = nullptr;
    TImgBtn* m_imgBtnClose = nullptr;
    QPushButton* m_optionsButton = nullptr;
    QPushButton* m_detailsButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_footerNote = nullptr;
    FocusRing* m_focusRing = nullptr;
};

}  // namespace qb
