#include "app/tform1.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <utility>

#include "app/focus_ring.h"
#include "app/run_bridge.h"
#include "app/skin.h"
#include "package/packager.h"
#include "platform/build_info.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

constexpr int kWidth = 697;
constexpr int kHeight = 482;

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

// The run's questions and reports, shown by the window's boxes, and its progress, shown in the
// footer. Used on the GUI thread only; the worker reaches it through a RunBridge.
class FormRunUi : public RunUi {
  public:
    explicit FormRunUi(TForm1& form) : m_form(form) {}

    // A note or an error ends the run: the footer stops telling about it before the box opens.
    void showNote(const std::string& text) override {
        m_form.hideProgress();
        ui().showNote(QString::fromStdString(text));
    }
    // The box shows the text alone, as it always has; the archive's name is in the window.
    bool askOverwrite(const std::string& text, const std::string& archive) override {
        (void)archive;
        return ui().askOverwrite(QString::fromStdString(text));
    }
    void showError(const std::string& text) override {
        m_form.hideProgress();
        ui().showError(applicationTitle(), QString::fromStdString(text));
    }
    // The success box waits for the folder: when no file browser can be started to show it,
    // the box says so.
    void showSuccess(const std::string& text) override {
        m_form.hideProgress();
        m_pendingSuccess = QString::fromStdString(text);
    }
    void openFolder(const std::string& folder) override {
        const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
        QString text = m_pendingSuccess;
        m_pendingSuccess.clear();
        if (!ui().openUrl(QUrl::fromLocalFile(path)))
            text +=
                QStringLiteral("\n\nNo file browser could be started to show the folder \"%1\".")
                    .arg(path);
        ui().showSuccess(text);
    }
    void showWarning(const std::string& caption, const std::string& text) override {
        ui().showWarning(QString::fromStdString(caption), QString::fromStdString(text));
    }
    // The share of the texts' bytes made into pages: a single large text moves the bar too.
    void pageWritten(const PageDone& page) override {
        const std::uint64_t total = std::max<std::uint64_t>(page.textTotal, 1);
        const auto permille = static_cast<int>(std::min(page.textDone, total) * 1000 / total);
        m_form.showProgress(permille, 1000,
                            QStringLiteral("File %1 of %2 (%p%)").arg(page.file).arg(page.files));
    }
    void packingStarted() override {
        m_form.showProgress(0, 0, QStringLiteral("Packing the book"));
    }
    void packingProgress(std::uint64_t done, std::uint64_t total) override {
        if (total == 0) return;
        const auto permille = static_cast<int>(std::min(done, total) * 1000 / total);
        m_form.showProgress(permille, 1000, QStringLiteral("Packing the book (%p%)"));
    }

    // A success box still waiting when the run ended without asking for the folder.
    void flush() {
        if (m_pendingSuccess.isEmpty()) return;
        ui().showSuccess(m_pendingSuccess);
        m_pendingSuccess.clear();
    }

  private:
    WindowUi& ui() { return *m_form.m_ui; }

    TForm1& m_form;
    QString m_pendingSuccess;
};

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
    move(310, 112);
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
    m_listView1->setFocus();
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
    m_optionsButton->setGeometry(8, 114, 121, 14);
    m_optionsButton->setFlat(true);
    m_optionsButton->setCursor(Qt::PointingHandCursor);
    m_optionsButton->setToolTip(
        QStringLiteral("Paragraphs, chapters, contents, language, page size, encoding"));
    QFont linkFont = arialFont();
    linkFont.setUnderline(true);
    m_optionsButton->setFont(linkFont);
    m_optionsButton->setStyleSheet(QStringLiteral(
        "QPushButton { color: #1a4e8a; border: none; background: transparent; text-align: left;"
        " padding: 0 1px; }"
        "QPushButton:focus { border: 1px dotted #1a4e8a; }"
        "QPushButton:pressed { color: #0b2a50; }"));
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
    m_keyActions.insert(m_cancelButton, [this] { CancelButtonClick(); });
    m_optionsButton->installEventFilter(this);
    m_cancelButton->installEventFilter(this);
    connect(m_listView1, &SourceListView::OnFilesDropped, this,
            [this](const QList<QUrl>& urls) { guarded([&] { addDroppedFiles(urls); }); });
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

    m_settings = std::make_unique<IniFile>(m_places.configFile);
    const std::string savePath = m_settings->readString("Options", "SavePath", "");
    m_labeledEdit4->setText(QString::fromStdString(savePath).left(2047));
    m_options = readBookOptions(*m_settings);
}

void TForm1::FormDestroy() {
    std::error_code ec;
    if (!m_contentFolder.empty() && fs::exists(m_contentFolder, ec)) removeFolder(m_contentFolder);
    if (!m_settings) return;
    try {
        m_settings->writeString("Options", "SavePath", m_labeledEdit4->text().toStdString());
        writeBookOptions(*m_settings, m_options);
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    }
    m_settings.reset();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A close that arrives while a book is made waits for the run to end (Cancel ends it
    // sooner): the run still uses the window's work folder.
    if (m_converting) {
        m_closePending = true;
        event->ignore();
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

void TForm1::Image2MouseDown(Qt::MouseButton button, QPoint globalPos) {
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

void TForm1::PNGButton5Click() {
    m_ui->openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

// ---- the source file list ------------------------------------------------------------------

void TForm1::addSourceFiles(const QStringList& files) {
    for (const QString& file : files) {
        auto* row = new QTreeWidgetItem(m_listView1);
        row->setText(1, file);
        row->setToolTip(1, file);
    }
    renumberRows();
}

// The "Page" column always tells the page each row becomes.
void TForm1::renumberRows() {
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row)
        m_listView1->topLevelItem(row)->setText(0, QString::number(row + 1));
}

namespace {

bool isTextFile(const QFileInfo& file) {
    return file.isFile() && file.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
}

// File names in the order a file manager shows them: case ignored, and runs of digits compared
// as numbers, so that "2 two.txt" comes before "10 ten.txt" whatever the locale's collation.
bool nameOrder(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit()) ++i;
            while (j < b.size() && b[j].isDigit()) ++j;
            QStringView na = QStringView(a).mid(startA, i - startA);
            QStringView nb = QStringView(b).mid(startB, j - startB);
            while (na.size() > 1 && na.front() == u'0') na = na.mid(1);
            while (nb.size() > 1 && nb.front() == u'0') nb = nb.mid(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0) return c < 0;
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    return a < b;
}

}  // namespace

void TForm1::addDroppedFiles(const QList<QUrl>& urls) {
    QStringList files;
    QStringList skipped;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            skipped << url.toDisplayString();
            continue;
        }
        const QString path = QDir::cleanPath(url.toLocalFile());
        const QFileInfo info(path);
        if (info.isDir()) {
            QStringList inFolder;
            for (const QFileInfo& entry :
                 QDir(path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
                if (isTextFile(entry)) inFolder << entry.absoluteFilePath();
            }
            std::sort(inFolder.begin(), inFolder.end(), [](const QString& a, const QString& b) {
                return nameOrder(QFileInfo(a).fileName(), QFileInfo(b).fileName());
            });
            if (inFolder.isEmpty()) skipped << path + QStringLiteral(" (no .txt files in it)");
            files << inFolder;
        } else if (isTextFile(info)) {
            files << path;
        } else {
            skipped << path;
        }
    }
    addSourceFiles(files);
    if (skipped.isEmpty()) return;

    constexpr int kNamed = 10;
    QString text =
        QStringLiteral("Only .txt files and folders holding them can be added. Skipped:");
    for (int i = 0; i < std::min<int>(kNamed, int(skipped.size())); ++i) text += u'\n' + skipped[i];
    if (skipped.size() > kNamed)
        text += QStringLiteral("\n... and %1 more.").arg(skipped.size() - kNamed);
    // Not inside the drop itself: the file manager waits for the drop to finish.
    QTimer::singleShot(0, this, [this, text] { m_ui->showNote(text); });
}

void TForm1::PNGButton2Click() {
    addSourceFiles(m_ui->openTextFiles(this));
}

void TForm1::PNGButton1Click() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    renumberRows();
}

void TForm1::PNGButton3Click() {
    m_listView1->clear();
}

// Delete removes the selected row and selects the one that takes its place, so that rows can
// be removed one after another from the keyboard.
void TForm1::deleteKeyPressed() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    QTreeWidgetItem* row = selected.isEmpty() ? m_listView1->currentItem() : selected.first();
    if (!row) return;
    const int at = m_listView1->indexOfTopLevelItem(row);
    delete row;
    renumberRows();
    const int count = m_listView1->topLevelItemCount();
    if (count > 0) m_listView1->setCurrentItem(m_listView1->topLevelItem(std::min(at, count - 1)));
}

void TForm1::moveCurrentRow(int step) {
    QTreeWidgetItem* row = m_listView1->currentItem();
    if (!row) return;
    const int from = m_listView1->indexOfTopLevelItem(row);
    const int to = from + step;
    if (to < 0 || to >= m_listView1->topLevelItemCount()) return;
    m_listView1->takeTopLevelItem(from);
    m_listView1->insertTopLevelItem(to, row);
    renumberRows();
    m_listView1->setCurrentItem(row);
}

void TForm1::ListView1DragOver(QObject*) {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    m_draggedRow = selected.isEmpty()
                       ? QPersistentModelIndex()
                       : QPersistentModelIndex(m_listView1->indexFromItem(selected.first()));
}

void TForm1::ListView1DragDrop(QObject* source, QPoint viewportPos) {
    if (!qobject_cast<QTreeWidget*>(source)) return;
    // A drag that began on no row carries no row: nothing moves.
    if (!m_draggedRow.isValid()) return;
    const int s = m_draggedRow.row();
    const int count = m_listView1->topLevelItemCount();
    QTreeWidgetItem* target = m_listView1->itemAt(viewportPos);
    if (!target) {
        // Below the last row is the end of the list: the only way to drag a row there.
        QTreeWidgetItem* last = m_listView1->topLevelItem(count - 1);
        if (!last || viewportPos.y() <= m_listView1->visualItemRect(last).bottom()) return;
        m_listView1->addTopLevelItem(m_listView1->takeTopLevelItem(s));
    } else {
        // The dragged row lands in front of the row it was dropped on.
        const int t = m_listView1->indexOfTopLevelItem(target);
        QTreeWidgetItem* moved = m_listView1->topLevelItem(s)->clone();
        m_listView1->insertTopLevelItem(t, moved);
        delete m_listView1->takeTopLevelItem(s < t ? s : s + 1);
    }
    renumberRows();
    m_listView1->clearSelection();
    m_draggedRow = QPersistentModelIndex();
}

// ---- cover and output folder ---------------------------------------------------------------

void TForm1::PNGButton8Click() {
    const QString file = m_ui->openCoverPicture(this);
    if (!file.isEmpty()) m_labeledEdit3->setText(file);
}

void TForm1::PNGButton9Click() {
    const QString folder = m_ui->chooseFolder(this, m_labeledEdit4->text());
    if (!folder.isEmpty()) m_labeledEdit4->setText(folder);
}

void TForm1::OptionsButtonClick() {
    BookOptions options = m_options;
    if (m_ui->editBookOptions(this, options)) m_options = options;
}

// ---- converting ---------------------------------------------------------------------------

void TForm1::PNGButton4Click() {
    // One run at a time; "Convert" shows disabled meanwhile, and a click that still arrives is
    // ignored.
    if (m_converting) return;
    const int pages = m_listView1->topLevelItemCount();
    if (pages == 0) return;
    BookProject project;
    for (int row = 0; row < pages; ++row)
        project.sourceFiles.push_back(pathBytes(m_listView1->topLevelItem(row)->text(1)));
    project.title = m_edit1->text().toStdString();
    project.author = m_edit2->text().toStdString();
    project.coverPath = pathBytes(m_labeledEdit3->text());
    project.outputFolder = pathBytes(m_labeledEdit4->text());
    m_options.applyTo(project);

    m_converting = true;
    m_cancelRequested = false;
    m_pngButtons[kConvertButton]->setEnabled(false);
    showProgress(0, pages, QStringLiteral("Starting"));
    m_bridge = std::make_unique<RunBridge>(this, *m_formRunUi, m_cancelRequested);
    m_worker = std::thread([this, project = std::move(project)] {
        RunResult result = RunResult::Failed;
        try {
            result = m_run.run(project, *m_bridge);
        } catch (const std::exception& e) {
            m_bridge->showError(errorBoxText(e.what()));
        } catch (...) {
            m_bridge->showError("The book could not be made: an unknown error.");
        }
        QMetaObject::invokeMethod(
            this, [this, result] { runFinished(result); }, Qt::QueuedConnection);
    });
}

void TForm1::runFinished(RunResult result) {
    m_worker.join();
    m_bridge.reset();
    m_formRunUi->flush();
    m_converting = false;
    m_lastResult = result;
    m_contentFolder = m_run.contentFolder();
    hideProgress();
    m_pngButtons[kConvertButton]->setEnabled(true);
    emit conversionFinished();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TForm1::CancelButtonClick() {
    if (!m_converting || m_cancelRequested) return;
    m_cancelRequested = true;
    m_cancelButton->setEnabled(false);
    // A busy bar shows no text; a still one can say what is happening.
    const int maximum = std::max(m_progressBar->maximum(), 1);
    showProgress(std::max(m_progressBar->value(), 0), maximum, QStringLiteral("Cancelling"));
}

void TForm1::setStatus(const QString& text) {
    if (text == m_statusText) return;
    m_statusText = text;
    emit statusChanged(text);
}

void TForm1::showProgress(int value, int maximum, const QString& format) {
    // Once cancelling, the run's last reports no longer matter.
    if (m_cancelRequested && format != QLatin1String("Cancelling")) return;
    m_progressBar->setRange(0, maximum);
    m_progressBar->setValue(value);
    m_progressBar->setFormat(format);
    if (m_progressBar->isHidden()) {
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
