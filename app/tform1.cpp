#include "app/tform1.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QTreeWidgetItem>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <utility>

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

}  // namespace

TForm1::TForm1(AppPlaces places, std::shared_ptr<WindowUi> ui, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint),
      m_places(std::move(places)),
      m_ui(std::move(ui)),
      m_run(m_places.workFolder) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quirebind ") + QString::fromLatin1(kShortVersion));
    setWindowIcon(programIcon());
    setFont(formFont());
    setFixedSize(kWidth, kHeight);
    move(310, 112);
    createControls();
    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() {
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

    // The keyboard walks the book project in the order the user fills it in.
    setTabOrder(m_listView1, m_labeledEdit3);
    setTabOrder(m_labeledEdit3, m_labeledEdit4);
    setTabOrder(m_labeledEdit4, m_edit1);
    setTabOrder(m_edit1, m_edit2);
    m_listView1->setFocus();
}

void TForm1::createHeader() {
    QWidget* top = m_panelTop;
    picture(top, "Image2", {0, 0, 333, 135}, skinJpeg("header_left.jpg"), false);
    picture(top, "Image6", {kWidth - 180, 0, 180, 135}, skinJpeg("header_right.jpg"), false);
    picture(top, "Image4", {333, 0, kWidth - 333 - 180, 135}, skinJpeg("header_fill.jpg"), true);

    m_pngButtons[2] =
        pngButton(top, "PNGButton2", {8, 40, 58, 58}, QStringLiteral("Add"), "icon_add.png");
    m_pngButtons[1] =
        pngButton(top, "PNGButton1", {64, 40, 58, 58}, QStringLiteral("Remove"), "icon_remove.png");
    m_pngButtons[3] = pngButton(top, "PNGButton3", {120, 40, 73, 58}, QStringLiteral("Remove All"),
                                "icon_remove_all.png");
    m_pngButtons[4] = pngButton(top, "PNGButton4", {192, 40, 58, 58}, QStringLiteral("Convert"),
                                "icon_convert.png");
    QFont convertFont;
    convertFont.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans")});
    convertFont.setPixelSize(11);
    convertFont.setBold(true);
    m_pngButtons[4]->setFont(convertFont);
    m_pngButtons[4]->setFontColor(Qt::yellow);
    m_pngButtons[5] =
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
    m_pngButtons[8] =
        pngButton(client, "PNGButton8", {445, 16, 57, 57}, QString(), "icon_folder.png");

    m_labeledEdit4 = new LabeledEdit(client);
    m_labeledEdit4->setObjectName(QStringLiteral("LabeledEdit4"));
    m_labeledEdit4->EditLabel()->setObjectName(QStringLiteral("LabeledEdit4Label"));
    m_labeledEdit4->setGeometry(88, 100, 337, 21);
    m_labeledEdit4->setLabelText(QStringLiteral("Save  Epub  To:  "));
    m_labeledEdit4->setText(QStringLiteral("D:\\Output"));
    m_pngButtons[9] =
        pngButton(client, "PNGButton9", {445, 80, 57, 57}, QString(), "icon_folder_dark.png");
}

void TForm1::connectHandlers() {
    const auto onClick = [this](TPNGButton* button, void (TForm1::*handler)()) {
        connect(button, &TPNGButton::OnClick, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    onClick(m_pngButtons[1], &TForm1::PNGButton1Click);
    onClick(m_pngButtons[2], &TForm1::PNGButton2Click);
    onClick(m_pngButtons[3], &TForm1::PNGButton3Click);
    onClick(m_pngButtons[4], &TForm1::PNGButton4Click);
    onClick(m_pngButtons[5], &TForm1::PNGButton5Click);
    onClick(m_pngButtons[8], &TForm1::PNGButton8Click);
    onClick(m_pngButtons[9], &TForm1::PNGButton9Click);
    connect(m_imgBtnMin, &TImgBtn::OnClick, this, [this] { ImgBtnMinClick(); });
    connect(m_imgBtnClose, &TImgBtn::OnClick, this, [this] { ImgBtnCloseClick(); });
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
}

void TForm1::FormDestroy() {
    std::error_code ec;
    if (!m_contentFolder.empty() && fs::exists(m_contentFolder, ec)) removeFolder(m_contentFolder);
    if (!m_settings) return;
    try {
        m_settings->writeString("Options", "SavePath", m_labeledEdit4->text().toStdString());
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    }
    m_settings.reset();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A close that arrives while a book is being packed waits for the run to end: the run
    // still uses the window's entries and its work folder.
    if (m_run.running()) {
        m_closePending = true;
        event->ignore();
        return;
    }
    event->accept();
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
    try {
        showMinimized();
    } catch (...) {
        // Minimising is a courtesy; nothing the user could act on.
    }
}

void TForm1::ImgBtnCloseClick() {
    try {
        close();
    } catch (...) {
        // The program ends through the window's destruction either way.
    }
}

void TForm1::PNGButton5Click() {
    m_ui->openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

// ---- the source file list ------------------------------------------------------------------

void TForm1::addSourceFiles(const QStringList& files) {
    for (const QString& file : files) {
        auto* row = new QTreeWidgetItem(m_listView1);
        row->setText(0, QString::number(m_listView1->topLevelItemCount()));
        row->setText(1, file);
    }
}

void TForm1::PNGButton2Click() {
    addSourceFiles(m_ui->openTextFiles(this));
}

void TForm1::PNGButton1Click() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
}

void TForm1::PNGButton3Click() {
    m_listView1->clear();
}

void TForm1::ListView1DragOver(QObject*) {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    m_draggedRow = selected.isEmpty()
                       ? QPersistentModelIndex()
                       : QPersistentModelIndex(m_listView1->indexFromItem(selected.first()));
}

void TForm1::ListView1DragDrop(QObject* source, QPoint viewportPos) {
    if (!qobject_cast<QTreeWidget*>(source)) return;
    QTreeWidgetItem* target = m_listView1->itemAt(viewportPos);
    if (!target) return;
    // A drag that began on no row carries no row: nothing moves.
    if (!m_draggedRow.isValid()) return;
    const int t = m_listView1->indexOfTopLevelItem(target);
    const int s = m_draggedRow.row();

    // The dragged row lands in front of the row it was dropped on.
    QTreeWidgetItem* moved = m_listView1->topLevelItem(s)->clone();
    m_listView1->insertTopLevelItem(t, moved);
    moved->setText(0, QString::number(t + 1));
    delete m_listView1->takeTopLevelItem(s < t ? s : s + 1);
    for (int row = std::min(s, t); row < m_listView1->topLevelItemCount(); ++row)
        m_listView1->topLevelItem(row)->setText(0, QString::number(row + 1));
    m_listView1->clearSelection();
    m_draggedRow = QPersistentModelIndex();
}

// ---- cover and output folder ---------------------------------------------------------------

void TForm1::PNGButton8Click() {
    const QString file = m_ui->openCoverPicture(this);
    if (!file.isEmpty()) m_labeledEdit3->setText(file);
}

void TForm1::PNGButton9Click() {
    const QString folder = m_ui->chooseFolder(this, QString());
    if (!folder.isEmpty()) m_labeledEdit4->setText(folder);
}

// ---- converting ---------------------------------------------------------------------------

namespace {

// The run's questions and reports, shown by the window's boxes.
class FormRunUi : public RunUi {
  public:
    explicit FormRunUi(WindowUi& ui) : m_ui(ui) {}

    void showNote(const std::string& text) override { m_ui.showNote(QString::fromStdString(text)); }
    bool askOverwrite(const std::string& text) override {
        return m_ui.askOverwrite(QString::fromStdString(text));
    }
    void showError(const std::string& text) override {
        m_ui.showError(applicationTitle(), QString::fromStdString(text));
    }
    void showSuccess(const std::string& text) override {
        m_ui.showSuccess(QString::fromStdString(text));
    }
    void openFolder(const std::string& folder) override {
        m_ui.openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(folder))));
    }
    void processEvents() override { m_ui.processEvents(); }
    void showWarning(const std::string& caption, const std::string& text) override {
        m_ui.showWarning(QString::fromStdString(caption), QString::fromStdString(text));
    }

  private:
    WindowUi& m_ui;
};

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void TForm1::PNGButton4Click() {
    // The packing lets the window handle clicks; a second "Convert" meanwhile is ignored.
    if (m_run.running()) return;
    BookProject project;
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row)
        project.sourceFiles.push_back(pathBytes(m_listView1->topLevelItem(row)->text(1)));
    project.title = m_edit1->text().toStdString();
    project.author = m_edit2->text().toStdString();
    project.coverPath = pathBytes(m_labeledEdit3->text());
    project.outputFolder = pathBytes(m_labeledEdit4->text());

    FormRunUi runUi(*m_ui);
    m_run.run(project, runUi);
    m_contentFolder = m_run.contentFolder();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

}  // namespace qb
