#include "app/tform1.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <utility>

#include "app/about.h"
#include "app/desktop_open.h"
#include "app/focus_ring.h"
#include "app/form_run_ui.h"
#include "app/picture_button_accessible.h"
#include "app/run_bridge.h"
#include "app/save_path.h"
#include "app/skin.h"
#include "app/window_library_run.h"
#include "app/window_placement.h"
#include "app/window_settings.h"
#include "package/packager.h"
#include "platform/build_info.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

constexpr int kWidth = 697;
constexpr int kHeight = 482;
// Where the window opens when it has not been moved before.
constexpr int kLeft = 310;
constexpr int kTop = 112;

// Fonts are given in pixels: 8 points at 96 pixels per inch, whatever the screen reports, so
// that every caption fits the place the layout gives it. The second family is the stand-in
// with the closest metrics where the first is not installed.
QFont formFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11);
    return font;
}

QFont arialFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11);
    return font;
}

QWidget* panel(QWidget* parent, const char* name, const QRect& placement) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(placement);
    return widget;
}

SkinImage* picture(QWidget* parent, const char* name, const QRect& placement, const QImage& image,
                   bool stretch) {
    auto* widget = new SkinImage(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(placement);
    widget->setPicture(image);
    widget->setStretch(stretch);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text,
              const QFont& font) {
    auto* widget = new QLabel(text, parent);
    widget->setObjectName(QLatin1String(name));
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    widget->setPalette(palette);
    widget->adjustSize();
    widget->move(at);
    return widget;
}

TPNGButton* pngButton(QWidget* parent, const char* name, const QRect& placement,
                      const QString& caption, const char* icon) {
    auto* button = new TPNGButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(placement);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(arialFont());
    button->setFontColor(Qt::white);
    button->setButtonLayout(pbsImageAbove);
    button->setButtonStyle(pbsFlat);
    button->setCaption(caption);
    button->setImageNormal(skinPng(icon));
    return button;
}

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

TForm1::TForm1(AppPlaces places, std::shared_ptr<WindowUi> ui, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint),
      m_places(std::move(places)),
      m_ui(std::move(ui)),
      m_run(m_places.workFolder),
      m_formRunUi(std::make_unique<FormRunUi>(*this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quirebind ") + QString::fromLatin1(kShortVersion));
    setWindowIcon(programIcon());
    // The skin is light whatever the desktop's theme is; so are the controls inside it.
    setPalette(skinPalette());
    setFont(formFont());
    setFixedSize(kWidth, kHeight);
    move(kLeft, kTop);
    createControls();
    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() {
    // A window that goes while a book is made takes the run with it: cancelled, so that no
    // unfinished archive stays, and let go if it waits for a box that will never be answered.
    if (m_worker.joinable()) {
        m_cancelRequested = true;
        m_bridge->abandon();
        m_worker.join();
    }
    FormDestroy();
}

TPNGButton* TForm1::PNGButton(int number) const {
    return number >= 1 && number <= 9 ? m_pngButtons[number] : nullptr;
}

// ---- layout ----------------------------------------------------------------------------------

void TForm1::createControls() {
    // Aligned panels, in the order they claim their edge: top, bottom, the right border, then
    // the option column on the left, and the working area in what is left.
    m_panelTop = panel(this, "PanelTop", {0, 0, kWidth, 135});
    m_panelBtm = panel(this, "PanelBtm", {0, kHeight - 45, kWidth, 45});
    picture(this, "Image9", {kWidth - 15, 135, 15, 302}, skinJpeg("border_right.jpg"), true);
    m_panel2 = panel(this, "Panel2", {171, 135, 511, 302});
    m_panelLeft = panel(this, "PanelLeft", {0, 135, 171, 302});
    createHeader();
    createFooter();
    createOptionColumn();
    createWorkingArea();
    setKeyboardOrder();
    nameControlsForScreenReaders();
    m_listView1->setFocus();
}

void TForm1::nameControlsForScreenReaders() {
    installPictureButtonAccessibility();
    const auto name = [](QWidget* widget, const QString& title, const QString& description) {
        widget->setAccessibleName(title);
        widget->setAccessibleDescription(description);
    };
    name(m_pngButtons[kAddButton], QStringLiteral("Add"),
         QStringLiteral("Add text files to the list"));
    name(m_pngButtons[kRemoveButton], QStringLiteral("Remove"),
         QStringLiteral("Remove the selected file from the list"));
    name(m_pngButtons[kRemoveAllButton], QStringLiteral("Remove All"),
         QStringLiteral("Empty the list; Ctrl+Z brings it back"));
    name(m_pngButtons[kConvertButton], QStringLiteral("Convert"),
         QStringLiteral("Make the EPUB book from the listed files"));
    name(m_pngButtons[kHomeButton], QStringLiteral("Home"),
         QStringLiteral("Open the Quirebind home page or its documentation"));
    name(m_pngButtons[kCoverButton], QStringLiteral("Choose cover picture"),
         QStringLiteral("Pick a JPEG, PNG or GIF picture for the book's cover"));
    name(m_pngButtons[kOutputFolderButton], QStringLiteral("Choose save folder"),
         QStringLiteral("Pick the folder the book is saved to"));
    name(m_imgBtnMin, QStringLiteral("Minimise"), QStringLiteral("Minimise the window"));
    name(m_imgBtnClose, QStringLiteral("Close"), QStringLiteral("Close the window"));
    name(m_cancelButton, QStringLiteral("Cancel"), QStringLiteral("Stop making the book (Esc)"));
    name(m_optionsButton, QStringLiteral("Book options"),
         QStringLiteral("Paragraphs, chapters, contents, language, page size, encoding"));
    name(m_edit1, QStringLiteral("Title"), QStringLiteral("The book's title"));
    name(m_edit2, QStringLiteral("Author"), QStringLiteral("The book's author"));
    name(m_labeledEdit3, QStringLiteral("Cover image"),
         QStringLiteral("The picture file for the book's cover; may be left empty"));
    name(m_labeledEdit4, QStringLiteral("Save EPUB to"),
         QStringLiteral("The folder the book is saved to"));
    name(m_listView1, QStringLiteral("Text files"),
         QStringLiteral("The text files of the book, in their order. Alt+Up and Alt+Down move "
                        "a row, Delete removes it"));
    name(m_progressBar, QStringLiteral("Progress"), QStringLiteral("Pages written"));
    name(this, QStringLiteral("Quirebind"), QStringLiteral("Plain text to EPUB"));
}

void TForm1::setKeyboardOrder() {
    // Tab walks the window as it reads: the header's buttons left to right, the option column,
    // then the working area from the list down to the output folder, and Cancel in the footer.
    QWidget* order[] = {m_pngButtons[kAddButton],
                        m_pngButtons[kRemoveButton],
                        m_pngButtons[kRemoveAllButton],
                        m_pngButtons[kConvertButton],
                        m_pngButtons[kHomeButton],
                        m_imgBtnMin,
                        m_imgBtnClose,
                        m_edit1,
                        m_edit2,
                        m_optionsButton,
                        m_detailsButton,
                        m_listView1,
                        m_labeledEdit3,
                        m_pngButtons[kCoverButton],
                        m_labeledEdit4,
                        m_pngButtons[kOutputFolderButton],
                        m_cancelButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    // The picture buttons know only the mouse: the keyboard reaches them by Tab (a click does
    // not take the focus away from a field), a ring shows where it is, Enter and Space press.
    m_focusRing = new FocusRing(this);
    QWidget* skinned[] = {m_pngButtons[kAddButton],
                          m_pngButtons[kRemoveButton],
                          m_pngButtons[kRemoveAllButton],
                          m_pngButtons[kConvertButton],
                          m_pngButtons[kHomeButton],
                          m_imgBtnMin,
                          m_imgBtnClose,
                          m_pngButtons[kCoverButton],
                          m_pngButtons[kOutputFolderButton]};
    for (QWidget* button : skinned) {
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(this);
        m_focusRing->watch(button);
    }
}

void TForm1::createHeader() {
    QWidget* top = m_panelTop;
    picture(top, "Image2", {0, 0, 333, 135}, skinJpeg("header_left.jpg"), false);
    picture(top, "Image6", {kWidth - 180, 0, 180, 135}, skinJpeg("header_right.jpg"), false);
    picture(top, "Image4", {333, 0, kWidth - 333 - 180, 135}, skinJpeg("header_fill.jpg"), true);

    m_pngButtons[kAddButton] =
        pngButton(top, "PNGButton2", {8, 40, 58, 58}, QStringLiteral("Add"), "icon_add.png");
    m_pngButtons[kRemoveButton] =
        pngButton(top, "PNGButton1", {64, 40, 58, 58}, QStringLiteral("Remove"), "icon_remove.png");
    m_pngButtons[kRemoveAllButton] = pngButton(top, "PNGButton3", {120, 40, 73, 58},
                                               QStringLiteral("Remove All"), "icon_remove_all.png");
    m_pngButtons[kConvertButton] = pngButton(top, "PNGButton4", {192, 40, 58, 58},
                                             QStringLiteral("Convert"), "icon_convert.png");
    QFont convertFont;
    convertFont.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans")});
    convertFont.setPixelSize(11);
    convertFont.setBold(true);
    m_pngButtons[kConvertButton]->setFont(convertFont);
    m_pngButtons[kConvertButton]->setFontColor(Qt::yellow);
    m_pngButtons[kHomeButton] =
        pngButton(top, "PNGButton5", {264, 40, 58, 58}, QStringLiteral("Home"), "icon_home.png");

    m_imgBtnMin = new TImgBtn(top);
    m_imgBtnMin->setObjectName(QStringLiteral("ImgBtnMin"));
    m_imgBtnMin->resize(25, 31);
    m_imgBtnClose = new TImgBtn(top);
    m_imgBtnClose->setObjectName(QStringLiteral("ImgBtnClose"));
    m_imgBtnClose->resize(25, 31);
}

void TForm1::createFooter() {
    QWidget* btm = m_panelBtm;
    picture(btm, "Image3", {0, 0, 227, 45}, skinJpeg("footer_left.jpg"), false);
    picture(btm, "Image10", {kWidth - 69, 0, 69, 45}, skinJpeg("footer_right.jpg"), false);
    picture(btm, "Image11", {227, 0, kWidth - 227 - 69, 45}, skinJpeg("footer_fill.jpg"), true);

    // The footer doubles as the status area: the run's progress and its Cancel, shown only
    // while a book is made.
    m_progressBar = new QProgressBar(btm);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setGeometry(250, 13, 330, 19);
    m_progressBar->setTextVisible(true);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progressBar->hide();
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), btm);
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));
    m_cancelButton->setGeometry(590, 11, 80, 23);
    m_cancelButton->setToolTip(QStringLiteral("Stop making the book (Esc)"));
    m_cancelButton->hide();
    // Between runs the same place tells how the last one ended, or how to undo a Remove All.
    m_footerNote = new QLabel(btm);
    m_footerNote->setObjectName(QStringLiteral("FooterNote"));
    m_footerNote->setGeometry(250, 13, 420, 19);
    m_footerNote->setFont(arialFont());
    QPalette notePalette = m_footerNote->palette();
    notePalette.setColor(QPalette::WindowText, Qt::white);
    m_footerNote->setPalette(notePalette);
    m_footerNote->hide();
}

void TForm1::createOptionColumn() {
    QWidget* left = m_panelLeft;
    const QImage white = skinJpeg("white.jpg");
    picture(left, "Image7", {0, 0, 8, 302}, skinJpeg("border_left.jpg"), true);
    picture(left, "Image8", {171 - 21, 0, 21, 302}, skinJpeg("border_divider.jpg"), true);

    m_panelLeftBtm = new QFrame(left);
    m_panelLeftBtm->setObjectName(QStringLiteral("PanelLeftBtm"));
    m_panelLeftBtm->setGeometry(8, 0, 142, 302);
    m_panelLeftBtm->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panelLeftBtm->setLineWidth(1);
    m_panelLeftBtm->setAutoFillBackground(true);

    // Inside the one-pixel bevel: 140 wide, from 1 to 301.
    QWidget* column = m_panelLeftBtm;
    picture(column, "Image16", {1, 1, 140, 8}, white, true);
    picture(column, "Image13", {1, 9, 140, 24}, skinJpeg("heading_title.jpg"), false);
    picture(column, "Image12", {1, 64, 140, 24}, skinJpeg("heading_author.jpg"), false);
    picture(column, "Image14", {1, 88, 140, 213}, white, true);
    picture(column, "Image15", {1, 33, 140, 31}, white, true);

    m_edit1 = new QLineEdit(column);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(8, 38, 121, 21);
    m_edit2 = new QLineEdit(column);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setGeometry(8, 92, 121, 21);

    const QFont font = arialFont();
    label(column, "Label1", {8, 128}, QStringLiteral("Step 1:"), font);
    label(column, "Label3", {24, 144}, QStringLiteral("Click 'Add' button to"), font);
    label(column, "Label4", {8, 160}, QStringLiteral("add txt files."), font);
    label(column, "Label8", {8, 184}, QStringLiteral("Step 2:"), font);
    label(column, "Label9", {24, 200}, QStringLiteral("Set the options: title,"), font);
    label(column, "Label10", {8, 216}, QStringLiteral("author, cover, saving path."), font);
    label(column, "Label5", {8, 240}, QStringLiteral("Step 3:"), font);
    label(column, "Label6", {24, 256}, QStringLiteral("Click 'Convert' button to"), font);
    label(column, "Label7", {6, 272}, QStringLiteral("convert txt to epub."), font);

    // A link-like button in the gap below the author field, so that the column keeps its look.
    m_optionsButton = new QPushButton(QStringLiteral("Book options\u2026"), column);
    m_optionsButton->setObjectName(QStringLiteral("OptionsButton"));
    m_optionsButton->setGeometry(8, 114, 78, 14);
    m_optionsButton->setFlat(true);
    m_optionsButton->setCursor(Qt::PointingHandCursor);
    m_optionsButton->setToolTip(
        QStringLiteral("Paragraphs, chapters, contents, language, page size, encoding"));
    QFont linkFont = arialFont();
    linkFont.setUnderline(true);
    m_optionsButton->setFont(linkFont);
    const QString linkStyle = QStringLiteral(
        "QPushButton { color: #1a4e8a; border: none; background: transparent; text-align: left;"
        " padding: 0 1px; }"
        "QPushButton:focus { border: 1px dotted #1a4e8a; }"
        "QPushButton:pressed { color: #0b2a50; }");
    m_optionsButton->setStyleSheet(linkStyle);
    // The book's own details on the same row: they are set per book, not kept as options.
    m_detailsButton = new QPushButton(QStringLiteral("Details\u2026"), column);
    m_detailsButton->setObjectName(QStringLiteral("DetailsButton"));
    m_detailsButton->setGeometry(88, 114, 51, 14);
    m_detailsButton->setFlat(true);
    m_detailsButton->setCursor(Qt::PointingHandCursor);
    m_detailsButton->setToolTip(QStringLiteral(
        "More authors, description, subjects, publisher, date, rights, ISBN, series"));
    m_detailsButton->setFont(linkFont);
    m_detailsButton->setStyleSheet(linkStyle);
}

void TForm1::createWorkingArea() {
    QWidget* area = m_panel2;
    m_paneClientBtm = panel(area, "PaneClientBtm", {0, 302 - 148, 511, 148});
    m_paneClientBtm->setAutoFillBackground(true);
    QPalette white = m_paneClientBtm->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_paneClientBtm->setPalette(white);

    m_listView1 = new SourceListView(area);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setGeometry(0, 0, 511, 302 - 148);
    m_listView1->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Path")});
    m_listView1->header()->setStretchLastSection(false);
    m_listView1->header()->setSectionsMovable(false);
    m_listView1->setColumnWidth(0, 80);
    m_listView1->setColumnWidth(1, 410);
    m_listView1->setToolTip(QStringLiteral(
        "Drag rows to order them, or drop .txt files and folders here. Delete removes a row, "
        "Alt+Up and Alt+Down move it."));

    // The window-button sprite sheet lives here, never shown: the window buttons are cut from it.
    m_panelImage = panel(area, "PanelImage", {217, 31, 160, 106});
    m_imageM = picture(m_panelImage, "ImageM", {16, 32, 121, 59}, skinSpriteSheet().image(), false);

    QWidget* client = m_paneClientBtm;
    const QImage whiteFill = skinJpeg("white.jpg");
    picture(client, "Image1", {0, 8, 511, 140}, whiteFill, true);
    picture(client, "Image17", {0, -8, 511, 16}, skinPng("separator.png").toImage(), true);
    picture(client, "Image18", {144, 0, 16, 16}, skinPng("hint.png").toImage(), false);
    label(client, "Label2", {169, 0},
          QStringLiteral("Drag items to  adjust the order of txt list."), arialFont());

    m_labeledEdit3 = new LabeledEdit(client);
    m_labeledEdit3->setObjectName(QStringLiteral("LabeledEdit3"));
    m_labeledEdit3->EditLabel()->setObjectName(QStringLiteral("LabeledEdit3Label"));
    m_labeledEdit3->setGeometry(85, 36, 340, 21);
    m_labeledEdit3->setLabelText(QStringLiteral("Cover Image:  "));
    m_pngButtons[kCoverButton] =
        pngButton(client, "PNGButton8", {445, 16, 57, 57}, QString(), "icon_folder.png");
    m_pngButtons[kCoverButton]->setToolTip(QStringLiteral("Choose the cover picture"));

    m_labeledEdit4 = new LabeledEdit(client);
    m_labeledEdit4->setObjectName(QStringLiteral("LabeledEdit4"));
    m_labeledEdit4->EditLabel()->setObjectName(QStringLiteral("LabeledEdit4Label"));
    m_labeledEdit4->setGeometry(88, 100, 337, 21);
    m_labeledEdit4->setLabelText(QStringLiteral("Save  Epub  To:  "));
    m_pngButtons[kOutputFolderButton] =
        pngButton(client, "PNGButton9", {445, 80, 57, 57}, QString(), "icon_folder_dark.png");
    m_pngButtons[kOutputFolderButton]->setToolTip(
        QStringLiteral("Choose the folder the book is saved to"));
}

void TForm1::connectHandlers() {
    const auto onClick = [this](TPNGButton* button, void (TForm1::*handler)()) {
        connect(button, &TPNGButton::OnClick, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
        m_keyActions.insert(button, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    onClick(m_pngButtons[kRemoveButton], &TForm1::PNGButton1Click);
    onClick(m_pngButtons[kAddButton], &TForm1::PNGButton2Click);
    onClick(m_pngButtons[kRemoveAllButton], &TForm1::PNGButton3Click);
    onClick(m_pngButtons[kConvertButton], &TForm1::PNGButton4Click);
    onClick(m_pngButtons[kHomeButton], &TForm1::PNGButton5Click);
    onClick(m_pngButtons[kCoverButton], &TForm1::PNGButton8Click);
    onClick(m_pngButtons[kOutputFolderButton], &TForm1::PNGButton9Click);
    connect(m_imgBtnMin, &TImgBtn::OnClick, this, [this] { ImgBtnMinClick(); });
    connect(m_imgBtnClose, &TImgBtn::OnClick, this, [this] { ImgBtnCloseClick(); });
    m_keyActions.insert(m_imgBtnMin, [this] { ImgBtnMinClick(); });
    m_keyActions.insert(m_imgBtnClose, [this] { ImgBtnCloseClick(); });
    connect(m_optionsButton, &QPushButton::clicked, this,
            [this] { guarded([&] { OptionsButtonClick(); }); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    // Push buttons take Space themselves; Enter presses them too, as on the picture buttons.
    m_keyActions.insert(m_optionsButton, [this] { guarded([&] { OptionsButtonClick(); }); });
    connect(m_detailsButton, &QPushButton::clicked, this,
            [this] { guarded([&] { DetailsButtonClick(); }); });
    m_keyActions.insert(m_detailsButton, [this] { guarded([&] { DetailsButtonClick(); }); });
    m_detailsButton->installEventFilter(this);
    m_keyActions.insert(m_cancelButton, [this] { CancelButtonClick(); });
    m_optionsButton->installEventFilter(this);
    m_cancelButton->installEventFilter(this);
    connect(
        m_listView1, &SourceListView::OnFilesDropped, this,
        [this](const QList<QUrl>& urls, int at) { guarded([&] { addDroppedFiles(urls, at); }); });
    // A field's own Ctrl+Z comes first while it has the focus.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { showAbout(); });
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] { undoRemoveAll(); });
    connect(m_listView1, &SourceListView::OnDeleteKey, this, [this] { deleteKeyPressed(); });
    connect(m_listView1, &SourceListView::OnMoveKey, this,
            [this](int step) { moveCurrentRow(step); });
    connect(m_listView1, &SourceListView::OnDragOver, this,
            [this](QObject* source, QPoint) { ListView1DragOver(source); });
    connect(m_listView1, &SourceListView::OnDragDrop, this, [this](QObject* source, QPoint at) {
        guarded([&] { ListView1DragDrop(source, at); });
    });
    for (const char* name : {"Image2", "Image4", "Image6"}) {
        auto* image = m_panelTop->findChild<SkinImage*>(QLatin1String(name));
        connect(image, &SkinImage::OnMouseDown, this,
                [this](Qt::MouseButton button, QPoint at) { Image2MouseDown(button, at); });
        connect(image, &SkinImage::OnMouseMove, this,
                [this](Qt::MouseButtons buttons, QPoint at) { headerMouseMove(buttons, at); });
        connect(image, &SkinImage::OnMouseUp, this, [this] { m_manualMove = false; });
    }
}

// ---- creation and destruction ------------------------------------------------------------

void TForm1::FormCreate() {
    // The window's shape: a rectangle with corners rounded on a radius of 5 pixels.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    {
        QPainter painter(&shape);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::color1);
        painter.drawRoundedRect(QRect(0, 0, kWidth, kHeight), 5, 5);
    }
    setMask(shape);

    m_panelImage->hide();

    const Bitmap sheet(m_imageM->Picture());
    m_imgBtnMin->raise();
    m_imgBtnMin->move(width() - 70, 8);
    cutSprites(*m_imgBtnMin, sheet, 40, 20, 0, 0);
    m_imgBtnClose->raise();
    m_imgBtnClose->move(width() - 46, 8);
    cutSprites(*m_imgBtnClose, sheet, 24, 20, 68, 0);

    m_contentFolder = m_run.contentFolder();

    m_settings = std::make_unique<WindowSettings>(m_places.configFile);
    const WindowSettingsValues& saved = m_settings->saved();
    m_savePathShown = saved.savePath;
    m_labeledEdit4->setText(pathText(saved.savePath));
    m_options = saved.options;
    placeAtStart(saved.position);
    // After the window is up, so that the note has its owner.
    if (const std::string problem = m_settings->problem(); !problem.empty()) {
        QTimer::singleShot(0, this,
                           [this, problem] { m_ui->showNote(QString::fromStdString(problem)); });
    }
}

void TForm1::FormDestroy() {
    std::error_code ec;
    if (!m_contentFolder.empty() && fs::exists(m_contentFolder, ec)) removeFolder(m_contentFolder);
    if (!m_settings) return;
    try {
        m_settings->save(currentSettings());
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    }
    m_settings.reset();
}

WindowSettingsValues TForm1::currentSettings() const {
    WindowSettingsValues values = m_settings->saved();
    values.savePath = keptPathBytes(m_labeledEdit4->text(), m_savePathShown);
    values.options = m_options;
    // A window that was not moved leaves the remembered place as it found it: a second window,
    // opened a step aside, does not make that step the place of the next.
    values.position = pos() != m_placedAt ? std::optional<QPoint>(pos()) : m_startPosition;
    return values;
}

void TForm1::placeAtStart(std::optional<QPoint> remembered) {
    // The windows open at once share the folder of their settings, and with it the place they
    // would open at.
    const std::string& config = m_places.configFile;
    const auto slash = config.rfind('/');
    m_slot = std::make_unique<WindowSlot>(slash == std::string::npos ? std::string(".")
                                                                     : config.substr(0, slash));
    m_startPosition = remembered;
    QPoint wanted = remembered.value_or(QPoint(kLeft, kTop));
    QScreen* screen = QGuiApplication::screenAt(QRect(wanted, size()).center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) wanted = placeWindow(wanted, size(), screen->availableGeometry(), m_slot->number());
    move(wanted);
    m_placedAt = wanted;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing while a book is made asks first: the user may have meant to close something
    // else. Stopping lets the run end as cancelled, leaving no unfinished book, and the window
    // closes then: the run still uses its work folder until it has ended.
    if (m_converting) {
        event->ignore();
        if (m_closePending || !m_ui->askStopRun()) return;
        if (m_converting) {
            m_closePending = true;
            CancelButtonClick();
            return;
        }
        event->accept();  // the run ended while the question was open
        return;
    }
    event->accept();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // Escape that no control wanted stops the run, as Cancel does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_converting) {
        CancelButtonClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto action = m_keyActions.constFind(watched);
        const bool press = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                           key->key() == Qt::Key_Space;
        if (action != m_keyActions.constEnd() && press && key->modifiers() == Qt::NoModifier) {
            if (!key->isAutoRepeat()) (*action)();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

template <typename Handler>
void TForm1::guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    }
}

void TForm1::showErrorBox(const std::string& message) {
    m_ui->showError(applicationTitle(), QString::fromStdString(errorBoxText(message)));
}

// ---- window move, minimise, close, home ---------------------------------------------------

void TForm1::showAbout() {
    m_ui->showAbout(this, aboutCaption(), aboutText());
}

void TForm1::Image2MouseDown(Qt::MouseButton button, QPoint globalPos) {
    // The frameless window has no title bar menu of its own; the caption's context menu is
    // where Help lives, so that no skinned control has to move to make room for it.
    if (button == Qt::RightButton) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("About Quirebind\tF1"), this, [this] { showAbout(); });
        menu.exec(globalPos);
        return;
    }
    if (button != Qt::LeftButton || isMaximized()) return;
    QWindow* window = windowHandle();
    if (window && window->startSystemMove()) return;
    m_manualMove = true;
    m_moveOffset = globalPos - pos();
}

void TForm1::headerMouseMove(Qt::MouseButtons buttons, QPoint globalPos) {
    if (!m_manualMove) return;
    if (!(buttons & Qt::LeftButton)) {
        m_manualMove = false;
        return;
    }
    move(globalPos - m_moveOffset);
}

void TForm1::ImgBtnMinClick() {
    showMinimized();
}

void TForm1::ImgBtnCloseClick() {
    close();
}

// The project has no site of its own yet, so "Home" shows the README installed with the
// program. Nothing happening at a click would leave the user guessing; the note names the file
// so that it can still be opened by hand.
void TForm1::PNGButton5Click() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString page = findDocumentation(programFolder);
    if (page.isEmpty()) {
        m_ui->showNote(QStringLiteral("The documentation is not installed: it belongs in \"%1\".")
                           .arg(installedDocumentation(programFolder)));
        return;
    }
    if (!m_ui->openUrl(QUrl::fromLocalFile(page)))
        m_ui->showNote(QStringLiteral("The desktop could not open the documentation \"%1\"; "
                                      "open it in a web browser.")
                           .arg(page));
}
// ---- cover and output folder ---------------------------------------------------------------

void TForm1::PNGButton8Click() {
    const QString file = m_ui->openCoverPicture(this);
    if (!file.isEmpty()) m_labeledEdit3->setText(file);
}

void TForm1::PNGButton9Click() {
    // Opens where the book would go: "~/books" is no folder name the chooser knows.
    const QString folder = m_ui->chooseFolder(this, resolveSavePath(m_labeledEdit4->text()).path);
    if (!folder.isEmpty()) m_labeledEdit4->setText(folder);
}

void TForm1::OptionsButtonClick() {
    BookOptions options = m_options;
    if (!m_ui->editBookOptions(this, options)) return;
    m_options = options;
    // Kept at once: a session that ends without closing the window keeps the choice too.
    m_settings->save(currentSettings());
}

void TForm1::DetailsButtonClick() {
    BookDetails details = m_details;
    if (m_ui->editBookDetails(this, details)) m_details = std::move(details);
}

// ---- converting ---------------------------------------------------------------------------

void TForm1::PNGButton4Click() {
    // One run at a time; "Convert" shows disabled meanwhile, and a click that still arrives is
    // ignored.
    if (m_converting) return;
    const int pages = m_listView1->topLevelItemCount();
    if (pages == 0) return;
    // The book goes where the field says as a file manager would read it, and the field then
    // shows that folder in full, so that the success box and the field tell the same place.
    const SavePath savePath = resolveSavePath(m_labeledEdit4->text());
    if (!savePath.problem.isEmpty()) {
        m_ui->showNote(savePath.problem);
        m_labeledEdit4->setFocus();
        return;
    }
    if (!savePath.path.isEmpty()) m_labeledEdit4->setText(savePath.path);
    BookProject project;
    for (int row = 0; row < pages; ++row)
        project.sourceFiles.push_back(pathBytes(m_listView1->topLevelItem(row)->text(1)));
    project.title = m_edit1->text().toStdString();
    project.author = m_edit2->text().toStdString();
    project.coverPath = pathBytes(m_labeledEdit3->text());
    project.outputFolder = keptPathBytes(m_labeledEdit4->text(), m_savePathShown);
    m_options.applyTo(project);
    project.details = m_details;
    // One book per text: these name a single book and would be wrong on every other one, as
    // the title field would; the command line refuses them with --each for the same reason.
    if (m_options.oneBookPerFile) {
        project.details.titleSort.clear();
        project.details.isbn.clear();
        project.details.seriesIndex.clear();
    }

    m_converting = true;
    m_cancelRequested = false;
    m_progressState = ProgressState::Running;
    m_pngButtons[kConvertButton]->setEnabled(false);
    showProgress(0, pages, QStringLiteral("Starting"));
    m_bridge = std::make_unique<RunBridge>(this, *m_formRunUi, m_cancelRequested);
    std::optional<WindowLibrarySetup> library;
    if (m_options.oneBookPerFile)
        library = WindowLibrarySetup{project, !m_options.language.empty(), m_places.workFolder,
                                     m_places.templateFolder, project.jobs};
    m_worker = std::thread([this, project = std::move(project), library = std::move(library)] {
        RunResult result = RunResult::Failed;
        std::string cancelledNote;
        try {
            if (library) {
                const WindowLibraryEnd end =
                    runWindowLibrary(*library, *m_bridge, [this](int done, int total) {
                        QMetaObject::invokeMethod(
                            this,
                            [this, done, total] {
                                showProgress(done, total,
                                             QStringLiteral("Book %1 of %2")
                                                 .arg(std::min(done + 1, total))
                                                 .arg(total));
                            },
                            Qt::QueuedConnection);
                    });
                result = end.result;
                cancelledNote = end.cancelledNote;
            } else {
                result = m_run.run(project, *m_bridge);
            }
        } catch (const std::exception& e) {
            m_bridge->showError(errorBoxText(e.what()));
        } catch (...) {
            m_bridge->showError("The book could not be made: an unknown error.");
        }
        QMetaObject::invokeMethod(
            this,
            [this, result, note = QString::fromStdString(cancelledNote)] {
                runFinished(result, note);
            },
            Qt::QueuedConnection);
    });
}

void TForm1::runFinished(RunResult result, const QString& cancelledNote) {
    m_worker.join();
    m_bridge.reset();
    m_formRunUi->flush();
    m_converting = false;
    m_progressState = ProgressState::Idle;
    m_lastResult = result;
    m_contentFolder = m_run.contentFolder();
    hideProgress();
    // A book made means every text was there: marks left by an earlier run go.
    if (result == RunResult::Built) markMissingRows();
    if (result == RunResult::Cancelled && !cancelledNote.isEmpty()) {
        showFooterNote(cancelledNote);
    } else if (result == RunResult::Cancelled) {
        // A cancelled run never touches the book it would have replaced; say so when one is
        // there, since the user may wonder which of the two the folder now holds.
        std::error_code ec;
        const std::string& target = m_run.targetArchive();
        const bool kept = !target.empty() && fs::exists(target, ec);
        showFooterNote(kept ? QStringLiteral("Cancelled; the book already there was kept")
                            : QStringLiteral("Cancelled"));
    }
    m_pngButtons[kConvertButton]->setEnabled(true);
    emit conversionFinished();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TForm1::focusFieldOfNote(const QString& note) {
    // The notes about empty entries are fixed texts; the one about a folder inside the work
    // folder is about the saving path too.
    QWidget* field = nullptr;
    if (note == QLatin1String("Please set the saving path!") ||
        note.startsWith(QLatin1String("The output folder ")))
        field = m_labeledEdit4;
    else if (note == QLatin1String("Please set the book title!"))
        field = m_edit1;
    else if (note == QLatin1String("Please set the author name!"))
        field = m_edit2;
    if (field) field->setFocus(Qt::OtherFocusReason);
}

void TForm1::CancelButtonClick() {
    if (!m_converting || m_cancelRequested) return;
    m_cancelRequested = true;
    m_progressState = ProgressState::Cancelling;
    m_cancelButton->setEnabled(false);
    // A busy bar shows no text; a still one can say what is happening.
    const int maximum = std::max(m_progressBar->maximum(), 1);
    setProgress(std::max(m_progressBar->value(), 0), maximum, QStringLiteral("Cancelling"));
}

void TForm1::setStatus(const QString& text) {
    if (text == m_statusText) return;
    m_statusText = text;
    emit statusChanged(text);
}

void TForm1::showProgress(int value, int maximum, const QString& format) {
    // Once cancelling, the run's last reports no longer matter.
    if (m_progressState == ProgressState::Cancelling) return;
    setProgress(value, maximum, format);
}

QString TForm1::footerNote() const {
    return m_footerNote->isHidden() ? QString() : m_footerNote->text();
}

void TForm1::showFooterNote(const QString& text) {
    m_footerNote->setText(text);
    m_footerNote->setVisible(!text.isEmpty() && m_progressBar->isHidden());
}

void TForm1::setProgress(int value, int maximum, const QString& format) {
    m_progressBar->setRange(0, maximum);
    m_progressBar->setValue(value);
    m_progressBar->setFormat(format);
    if (m_progressBar->isHidden()) {
        m_footerNote->hide();
        m_progressBar->show();
        m_cancelButton->setEnabled(true);
        m_cancelButton->show();
    }
    setStatus(m_progressBar->text().isEmpty() ? format : m_progressBar->text());
}

void TForm1::hideProgress() {
    m_progressBar->hide();
    m_cancelButton->hide();
    setStatus(QString());
}

}  // namespace qb
