#pragma once
// The main window: a fixed-size, frameless window dressed in the skin's pictures, holding the
// book project (the list of text files, title, author, cover, output folder) and converting it.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <string>

#include "app/app_places.h"
#include "app/labeled_edit.h"
#include "app/skin_image.h"
#include "app/source_list_view.h"
#include "app/window_ui.h"
#include "book/book_constants.h"
#include "book/conversion_run.h"
#include "controls/ImgBtn.h"
#include "controls/pngextra.h"
#include "platform/ini_file.h"

namespace qb {

// The product's home page, which "Home" opens; every book names it as its source too.
inline constexpr const char* kHomePage = kBookSourceAddress;

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

    const std::string& contentFolder() const { return m_contentFolder; }
    bool converting() const { return m_run.running(); }

    // Appends one row per file, captioned with the row count after the append.
    void addSourceFiles(const QStringList& files);

    // Handlers, named after their control and event.
    void PNGButton1Click();  // Remove
    void PNGButton2Click();  // Add
    void PNGButton3Click();  // Remove All
    void PNGButton4Click();  // Convert
    void PNGButton5Click();  // Home
    void PNGButton8Click();  // cover picture
    void PNGButton9Click();  // output folder
    void ImgBtnMinClick();
    void ImgBtnCloseClick();
    void ListView1DragOver(QObject* source);
    void ListView1DragDrop(QObject* source, QPoint viewportPos);
    void Image2MouseDown(Qt::MouseButton button, QPoint globalPos);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void createHeader();
    void createFooter();
    void createOptionColumn();
    void createWorkingArea();
    void FormCreate();
    void FormDestroy();
    void connectHandlers();
    // Runs a handler; an error that escapes it goes to the standard error box.
    template <typename Handler>
    void guarded(Handler&& handler);
    void showErrorBox(const std::string& message);
    void headerMouseMove(Qt::MouseButtons buttons, QPoint globalPos);

    AppPlaces m_places;
    std::shared_ptr<WindowUi> m_ui;
    std::string m_contentFolder;
    std::unique_ptr<IniFile> m_settings;
    ConversionRun m_run;
    QPersistentModelIndex m_draggedRow;
    bool m_closePending = false;
    // Set when the desktop cannot move the window for us; the header then follows the pointer.
    bool m_manualMove = false;
    QPoint m_moveOffset;

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
    TPNGButton* m_pngButtons[10] = {};
    TImgBtn* m_imgBtnMin = nullptr;
    TImgBtn* m_imgBtnClose = nullptr;
};

}  // namespace qb
